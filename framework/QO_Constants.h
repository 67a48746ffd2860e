// Captions and hints of the component library's navigation actions.
#pragma once

namespace QO_Constants {

inline constexpr const char* _C_NB_FIRST = "First";
inline constexpr const char* _H_NB_FIRST = "Move to the first row";
inline constexpr const char* _C_NB_PRIOR = "Prior";
inline constexpr const char* _H_NB_PRIOR = "Move to the prior row";
inline constexpr const char* _C_NB_NEXT = "Next";
inline constexpr const char* _H_NB_NEXT = "Move to the next row";
inline constexpr const char* _C_NB_LAST = "Last";
inline constexpr const char* _H_NB_LAST = "Move to the last row";

}  // namespace QO_Constants

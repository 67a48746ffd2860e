// The few ICU functions the comparison needs, looked up at run time.
//
// The program does not link ICU: loading it costs several milliseconds at every start,
// and most runs compare nothing. The headers still give the types and the versioned
// symbol names (ucol_strcoll is ucol_strcoll_72 for ICU 72), so the table below is
// checked against the declarations at compile time.
#pragma once

#ifndef U_SHOW_CPLUSPLUS_API
#define U_SHOW_CPLUSPLUS_API 0
#endif
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/utypes.h>

namespace Platform::Icu {

#define TESSIK_ICU_UC_FUNCTIONS(X) \
  X(u_tolower)                     \
  X(u_toupper)                     \
  X(u_errorName)

#define TESSIK_ICU_I18N_FUNCTIONS(X) \
  X(ucol_open)                       \
  X(ucol_openBinary)                 \
  X(ucol_openRules)                  \
  X(ucol_getRules)                   \
  X(ucol_getFunctionalEquivalent)    \
  X(ucol_setAttribute)               \
  X(ucol_setReorderCodes)            \
  X(ucol_strcoll)                    \
  X(ucol_getSortKey)                 \
  X(ucol_openElements)               \
  X(ucol_next)                       \
  X(ucol_getOffset)                  \
  X(ucol_closeElements)              \
  X(ucol_close)

// Member names expand to the versioned names too, so `api.ucol_strcoll` reads as usual.
struct Api {
#define TESSIK_ICU_MEMBER(name) decltype(&::name) name;
  TESSIK_ICU_UC_FUNCTIONS(TESSIK_ICU_MEMBER)
  TESSIK_ICU_I18N_FUNCTIONS(TESSIK_ICU_MEMBER)
#undef TESSIK_ICU_MEMBER
};

/// The ICU functions, loading the libraries on first use (thread-safe). Throws
/// Exception naming the library or symbol when ICU cannot be loaded; a later call retries.
const Api& Functions();

}  // namespace Platform::Icu

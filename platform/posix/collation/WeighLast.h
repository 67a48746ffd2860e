// Characters that Windows weighs only after every other difference.
//
// Hyphens, apostrophes and the C0 controls carry no weight in the main comparison; a
// final level records each one as (position, weight) in text order, where the position
// counts the primary weights before it and an earlier position weighs more. So "coop"
// and "co-op" sort together, yet differ, and "coop" comes first.
#pragma once

#include <cstdint>
#include <string>

namespace Platform {

struct SpecialWeight {
  std::uint8_t weight = 0;  // 0: not a special character
  std::uint8_t variant = 0;
};

/// The special weight of a UTF-16 code unit; weight 0 for every other character.
SpecialWeight SpecialWeightOf(char16_t c);

/// Appends one entry of the last level of a sort key: a special character with the
/// number of primary weights before it.
void AppendSpecialWeight(SpecialWeight special, std::uint32_t primariesBefore, std::string& out);

}  // namespace Platform

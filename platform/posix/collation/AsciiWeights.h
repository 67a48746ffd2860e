// The collator's weights of the ASCII characters, generated at build time by
// MakeCollatorImage from the same tailored collator that the image holds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Platform {

struct AsciiWeights {
  // False when some ASCII text does not weigh as the sum of its characters (a character
  // with several collation elements, or a contraction of ASCII characters): then every
  // comparison goes to the collator.
  bool usable;
  // Whether the secondary and the tertiary level (the latter with A-Z folded to a-z)
  // tell any two ASCII characters apart; a level that does not is left out of the keys.
  bool secondaryVaries;
  bool foldedTertiaryVaries;
  // Ranks from 2 up, in the collator's order of the weights, so that 1 can separate the
  // levels of a key; primary 0 marks a character the collator ignores, and hyphen,
  // apostrophe and the controls of WeighLast.h have all ranks 0.
  std::uint8_t primary[128];
  std::uint8_t secondary[128];
  std::uint8_t tertiary[128];
};

extern const AsciiWeights kAsciiWeights;

// Where the collation is not the default one, so that the collator decides, since a
// tailoring may reorder ASCII: every locale of these languages (lower case, sorted)...
extern const char* const kTailoredLanguages[];
extern const std::size_t kTailoredLanguageCount;
// ...and each locale that names all the subtags of one of these (such as fr_CA), whose
// language is otherwise in the default order.
extern const char* const kTailoredLocales[];
extern const std::size_t kTailoredLocaleCount;

}  // namespace Platform

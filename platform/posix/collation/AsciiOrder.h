// Texts of ASCII alone compared by the collator's weights of the ASCII characters
// (AsciiWeights.h), without loading ICU.
#pragma once

#include <string>
#include <string_view>

namespace Platform {

/// Whether the table orders ASCII text exactly as the collator does for `localeId` (as
/// CollationLocaleId gives it): a plain language, script and region whose language has no
/// collation of its own. False for anything else, which the collator then decides.
bool AsciiTableServes(std::string_view localeId);

/// AsciiTableServes for this process's locale, decided on the first call.
bool AsciiTableServesUser();

/// Appends the sort key of an ASCII text from the table: the same order and equality as
/// the collator's keys, yet never comparable with them. Throws Exception for a character
/// above 0x7F.
void AppendAsciiKey(std::u16string_view text, bool caseSensitive, std::string& key);

/// CompareText of two ASCII texts by the table: -1, 0 or 1.
int CompareAscii(std::u16string_view a, std::u16string_view b, bool caseSensitive);

}  // namespace Platform

// Locale-aware comparison of UTF-16 text, as the string lists sort and find.
#pragma once

#include <string>
#include <string_view>

namespace Platform {

/// Compares two texts in the user's default locale: -1, 0 or 1. A lower-case letter
/// sorts directly before its upper-case form; with caseSensitive false, case is ignored.
/// Hyphen and apostrophe weigh less than letters but still make texts different.
int CompareText(std::u16string_view a, std::u16string_view b, bool caseSensitive);

/// Appends to `key` a sort key of `text`: comparing two keys bytewise (shorter first on
/// a common prefix) gives the same order and the same equality as CompareText.
void AppendSortKey(std::u16string_view text, bool caseSensitive, std::string& key);

/// The text in upper case, by the user's default locale.
std::u16string UpperCase(std::u16string_view text);

}  // namespace Platform

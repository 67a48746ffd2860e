// Locale-aware comparison of UTF-16 text, as the string lists sort and find.
#pragma once

#include <string>
#include <string_view>

namespace Platform {

/// Compares two texts in the user's default locale: -1, 0 or 1. A lower-case letter
/// sorts directly before its upper-case form; with caseSensitive false, case is ignored.
/// Hyphen and apostrophe weigh less than letters but still make texts different.
int CompareText(std::u16string_view a, std::u16string_view b, bool caseSensitive);

/// Where sort keys come from. Ascii keys, from a table of the ASCII characters' weights,
/// serve only texts made of ASCII alone and need no collator; Collator keys serve every
/// text. The two kinds never compare with each other (the table cannot give the
/// collator's key bytes: those compress runs of common weights and shared lead bytes
/// across the whole text), so a group of texts whose keys meet (a list to sort, the items
/// and the texts looked up among them) takes one kind for all: start from
/// SortKeyKindForAscii() and narrow it by each text of the group.
enum class SortKeyKind { Collator, Ascii };

/// Ascii where the user's locale orders ASCII text as the default order does; else Collator.
SortKeyKind SortKeyKindForAscii();

/// `kind` still serving `text` too: Collator once a text is not ASCII alone.
inline SortKeyKind NarrowSortKeyKind(SortKeyKind kind, std::u16string_view text) {
  if (kind == SortKeyKind::Ascii)
    for (char16_t c : text)
      if (c >= 0x80) return SortKeyKind::Collator;
  return kind;
}

/// Appends to `key` a sort key of `text`: comparing two keys of one kind bytewise (shorter
/// first on a common prefix) gives the same order and the same equality as CompareText.
/// Throws Exception for an Ascii key of a text that the Ascii kind does not serve.
void AppendSortKey(std::u16string_view text, bool caseSensitive, std::string& key,
                   SortKeyKind kind = SortKeyKind::Collator);

/// The text in upper case, by the user's default locale.
std::u16string UpperCase(std::u16string_view text);

}  // namespace Platform

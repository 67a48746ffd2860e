// Interim comparison: letters compared case-insensitively first, lower case before upper.
#include "platform/Collation.h"

namespace Platform {
namespace {
char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
}  // namespace

int CompareText(std::u16string_view a, std::u16string_view b, bool caseSensitive) {
  std::string ka, kb;
  AppendSortKey(a, caseSensitive, ka);
  AppendSortKey(b, caseSensitive, kb);
  int c = ka.compare(kb);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void AppendSortKey(std::u16string_view text, bool caseSensitive, std::string& key) {
  for (char16_t c : text) {
    char16_t f = Fold(c);
    key.push_back(char(f >> 8));
    key.push_back(char(f & 0xff));
  }
  if (!caseSensitive) return;
  key.push_back('\0');
  for (char16_t c : text) key.push_back((c >= u'A' && c <= u'Z') ? '\2' : '\1');
}

std::u16string UpperCase(std::u16string_view text) {
  std::u16string r(text);
  for (auto& c : r)
    if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
  return r;
}

}  // namespace Platform

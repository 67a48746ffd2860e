// Locale-aware comparison on Windows: the system's own, in the user's default locale.
#include "platform/Collation.h"

#include <windows.h>

#include <climits>
#include <string>

#include "platform/Errors.h"

namespace Platform {
namespace {

DWORD Flags(bool caseSensitive) {
  return caseSensitive ? 0 : NORM_IGNORECASE;
}

int Length(std::u16string_view text) {
  if (text.size() > static_cast<std::size_t>(INT_MAX)) throw Exception(u"Text too long to compare");
  return static_cast<int>(text.size());
}

const wchar_t* Wide(std::u16string_view text) {
  return reinterpret_cast<const wchar_t*>(text.data());
}

[[noreturn]] void Fail(const char* what) {
  std::string text = std::string(what) + " failed (error " + std::to_string(GetLastError()) + ")";
  throw Exception(std::u16string(text.begin(), text.end()));
}

// LCMapStringW in two calls, the size and then the result, into `out` from `start`
// (bytes for a sort key, UTF-16 units otherwise).
template <typename String>
void Map(DWORD flags, std::u16string_view text, String& out, std::size_t start) {
  int needed = LCMapStringW(LOCALE_USER_DEFAULT, flags, Wide(text), Length(text), nullptr, 0);
  if (needed <= 0) Fail("LCMapStringW");
  out.resize(start + static_cast<std::size_t>(needed));
  int written = LCMapStringW(LOCALE_USER_DEFAULT, flags, Wide(text), Length(text),
                             reinterpret_cast<LPWSTR>(out.data() + start), needed);
  if (written <= 0 || written > needed) Fail("LCMapStringW");
  out.resize(start + static_cast<std::size_t>(written));
}

}  // namespace

int CompareText(std::u16string_view a, std::u16string_view b, bool caseSensitive) {
  int result = CompareStringW(LOCALE_USER_DEFAULT, Flags(caseSensitive), Wide(a), Length(a),
                              Wide(b), Length(b));
  if (result == 0) Fail("CompareStringW");
  return result - CSTR_EQUAL;
}

// CompareStringW weighs ASCII as fast as a table would: every key comes from it.
SortKeyKind SortKeyKindForAscii() {
  return SortKeyKind::Collator;
}

void AppendSortKey(std::u16string_view text, bool caseSensitive, std::string& key,
                   SortKeyKind /*kind: always Collator here*/) {
  // LCMapStringW refuses an empty text, which compares equal to one of NULs only.
  static constexpr char16_t kNul[] = {u'\0'};
  if (text.empty()) text = std::u16string_view(kNul, 1);
  const std::size_t start = key.size();
  Map(LCMAP_SORTKEY | Flags(caseSensitive), text, key, start);
  // Without the final 00, so that a shorter key that is a prefix sorts first.
  if (key.size() > start && key.back() == '\0') key.pop_back();
}

std::u16string UpperCase(std::u16string_view text) {
  std::u16string upper;
  if (!text.empty()) Map(LCMAP_UPPERCASE, text, upper, 0);
  return upper;
}

}  // namespace Platform

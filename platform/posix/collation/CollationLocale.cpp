#include "platform/posix/collation/CollationLocale.h"

#include <cstdlib>
#include <string_view>

namespace Platform {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A language subtag is two or three letters, alone or followed by a separator.
bool StartsWithLanguage(std::string_view id) {
  std::size_t letters = 0;
  while (letters < id.size() && IsAsciiLetter(id[letters]))
    ++letters;
  if (letters < 2 || letters > 3) return false;
  return letters == id.size() || id[letters] == '_' || id[letters] == '-';
}

}  // namespace

std::string CollationLocaleId(const char* lcAll, const char* lcCollate, const char* lang) {
  std::string_view value;
  for (const char* candidate : {lcAll, lcCollate, lang}) {
    if (candidate && *candidate) {
      value = candidate;
      break;
    }
  }
  value = value.substr(0, value.find_first_of(".@"));
  if (!StartsWithLanguage(value)) return {};
  // "_POSIX" is ICU's variant with capitals first, never what a user means by a language.
  constexpr std::string_view kPosixVariant = "_POSIX";
  if (value.size() > kPosixVariant.size() && value.ends_with(kPosixVariant))
    value.remove_suffix(kPosixVariant.size());
  return std::string(value);
}

std::string CollationLocaleIdFromEnvironment() {
  return CollationLocaleId(std::getenv("LC_ALL"), std::getenv("LC_COLLATE"), std::getenv("LANG"));
}

}  // namespace Platform

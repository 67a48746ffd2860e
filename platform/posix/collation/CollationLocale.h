// Which ICU locale the comparison follows on POSIX.
#pragma once

#include <string>

namespace Platform {

/// The ICU locale ID for collation from the POSIX variables (each may be null): the
/// first non-empty of LC_ALL, LC_COLLATE and LANG, without codeset and modifier
/// ("de_DE.UTF-8" gives "de_DE"). The empty text (ICU's root) when that value names no
/// language, as C, POSIX and C.UTF-8 do: ICU would otherwise take en_US_POSIX, which
/// puts every capital letter before all lower-case ones.
std::string CollationLocaleId(const char* lcAll, const char* lcCollate, const char* lang);

/// CollationLocaleId for this process's environment.
std::string CollationLocaleIdFromEnvironment();

}  // namespace Platform

// The generated corpus of the collation differential.
#pragma once

#include <string>
#include <vector>

namespace CollationTest {

/// The corpus lines in UTF-8, the same on every run and build: words of ASCII letters
/// and digits in mixed case, punctuation, paths, Latin-1 letters, hyphens, apostrophes,
/// random strings of ASCII and Latin-1 characters, and repeated lines.
std::vector<std::string> MakeCorpus();

}  // namespace CollationTest

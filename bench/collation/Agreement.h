// Reading dumps of the collation differential and measuring how far two agree.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace CollationTest {

/// Sorts `lines` (UTF-8) with the platform comparison and writes the dump: both sorted
/// orders with equality ranks, and the lines deduplicated case-sensitively and not.
void WriteDump(const std::vector<std::string>& lines, std::ostream& out);

/// Compares two dumps of the same corpus and reports the agreement on `report`. Returns
/// false when texts of ASCII letters and digits, with or without hyphens and apostrophes,
/// do not agree completely (order, case and equality), or the dumps are unusable.
bool CompareDumps(const std::string& nativeDump, const std::string& windowsDump,
                  std::ostream& report);

}  // namespace CollationTest

// The collation differential's tool, built for both targets.
//   collation_dump corpus OUT         writes the generated corpus
//   collation_dump dump IN OUT        sorts and deduplicates IN's lines (see Agreement.h)
//   collation_dump compare NATIVE WIN reports the agreement of two dumps; exit 1 unless
//                                     ASCII letters, digits, case, hyphens and
//                                     apostrophes agree completely
//   collation_dump bench              times the first comparison and a million sort keys
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "bench/collation/Agreement.h"
#include "bench/collation/Bench.h"
#include "bench/collation/Corpus.h"

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const auto& line : lines)
    out << line << '\n';
  return bool(out.flush());
}

int Run(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0] == "corpus")
    return WriteLines(args[1], CollationTest::MakeCorpus()) ? 0 : 1;
  if (args.size() == 3 && args[0] == "dump") {
    std::ofstream out(args[2], std::ios::binary | std::ios::trunc);
    CollationTest::WriteDump(ReadLines(args[1]), out);
    return out.flush() ? 0 : 1;
  }
  if (args.size() == 3 && args[0] == "compare")
    return CollationTest::CompareDumps(args[1], args[2], std::cout) ? 0 : 1;
  if (args.size() == 1 && args[0] == "bench") return CollationTest::RunBenchmark(std::cout);
  std::cerr << "usage: collation_dump corpus OUT | dump IN OUT | compare NATIVE WIN | bench\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::cerr << "collation_dump: " << e.what() << "\n";
    return 1;
  }
}

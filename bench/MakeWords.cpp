// Writes a deterministic word list for the benchmarks: random words in mixed case with
// about the given share of repeats, one a line.
//
//   make_words COUNT DUPLICATE_PERCENT SEED > words.txt
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: make_words COUNT DUPLICATE_PERCENT SEED\n");
    return 2;
  }
  size_t count = std::strtoul(argv[1], nullptr, 10);
  unsigned duplicates = unsigned(std::atoi(argv[2]));
  std::mt19937_64 rng(std::strtoull(argv[3], nullptr, 10));
  std::vector<std::string> made;
  made.reserve(count);
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    std::string word;
    if (!made.empty() && rng() % 100 < duplicates) {
      word = made[rng() % made.size()];
    } else {
      size_t length = 3 + rng() % 10;
      for (size_t k = 0; k < length; ++k) {
        char c = char('a' + rng() % 26);
        if (rng() % 4 == 0) c = char(c - 32);
        word += c;
      }
      made.push_back(word);
    }
    out += word;
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
}

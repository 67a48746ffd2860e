#include "bench/collation/Bench.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/Collation.h"

namespace CollationTest {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// A million words of 3 to 12 letters in mixed case, about 30% of them repeats.
std::vector<std::u16string> MakeWords() {
  std::uint64_t state = 88172645463325252ull;
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 32);
  };
  std::vector<std::u16string> words;
  words.reserve(1000000);
  while (words.size() < 1000000) {
    if (words.size() > 10 && next() % 10 < 3) {
      words.push_back(words[next() % words.size()]);
      continue;
    }
    std::u16string word(3 + next() % 10, u'a');
    for (char16_t& c : word)
      c = char16_t((next() % 8 == 0 ? u'A' : u'a') + next() % 26);
    words.push_back(std::move(word));
  }
  return words;
}

std::size_t MakeKeys(const std::vector<std::u16string>& words, std::size_t from, std::size_t to,
                     bool caseSensitive) {
  std::size_t bytes = 0;
  std::string key;
  for (std::size_t i = from; i < to; ++i) {
    key.clear();
    Platform::AppendSortKey(words[i], caseSensitive, key);
    bytes += key.size();
  }
  return bytes;
}

}  // namespace

int RunBenchmark(std::ostream& report) {
  Clock::time_point start = Clock::now();
  Platform::CompareText(u"a", u"B", true);
  report << "first comparison (loading ICU and the collator): " << Seconds(start) * 1000 << " ms\n";
  const std::vector<std::u16string> words = MakeWords();
  for (bool cs : {true, false}) {
    start = Clock::now();
    std::size_t bytes = MakeKeys(words, 0, words.size(), cs);
    double one = Seconds(start);
    start = Clock::now();
    std::thread helper([&] { MakeKeys(words, 0, words.size() / 2, cs); });
    MakeKeys(words, words.size() / 2, words.size(), cs);
    helper.join();
    double two = Seconds(start);
    report << (cs ? "case-sensitive" : "case-insensitive") << " keys for " << words.size()
           << " words: " << one << " s on one thread (" << double(words.size()) / one
           << " keys/s), " << two << " s on two; " << double(bytes) / double(words.size())
           << " bytes a key\n";
  }
  return 0;
}

}  // namespace CollationTest

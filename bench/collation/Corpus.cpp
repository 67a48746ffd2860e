#include "bench/collation/Corpus.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace CollationTest {
namespace {

// A fixed generator (not <random>'s distributions, which differ between libraries).
class Random {
 public:
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint32_t>(state_ >> 32);
  }
  std::size_t Below(std::size_t n) { return Next() % n; }
  template <typename List>
  const auto& Pick(const List& list) {
    return list[Below(std::size(list))];
  }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

constexpr std::string_view kWords[] = {
    "apple",   "banana",  "cherry",  "delta",    "echo",    "foxtrot",  "golf",    "hotel",
    "india",   "juliet",  "kilo",    "lima",     "mike",    "november", "oscar",   "papa",
    "quebec",  "romeo",   "sierra",  "tango",    "uniform", "victor",   "whiskey", "xray",
    "yankee",  "zulu",    "a",       "ab",       "abc",     "abd",      "b",       "ba",
    "z",       "zz",      "program", "programs", "files",   "system",   "windows", "delphi",
    "library", "package", "source",  "debug",    "release", "bin",      "lib",     "include"};

constexpr std::string_view kLatin1Words[] = {"caf\xC3\xA9",
                                             "na\xC3\xAFve",
                                             "r\xC3\xA9sum\xC3\xA9",
                                             "\xC3\xA1rbol",
                                             "stra\xC3\x9F"
                                             "e",
                                             "strasse",
                                             "\xC3\xA6sir",
                                             "aesir",
                                             "\xC3\x86gis",
                                             "se\xC3\xB1or",
                                             "senor",
                                             "\xC3\xB6l",
                                             "ol",
                                             "\xC3\xB8re",
                                             "ore",
                                             "\xC3\xA5r",
                                             "ar",
                                             "\xC3\xA0 la",
                                             "\xC3\xBC"
                                             "ber",
                                             "uber",
                                             "\xC3\xBEorn",
                                             "thorn",
                                             "\xC3\xB0"
                                             "ad",
                                             "dad",
                                             "fa\xC3\xA7"
                                             "ade",
                                             "facade",
                                             "\xC3\xA2me",
                                             "\xC3\xA4rger",
                                             "\xC3\xA3o",
                                             "\xC3\xAA"
                                             "tre",
                                             "\xC3\xAB",
                                             "\xC3\xBF",
                                             "\xC2\xB5m",
                                             "\xC2\xBD",
                                             "\xC2\xB2",
                                             "\xC2\xA7"
                                             "1",
                                             "\xC2\xA9"
                                             "2024",
                                             "\xC2\xAB"
                                             "q\xC2\xBB",
                                             "\xC3\x89"
                                             "COLE",
                                             "\xC3\x96L",
                                             "\xC3\x98RE",
                                             "\xC3\x85R",
                                             "STRA\xC3\x9F"
                                             "E",
                                             "\xC3\x9E"
                                             "ORN",
                                             "\xC3\xA9"
                                             "cole",
                                             "ecole",
                                             "Ecole",
                                             "\xC3\x85"
                                             "ngstr\xC3\xB6m"};

constexpr std::string_view kHyphenated[] = {
    "co-op",  "coop",    "Co-op",    "CO-OP",    "Coop",    "O'Brien", "OBrien",     "O'BRIEN",
    "OBRIEN", "o'brien", "obrien",   "re-enter", "reenter", "don't",   "dont",       "Don't",
    "it's",   "its",     "'quoted'", "quoted",   "-dash",   "dash-",   "dash",       "a--b",
    "a-b",    "a'b",     "ab",       "a-b-c",    "abc",     "-",       "'",          "--",
    "x-ray",  "X-Ray",   "xray",     "e-mail",   "email",   "E-Mail",  "rock'n'roll"};

// Greek and Cyrillic words, separated by spaces: both cases, accents, final sigma, io,
// the Ukrainian letters, and a few mixed with Latin letters and digits.
constexpr std::string_view kGreekAndCyrillicWords =
    "\xCE\xB1 \xCE\x91 \xCE\xAC\xCE\xBB\xCF\x86\xCE\xB1 \xCE\xB1\xCE\xBB\xCF\x86\xCE\xB1 "
    "\xCE\x86\xCE\xBB\xCF\x86\xCE\xB1 \xCE\x91\xCE\x9B\xCE\xA6\xCE\x91 "
    "\xCE\xB2\xCE\xAE\xCF\x84\xCE\xB1 \xCF\x89\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 "
    "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xCF\x83\xCE\xBF\xCF\x86\xCF\x8C\xCF\x82 "
    "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x9F\xCE\xA3 \xCF\x83\xCE\xBF\xCF\x86\xCE\xBF\xCF\x83 \xCF\x8A "
    "\xCE\x90 \xCF\x8D \xCF\x85 \xD1\x84 \xD0\x91 \xD0\xB1 \xD0\xB1\xD0\xB0\xD1\x80 "
    "\xD0\x91\xD0\xB0\xD1\x80 \xD0\xB1\xD0\xB0\xD1\x80\xD0\xB0\xD0\xBD \xD0\xB5\xD0\xB6 "
    "\xD1\x91\xD0\xB6 \xD0\x81\xD0\xB6 \xD0\xB5\xD0\xBB\xD1\x8C "
    "\xD1\x91\xD0\xBB\xD0\xBA\xD0\xB0 \xD0\xB6\xD1\x83\xD0\xBA "
    "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 "
    "\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 "
    "\xD0\x9C\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90 \xD0\xBC\xD0\xB8\xD1\x80 "
    "\xD0\xBC\xD1\x8B\xD0\xBB\xD0\xBE \xD1\x89\xD1\x83\xD0\xBA\xD0\xB0 \xD1\x8D\xD1\x85\xD0\xBE "
    "\xD1\x8E\xD0\xB3 \xD1\x8F \xD0\xAF \xD2\x91\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xBA "
    "\xD0\xB3\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xBA \xD1\x97\xD0\xB6\xD0\xB0\xD0\xBA "
    "\xD1\x96\xD0\xB3\xD1\x80\xD0\xB8 \xD0\xB8\xD0\xB3\xD1\x80\xD0\xB8 a\xD0\xB1 \xD0\xB1"
    "a "
    "z\xCE\xB1 \xCE\xB1z x1\xD1\x8F \xD1\x8F"
    "1x";

std::string RandomCase(Random& random, std::string_view word) {
  std::string out(word);
  switch (random.Below(4)) {
    case 0:
      break;
    case 1:
      if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = char(out[0] - 32);
      break;
    case 2:
      for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
      break;
    default:
      for (char& c : out)
        if (c >= 'a' && c <= 'z' && random.Below(2)) c = char(c - 32);
  }
  return out;
}

// Short words from few letters, so that many share prefixes or differ only in case.
std::string RandomAlphanumeric(Random& random) {
  static constexpr std::string_view kLetters = "aAbBcCdDxXyYzZ0123456789mn";
  std::string out(1 + random.Below(6), ' ');
  for (char& c : out)
    c = kLetters[random.Below(kLetters.size())];
  return out;
}

void AddAlphanumeric(Random& random, std::vector<std::string>& lines) {
  for (std::string_view word : kWords)
    for (int i = 0; i < 6; ++i)
      lines.push_back(RandomCase(random, word));
  for (int i = 0; i < 2200; ++i)
    lines.push_back(RandomAlphanumeric(random));
  for (int i = 0; i < 200; ++i)
    lines.push_back(std::to_string(random.Below(i < 100 ? 120 : 100000)));
  for (int i = 0; i < 300; ++i) {
    std::string word = RandomCase(random, random.Pick(kWords));
    lines.push_back(word + std::to_string(random.Below(30)));  // one draw after the other
  }
}

// Greek and Cyrillic next to Latin: each language keeps the Windows order of scripts.
void AddGreekAndCyrillic(Random& random, std::vector<std::string>& lines) {
  static constexpr std::string_view kLetters[] = {
      "a",        "A",        "z",        "Z",        "1",        "\xCE\xB1", "\xCE\x91",
      "\xCE\xAC", "\xCF\x89", "\xCE\xA9", "\xCF\x82", "\xCF\x83", "\xCE\xA3", "\xD0\xB1",
      "\xD0\x91", "\xD0\xB5", "\xD1\x91", "\xD0\x81", "\xD0\xB6", "\xD1\x8F", "\xD0\xAF"};
  for (std::size_t at = 0; at < kGreekAndCyrillicWords.size();) {
    std::size_t end = std::min(kGreekAndCyrillicWords.find(' ', at), kGreekAndCyrillicWords.size());
    for (int i = 0; i < 3; ++i)
      lines.emplace_back(kGreekAndCyrillicWords.substr(at, end - at));
    at = end + 1;
  }
  for (int i = 0; i < 600; ++i) {
    std::string line;
    for (std::size_t n = 1 + random.Below(4); n > 0; --n)
      line += random.Pick(kLetters);
    lines.push_back(line);
  }
}

void AddPunctuation(Random& random, std::vector<std::string>& lines) {
  static constexpr std::string_view kPunctuation = " !\"#$%&()*+,./:;<=>?@[\\]^_`{|}~";
  for (char p : kPunctuation) {
    lines.push_back(std::string(1, p));
    lines.push_back(std::string("a") + p + "b");
    lines.push_back(std::string(1, p) + "a");
    lines.push_back(std::string("a") + p);
  }
  for (int i = 0; i < 600; ++i) {
    std::string line = RandomCase(random, random.Pick(kWords));
    line += kPunctuation[random.Below(kPunctuation.size())];
    if (random.Below(2)) line += RandomAlphanumeric(random);
    lines.push_back(line);
  }
}

void AddPaths(Random& random, std::vector<std::string>& lines) {
  static constexpr std::string_view kRoots[] = {"C:\\",  "c:\\", "D:\\", "\\\\server\\share\\",
                                                "/usr/", "..\\", "Z:/"};
  for (int i = 0; i < 700; ++i) {
    std::string path(random.Pick(kRoots));
    for (std::size_t depth = 1 + random.Below(3); depth > 0; --depth) {
      path += RandomCase(random, random.Pick(kWords));
      if (random.Below(4) == 0) path.append(1, ' ').append(RandomCase(random, random.Pick(kWords)));
      path += path.find('/') != std::string::npos ? '/' : '\\';
    }
    path.append(RandomCase(random, random.Pick(kWords))).append(random.Below(2) ? ".dll" : ".Bpl");
    lines.push_back(path);
  }
}

void AddLatin1AndHyphenated(Random& random, std::vector<std::string>& lines) {
  for (std::string_view word : kLatin1Words)
    for (int i = 0; i < 4; ++i)
      lines.push_back(RandomCase(random, word));
  for (std::string_view word : kHyphenated)
    lines.emplace_back(word);
  for (int i = 0; i < 500; ++i) {
    std::string word = RandomCase(random, random.Pick(kWords));
    std::size_t at = random.Below(word.size() + 1);
    word.insert(word.begin() + static_cast<std::ptrdiff_t>(at), random.Below(2) ? '-' : '\'');
    lines.push_back(word);
  }
}

// Any printable ASCII or Latin-1 character anywhere: the symbols' order, accents in
// unusual places, expansions next to hyphens.
void AddRandomLatin1(Random& random, std::vector<std::string>& lines) {
  for (int i = 0; i < 1000; ++i) {
    std::string line;
    for (std::size_t n = 1 + random.Below(6); n > 0; --n) {
      std::size_t c = random.Below(95 + 96);
      c = c < 95 ? 0x20 + c : 0xA0 + (c - 95);
      if (c < 0x80) {
        line.push_back(char(c));
      } else {
        line.push_back(char(0xC0 | (c >> 6)));
        line.push_back(char(0x80 | (c & 0x3F)));
      }
    }
    lines.push_back(line);
  }
}

}  // namespace

std::vector<std::string> MakeCorpus() {
  Random random;
  std::vector<std::string> lines;
  AddAlphanumeric(random, lines);
  AddPunctuation(random, lines);
  AddPaths(random, lines);
  AddLatin1AndHyphenated(random, lines);
  AddRandomLatin1(random, lines);
  AddGreekAndCyrillic(random, lines);
  // Repeat some lines exactly, as word lists do.
  for (std::size_t i = 0, n = lines.size(); i < n / 20; ++i)
    lines.push_back(lines[random.Below(n)]);
  return lines;
}

}  // namespace CollationTest

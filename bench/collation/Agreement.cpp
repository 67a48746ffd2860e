#include "bench/collation/Agreement.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iomanip>
#include <map>
#include <numeric>
#include <sstream>

#include "platform/Collation.h"
#include "platform/TextCodec.h"

namespace CollationTest {
namespace {

constexpr const char* kModes[] = {"cs", "ci"};

struct Sorted {
  std::vector<std::string> texts;
  std::vector<int> ranks;  // equal texts share a rank
};

struct Dump {
  Sorted sorted[2];
  std::vector<std::string> deduplicated[2];
};

// Stable sort of the line indices; a rank grows at each difference between neighbours.
Sorted SortLines(const std::vector<std::u16string>& items, bool caseSensitive,
                 std::vector<std::size_t>& order) {
  order.resize(items.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return Platform::CompareText(items[a], items[b], caseSensitive) < 0;
  });
  Sorted sorted;
  for (std::size_t i = 0; i < order.size(); ++i) {
    bool same =
        i > 0 && Platform::CompareText(items[order[i - 1]], items[order[i]], caseSensitive) == 0;
    sorted.ranks.push_back(i == 0 ? 0 : sorted.ranks.back() + (same ? 0 : 1));
    sorted.texts.push_back(Platform::ToUtf8(items[order[i]]));
  }
  return sorted;
}

// The first line of each rank, in input order.
std::vector<std::string> KeepFirst(const std::vector<std::string>& lines,
                                   const std::vector<std::size_t>& order, const Sorted& sorted) {
  std::vector<bool> keep(lines.size(), false);
  for (std::size_t i = 0; i < order.size();) {
    std::size_t first = order[i], j = i;
    for (; j < order.size() && sorted.ranks[j] == sorted.ranks[i]; ++j)
      first = std::min(first, order[j]);
    keep[first] = true;
    i = j;
  }
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (keep[i]) kept.push_back(lines[i]);
  return kept;
}

bool ReadDump(const std::string& path, Dump& dump) {
  std::ifstream in(path, std::ios::binary);
  std::string name, line;
  std::size_t count = 0;
  for (int section = 0; section < 4 && in >> name >> count && std::getline(in, line); ++section) {
    for (std::size_t i = 0; i < count && std::getline(in, line); ++i) {
      if (section < 2) {
        std::size_t tab = line.find('\t');
        dump.sorted[section].ranks.push_back(std::stoi(line.substr(0, tab)));
        dump.sorted[section].texts.push_back(line.substr(tab + 1));
      } else {
        dump.deduplicated[section - 2].push_back(line);
      }
    }
  }
  return bool(in) && !dump.sorted[0].texts.empty();
}

enum Class { kAlphanumeric, kHyphenated, kGreekCyrillic, kOther, kClasses };
constexpr const char* kClassNames[] = {"ASCII letters/digits", "with hyphen/apostrophe",
                                       "Greek/Cyrillic letters", "everything else"};

// A Greek or Cyrillic letter in UTF-8 at text[i] (two bytes); not their punctuation,
// numeral signs or combining marks.
bool IsGreekOrCyrillicLetter(const std::string& text, std::size_t i) {
  if (i + 1 >= text.size()) return false;
  auto lead = static_cast<unsigned char>(text[i]), next = static_cast<unsigned char>(text[i + 1]);
  if ((lead & 0xE0) != 0xC0 || (next & 0xC0) != 0x80) return false;
  unsigned code = ((lead & 0x1Fu) << 6) | (next & 0x3Fu);
  return (code >= 0x0388 && code <= 0x03FF) || code == 0x0386 ||
         (code >= 0x0400 && code <= 0x0481) || (code >= 0x048A && code <= 0x04FF);
}

// Texts mixing Greek or Cyrillic letters with ASCII letters and digits (and nothing
// else) form their own class: the order of scripts must agree in every language.
Class ClassOf(const std::string& text) {
  bool special = false, script = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (c == '-' || c == '\'') {
      special = true;
    } else if (IsGreekOrCyrillicLetter(text, i)) {
      script = true;
      ++i;
    } else if (!alnum) {
      return kOther;
    }
  }
  if (text.empty() || (script && special)) return kOther;
  return script ? kGreekCyrillic : special ? kHyphenated : kAlphanumeric;
}

struct Tally {
  long agree = 0, total = 0;
  double Percent() const { return total ? 100.0 * double(agree) / double(total) : 100.0; }
  bool Complete() const { return agree == total; }
};

// The rate and the count that differ: a rate rounds a few hundred in millions to 100%.
std::string Show(const Tally& tally) {
  std::ostringstream shown;
  shown << std::fixed << std::setprecision(3) << std::setw(7) << tally.Percent() << "% ("
        << tally.total - tally.agree << " of " << tally.total << " differ)";
  return shown.str();
}

// Pairs are classed by their "worse" member: a pair with an "everything else" text is one.
std::array<Tally, kClasses> PairAgreement(const Sorted& native, const Sorted& windows,
                                          std::ostream& report, const char* mode) {
  std::map<std::string, std::pair<int, int>> ranks;
  for (std::size_t i = 0; i < native.texts.size(); ++i)
    ranks[native.texts[i]].first = native.ranks[i];
  for (std::size_t i = 0; i < windows.texts.size(); ++i)
    ranks[windows.texts[i]].second = windows.ranks[i];
  std::vector<std::pair<std::string, std::pair<int, int>>> items(ranks.begin(), ranks.end());
  std::array<Tally, kClasses> tallies{};
  int shown = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    for (std::size_t j = i + 1; j < items.size(); ++j) {
      const auto& [a, ra] = items[i];
      const auto& [b, rb] = items[j];
      Tally& t = tallies[std::max(ClassOf(a), ClassOf(b))];
      ++t.total;
      int n = (ra.first > rb.first) - (ra.first < rb.first);
      int w = (ra.second > rb.second) - (ra.second < rb.second);
      if (n == w) {
        ++t.agree;
      } else if (shown++ < 12) {
        report << "  differs (" << mode << "): \"" << a << "\" vs \"" << b << "\": native " << n
               << ", Windows " << w << "\n";
      }
    }
  }
  return tallies;
}

std::array<Tally, kClasses> PositionAgreement(const Sorted& native, const Sorted& windows) {
  std::array<std::vector<std::string>, kClasses> n, w;
  for (const auto& text : native.texts)
    n[ClassOf(text)].push_back(text);
  for (const auto& text : windows.texts)
    w[ClassOf(text)].push_back(text);
  std::array<Tally, kClasses> tallies{};
  for (int c = 0; c < kClasses; ++c)
    for (std::size_t i = 0; i < n[c].size(); ++i) {
      ++tallies[c].total;
      if (i < w[c].size() && n[c][i] == w[c][i]) ++tallies[c].agree;
    }
  return tallies;
}

long DifferingLines(std::vector<std::string> a, std::vector<std::string> b) {
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::vector<std::string> difference;
  std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(),
                                std::back_inserter(difference));
  return static_cast<long>(difference.size());
}

}  // namespace

void WriteDump(const std::vector<std::string>& lines, std::ostream& out) {
  std::vector<std::u16string> items;
  for (const auto& line : lines)
    items.push_back(Platform::FromUtf8(line));
  std::vector<std::size_t> order;
  std::vector<std::string> kept[2];
  for (int mode = 0; mode < 2; ++mode) {
    Sorted sorted = SortLines(items, mode == 0, order);
    out << "sorted-" << kModes[mode] << ' ' << sorted.texts.size() << '\n';
    for (std::size_t i = 0; i < sorted.texts.size(); ++i)
      out << sorted.ranks[i] << '\t' << sorted.texts[i] << '\n';
    kept[mode] = KeepFirst(lines, order, sorted);
  }
  for (int mode = 0; mode < 2; ++mode) {
    out << "dedup-" << kModes[mode] << ' ' << kept[mode].size() << '\n';
    for (const auto& line : kept[mode])
      out << line << '\n';
  }
}

bool CompareDumps(const std::string& nativeDump, const std::string& windowsDump,
                  std::ostream& report) {
  Dump native, windows;
  if (!ReadDump(nativeDump, native) || !ReadDump(windowsDump, windows) ||
      DifferingLines(native.sorted[0].texts, windows.sorted[0].texts) != 0) {
    report << "The dumps cannot be read or hold different lines\n";
    return false;
  }
  bool complete = true;
  report << std::fixed << std::setprecision(3);
  for (int mode = 0; mode < 2; ++mode) {
    auto pairs = PairAgreement(native.sorted[mode], windows.sorted[mode], report, kModes[mode]);
    auto positions = PositionAgreement(native.sorted[mode], windows.sorted[mode]);
    for (int c = 0; c < kClasses; ++c)
      report << kModes[mode] << "  " << std::left << std::setw(24) << kClassNames[c] << std::right
             << " texts " << std::setw(5) << positions[c].total << "  positions "
             << Show(positions[c]) << "  pairs " << Show(pairs[c]) << "\n";
    Tally rest;
    for (Class c : {kHyphenated, kGreekCyrillic, kOther}) {
      rest.agree += pairs[c].agree;
      rest.total += pairs[c].total;
    }
    report << kModes[mode] << "  all but letters/digits: pairs " << Show(rest) << "\n";
    report << kModes[mode] << "  deduplicated lines that differ: "
           << DifferingLines(native.deduplicated[mode], windows.deduplicated[mode]) << " ("
           << native.deduplicated[mode].size() << " kept natively)\n";
    for (Class c : {kAlphanumeric, kHyphenated, kGreekCyrillic})
      complete = complete && pairs[c].Complete() && positions[c].Complete();
  }
  return complete;
}

}  // namespace CollationTest

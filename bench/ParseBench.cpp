// Search word parser throughput: texts per second on names, titles and address lines of
// 10 to 60 characters, with WordLengthLimit 20.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "common/QO_Parse.h"

namespace {

using Pool = std::vector<const char16_t*>;

const Pool kFirst = {u"John",      u"Mary-Ann", u"J. R.",    u"Anne",
                     u"Dr. Peter", u"Ms. Lee",  u"Jos\u00E9"};
const Pool kLast = {u"O'Brien",    u"Smith-Jones", u"Public", u"van der Berg",
                    u"McDonald's", u"Mueller",     u"Ng"};
const Pool kTitles = {u"The 24 Hour Shop",      u"100% Pure Juice",    u"Rock-n-Roll Hall of Fame",
                      u"Smith & Jones Ltd.",    u"U S A Today",        u"The 3 Musketeers",
                      u"A+ Tutoring @ Home",    u"Cafe #5 (Downtown)", u"2nd Street Books",
                      u"Johnson & Johnson Co.", u"Best-Buy Outlet",    u"1,001 Nights"};
const Pool kStreets = {u"Main St.", u"N. Oak Avenue", u"Baker Street",
                       u"Route 66", u"Elm-Park Rd.",  u"Sunset Blvd"};
const Pool kUnits = {u"", u", Apt #5", u", Suite 400", u" - Unit 12B", u", P.O. Box 1234"};

std::u16string Pick(const Pool& pool, std::mt19937& rng) {
  return pool[rng() % pool.size()];
}

std::u16string MakeText(std::mt19937& rng) {
  switch (rng() % 3) {
    case 0:
      return Pick(kFirst, rng) + u" " + Pick(kLast, rng);
    case 1:
      return Pick(kTitles, rng);
    default:
      return std::u16string(u"1,250 ").substr(0, 1 + rng() % 5) + u" " + Pick(kStreets, rng) +
             Pick(kUnits, rng);
  }
}

// A fixed mix, every text 10 to 60 characters long.
std::vector<std::u16string> Texts(size_t count) {
  std::mt19937 rng(7);
  std::vector<std::u16string> texts;
  while (texts.size() < count) {
    std::u16string text = MakeText(rng);
    if (text.size() > 60) text.resize(60);
    if (text.size() >= 10) texts.push_back(std::move(text));
  }
  return texts;
}

void BM_ParseTexts(benchmark::State& state) {
  const std::vector<std::u16string> texts = Texts(1000);
  TQO_ParseWordList parser;
  parser.SetWordLengthLimit(20);
  TStringList target;
  size_t next = 0;
  for (auto _ : state) {
    parser.Parse(texts[next], &target);
    benchmark::DoNotOptimize(target.Count());
    next = (next + 1) % texts.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseTexts);

}  // namespace

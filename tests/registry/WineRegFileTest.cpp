// Whole registry files: the key index, and the write-back of a file with changes (the hive),
// without a disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "platform/posix/registry/FileIndex.h"
#include "platform/posix/registry/Hive.h"

namespace Platform::Posix {
namespace {

using WineReg::TFileIndex;

const std::string kHeader =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";

const std::string kSample = kHeader +
                            "\n[Software\\\\Vendor\\\\App] 1796592230\n"
                            "#time=1dd85c816490488\n"
                            "\"Path\"=\"C:\\\\Program Files\\\\App\\\\\"\n"
                            "@=\"default\"\n"
                            "garbage that Wine skips\n"
                            "\"Raw\" = dword:1\n"
                            "\n[Software\\\\Vendor\\\\App\\\\Sub\\\\Deep] 1796592230\n"
                            "#time=1dd85c816490488\n"
                            "\n[Software\\\\Other] 1796592230\n"
                            "#class=\"c\"\n"
                            "\"v\"=hex:01,\\\n  02\n"
                            "\n[\\\\Leading] 1\n\"dead\"=\"x\"\n"
                            "\n[Software\\\\VENDOR\\\\app] 1\n\"Second\"=\"block\"\n";

TPath P(std::initializer_list<const char16_t*> parts) {
  return TPath(parts.begin(), parts.end());
}

TEST(WineRegFile, IndexFindsKeysAndTheirImpliedParents) {
  TFileIndex index(kSample);
  ASSERT_TRUE(index.Readable());
  EXPECT_EQ(index.Arch(), WineReg::TArch::Win64);
  // Two blocks name the key, in two spellings: the first one counts, as in Wine.
  std::vector<int32_t> app = index.Find(P({u"SOFTWARE", u"vendor", u"APP"}));
  ASSERT_EQ(app.size(), 2u);
  EXPECT_EQ(index.Path(app[0]), P({u"Software", u"Vendor", u"App"}));
  EXPECT_EQ(index.Keys()[size_t(app[0])].Block, 0);
  EXPECT_EQ(index.Keys()[size_t(app[1])].Block, 4);
  std::vector<int32_t> sub = index.Find(P({u"software", u"vendor", u"app", u"sub"}));
  ASSERT_EQ(sub.size(), 1u);  // implied by the path of "Deep" alone
  EXPECT_EQ(index.Keys()[size_t(sub[0])].Block, -1);
  EXPECT_TRUE(index.Find(P({u"Leading"})).empty());  // a leading backslash: Wine ignores it
  EXPECT_FALSE(index.Blocks()[3].Live);
  EXPECT_TRUE(index.Find(P({u"Software", u"Vendor", u"Ap"})).empty());
  std::vector<std::u16string> children;
  for (int32_t k : index.Children(P({u"Software"})))
    children.push_back(index.Name(k));
  std::sort(children.begin(), children.end());
  EXPECT_EQ(children, (std::vector<std::u16string>{u"Other", u"VENDOR", u"Vendor"}));
}

TEST(WineRegFile, ManyLookupsGiveTheSameAnswers) {
  std::string text = kHeader;
  for (int i = 0; i < 300; ++i)
    text += "\n[K" + std::to_string(i) + "\\\\Sub] 1\n";
  TFileIndex index(text);
  for (int round = 0; round < 2; ++round)  // the first lookups scan, the later ones search
    for (int i = 0; i < 300; i += 7) {
      std::u16string k = u"k" + std::u16string(u"0123456789").substr(0, 0);
      for (char c : std::to_string(i))
        k.push_back(char16_t(c));
      EXPECT_EQ(index.Find(P({k.c_str()})).size(), 1u) << i;
      EXPECT_EQ(index.Find(P({k.c_str(), u"SUB"})).size(), 1u) << i;
    }
  EXPECT_TRUE(index.Find(P({u"K300"})).empty());
}

TEST(WineRegFile, NamesOfAnyLengthAreFoundInAnyCase) {
  // Long ASCII names are read eight bytes at a time: the same keys as one by one.
  const std::u16string letters = u"@AZaz`{Mixed_Case-Name.0123456789With Spaces~";
  for (size_t length = 1; length <= letters.size(); ++length) {
    std::u16string name = letters.substr(letters.size() - length);
    std::string text = kHeader + "\n[Software\\\\Prefix" + std::to_string(length) + "\\\\";
    for (char16_t c : name)
      text.push_back(char(c));
    text += "\\\\Deeper] 1\n";
    TFileIndex index(text);
    std::u16string other;
    for (char16_t c : name)
      other.push_back(c >= u'a' && c <= u'z' ? c - 32 : c >= u'A' && c <= u'Z' ? c + 32 : c);
    std::u16string prefix = u"PREFIX";
    for (char c : std::to_string(length))
      prefix.push_back(char16_t(c));
    EXPECT_EQ(index.Find(P({u"software", prefix.c_str(), other.c_str()})).size(), 1u) << length;
    EXPECT_EQ(index.Find(P({u"software", prefix.c_str(), other.c_str(), u"DEEPER"})).size(), 1u);
  }
}

TEST(WineRegFile, UnreadableFilesAreRefused) {
  EXPECT_FALSE(TFileIndex("WINE REGISTRY Version 1\n[A]\n").Readable());
  EXPECT_FALSE(TFileIndex("\xef\xbb\xbfWINE REGISTRY Version 2\n").Readable());
  EXPECT_FALSE(TFileIndex("").Readable());
  EXPECT_FALSE(TFileIndex("WINE REGISTRY Version 2\n#arch=arm\n").Readable());
  EXPECT_TRUE(TFileIndex("WINE REGISTRY Version 2\r\n#arch=win32\r\n[A] 1\r\n").Readable());
  EXPECT_TRUE(THive("").Readable());  // no file yet
}

// A file handed out in pieces of at most `piece` bytes, as a short read would.
class TPieces final : public TTextSource {
 public:
  TPieces(std::string text, size_t piece, bool& readWhole)
      : text_(std::move(text)), piece_(piece), readWhole_(readWhole) {}
  size_t ReadAt(size_t offset, char* out, size_t size) override {
    size_t n = offset < text_.size() ? std::min({size, piece_, text_.size() - offset}) : 0;
    std::memcpy(out, text_.data() + offset, n);
    return n;
  }
  TRegText ReadAll() override {
    readWhole_ = true;
    return TRegText(text_);
  }

 private:
  std::string text_;
  size_t piece_;
  bool& readWhole_;
};

// What the lookups of a path answer, in one line.
std::string Answers(THive& hive, const TPath& path) {
  auto narrow = [](std::u16string_view s) { return std::string(s.begin(), s.end()); };
  std::string out = hive.Exists(path) ? "exists" : "missing";
  if (!path.empty())
    out += " as " +
           narrow(hive.ChildName(TPath(path.begin(), path.end() - 1), path.back()).value_or(u"-"));
  if (hive.IsLink(path)) out += " link";
  if (auto* content = hive.Content(path))
    for (const auto& v : content->Values)
      out += " " + narrow(v.Name) + "=" + std::to_string(v.Data.Type) + ":" + v.Data.Bytes;
  return out;
}

// Files whose lines test every rule a scan must follow as the whole reading does.
std::vector<std::string> ScanTestFiles() {
  const std::string tricky =
      kSample + "\n[Software\\\\Wow6432Node\\\\Vendor\\\\App] 1\n\"Path\"=\"32\"\n" +
      "\n[software\\\\WOW6432NODE\\\\vendor\\\\APP\\\\Sub] 1\n" +
      "\n[Software\\\\V\\x65ndor\\\\App] 1\n\"Escaped\"=dword:2\n" +  // "\x65" is "e"
      "\n[Software\\\\Vendor\\\\App] 1\n\"v\"=hex:01,\\\n[Software\\\\Vendor\\\\Taken] 1\n" +
      "\n \t[Software\\\\Vendor\\\\Blank] 1\n\"b\"=\"1\"\n" + "\n[Software\\\\Vendor\\\\Nul" +
      std::string(1, '\0') + "] 1\n\"n\"=\"x\"\n" +
      "\n[Software\\\\Vendor\\\\Link] 1\n#link\n\"SymbolicLinkValue\"=hex(6):5c,00\n" +
      "\n[Software\\\\Vendor\\\\App] 1\r\n\"Crlf\"=\"y\"\r\n\"v\"=hex:03,\\ cut\n" +
      "[Software\\\\Vendor\\\\Taken2] 1\n" +
      "\n[Software\\\\Vendo] 1\n\n[Software\\\\Vendor\\\\Later] 1\n";
  return {kSample, tricky,
          kHeader + "\n[A] 1\n#arch=win32\n",         // inside a block: not the file's
          kHeader + "\n[\\\\A] 1\n#arch=win32\n",     // inside a block Wine skips: the file's
          "WINE REGISTRY Version 2\r\n\n[A] 1\n[B]",  // no line end at the end
          "WINE REGISTRY Version 3\n[A] 1\n",
          // An empty line ends a value that goes on over lines; an "#arch" line outside the blocks
          // Wine reads is the file's.
          kSample + "\n[\\\\Bad] 1\n\"v\"=hex:01,\\\n\n#arch=win64\n" +
              "\n[Software\\\\Vendor\\\\App] 1\n\"h\"=hex:01,\\\n\n[Software\\\\Vendor] 2\n" +
              "\"v\"=hex:02,\\\n[Software\\\\Vendor\\\\App] 3\n\n[Software\\\\Vendor\\\\App] 4\n"};
}

TEST(WineRegHive, AScanForSomePathsAnswersAsTheWholeFile) {
  const std::vector<std::string> files = ScanTestFiles();
  const std::vector<TPath> queries = {P({u"Software", u"Vendor", u"App"}),
                                      P({u"SOFTWARE", u"vendor", u"taken"}),
                                      P({u"Software", u"Vendor", u"Blank"}),
                                      P({u"Software", u"Vendor", u"Link"}),
                                      P({u"Software", u"Vendor", u"Taken2"}),
                                      P({u"Software", u"Vendor", u"Later"}),
                                      P({u"Software", u"Vendor", u"Nul"}),
                                      P({u"Software", u"Other"}),
                                      P({u"Leading"}),
                                      P({u"A"}),
                                      P({u"B"}),
                                      P({})};
  for (const std::string& file : files) {
    THive whole(file);
    for (size_t q = 0; q <= queries.size(); ++q) {  // each query alone, then all announced
      const std::vector<TPath> set = q < queries.size() ? std::vector<TPath>{queries[q]} : queries;
      // The queries and the keys on their way, also through a Wow6432Node after the first
      // name, and the Wow6432Node below each.
      std::vector<TPath> paths;
      auto add = [&](TPath path) {
        paths.push_back(path);
        path.push_back(u"wow6432node");
        paths.push_back(path);
      };
      for (const TPath& query : set)
        for (size_t n = 0; n <= query.size(); ++n) {
          TPath path(query.begin(), query.begin() + ptrdiff_t(n));
          add(path);
          if (n > 1) add((path.insert(path.begin() + 1, u"Wow6432Node"), path));
        }
      for (size_t piece : {size_t(1), size_t(7), size_t(1) << 20}) {
        bool readWhole = false;
        THive scanned(std::make_unique<TPieces>(file, piece, readWhole));
        if (set.size() == 1)
          scanned.Expect(set[0]);
        else
          scanned.ExpectAll(set);
        ASSERT_EQ(scanned.Readable(), whole.Readable()) << file;
        ASSERT_EQ(scanned.Arch(), whole.Arch()) << file;
        if (!whole.Readable()) continue;
        for (const TPath& path : paths)
          EXPECT_EQ(Answers(scanned, path), Answers(whole, path))
              << "file " << &file - files.data() << ", piece " << piece << ", path "
              << (path.empty() ? "" : std::string(path.back().begin(), path.back().end()));
        EXPECT_FALSE(readWhole);  // the scan answered all
      }
    }
  }
}

TEST(WineRegHive, LookupsInAnyOrderAnswerAsOnAFreshFile) {
  // One file asked about many paths one after the other, in changing case, deeper and
  // shallower and sideways, must answer each as a file asked about that path alone.
  const std::vector<std::u16string> names = {
      u"Software",    u"SOFTWARE", u"Vendor", u"vendor", u"App", u"APP", u"Sub",
      u"Wow6432Node", u"Link",     u"Taken",  u"A",      u"B",   u"Aa",  u"AA",
      u"Ax",          u"Bb",       u"Bx",     u"Cc",     u"Dd"};
  // Names of one length that lead to different keys, at every depth.
  const std::string pairs = kHeader +
                            "\n[Aa\\\\Bb\\\\Cc] 1\n#link\n\"SymbolicLinkValue\"=hex(6):5c,00\n"
                            "\n[Aa\\\\Bx\\\\Cc] 1\n\"v\"=\"1\"\n"
                            "\n[Ax\\\\Bb\\\\Cc] 1\n\"w\"=dword:2\n"
                            "\n[Aa\\\\Bb\\\\Dd] 1\n";
  std::vector<std::string> files = ScanTestFiles();
  files.push_back(pairs);
  std::mt19937 rng(5);
  for (const std::string& file : files) {
    THive used(file);
    if (!used.Readable()) continue;
    TPath path;
    for (int step = 0; step < 400; ++step) {
      switch (rng() % 4) {  // down, up, sideways or anywhere
        case 0:
          path.push_back(names[rng() % names.size()]);
          break;
        case 1:
          if (!path.empty()) path.pop_back();
          break;
        case 2:
          if (!path.empty()) path.back() = names[rng() % names.size()];
          break;
        default:
          path.assign(1 + rng() % 4, u"");
          for (auto& name : path)
            name = names[rng() % names.size()];
      }
      THive fresh(file);
      ASSERT_EQ(Answers(used, path), Answers(fresh, path)) << "step " << step;
    }
  }
}

// Everything a scan found, in one text.
std::string Findings(const WineReg::TKeyScan& scan) {
  std::string out = std::to_string(scan.Readable) + std::to_string(int(scan.Arch)) + scan.Head;
  for (const auto& [folded, key] : scan.Keys) {
    out += "\n" + std::string(folded.begin(), folded.end()) + " as " +
           std::string(key.Path.back().begin(), key.Path.back().end());
    for (const std::string& block : key.Blocks)
      out += " {" + block + "}";
  }
  return out;
}

TEST(WineRegHive, AScanInTwoPartsFindsWhatOneFinds) {
  const WineReg::TKeyFamily family(std::vector<TPath>{P({u"Software", u"Vendor", u"App"}),
                                                      P({u"software", u"vendor", u"Later"}),
                                                      P({u"A"}), P({u"B"})});
  for (const std::string& file : ScanTestFiles()) {
    auto read = [&](size_t offset, char* out, size_t size) {
      size_t n = offset < file.size() ? std::min({size, size_t(5), file.size() - offset}) : 0;
      std::memcpy(out, file.data() + offset, n);
      return n;
    };
    const std::string whole = Findings(WineReg::ScanForKeys(family, read));
    for (size_t from = 0; from <= file.size(); ++from)  // every place the search may start
      ASSERT_EQ(Findings(WineReg::ScanForKeysInParts(family, read, file.size(), from)), whole)
          << "file " << file.size() << " bytes, split from " << from;
  }
}

TEST(WineRegHive, KeepsTheFileAsItWasWhenNothingChanged) {
  THive hive(kSample);
  ASSERT_NE(hive.Content(P({u"Software", u"Vendor", u"App"})), nullptr);  // parsed, unchanged
  EXPECT_FALSE(hive.Changed());
  EXPECT_EQ(hive.Compose("", 0).Joined(), kSample);
}

TEST(WineRegHive, MergesTheBlocksOfOneKeyLikeWine) {
  THive hive(kSample);
  auto* app = hive.Content(P({u"software", u"vendor", u"app"}));
  ASSERT_NE(app, nullptr);
  std::vector<std::u16string> names;
  for (const auto& v : app->Values)
    names.push_back(v.Name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"", u"Path", u"Raw", u"Second"}));
  auto* other = hive.Content(P({u"Software", u"Other"}));
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->Values.at(0).Data.Bytes, "\x01\x02");
  EXPECT_TRUE(hive.Exists(P({u"Software", u"Vendor", u"App", u"Sub"})));
  EXPECT_EQ(hive.SubKeyNames(P({u"Software"})), (std::vector<std::u16string>{u"Other", u"Vendor"}));
}

const uint64_t kTime = 0x1dd85d5cfb27880ull;  // 1796598125 seconds since 1970

TEST(WineRegHive, RewritesOnlyTheChangedKeyAndKeepsWhatItCannotRead) {
  THive hive(kSample);
  TPath app = P({u"SOFTWARE", u"Vendor", u"App"});
  ASSERT_TRUE(hive.SetValue(app, u"PATH", {kRegDword, std::string("\x05\0\0\0", 4)}));
  ASSERT_EQ(hive.DeleteValue(app, u"second"), TRegResult::Ok);
  ASSERT_TRUE(hive.SetValue(app, u"New", {kRegBinary, "\xab"}));
  std::string expected = kHeader +
                         "\n[Software\\\\Vendor\\\\App] 1796598125\n"
                         "#time=1dd85d5cfb27880\n"
                         "\"Path\"=dword:00000005\n"  // the stored name keeps its case
                         "@=\"default\"\n"
                         "garbage that Wine skips\n"
                         "\"Raw\" = dword:1\n"  // untouched values stay as written
                         "\"New\"=hex:ab\n"
                         "\n[Software\\\\Vendor\\\\App\\\\Sub\\\\Deep] 1796592230\n"
                         "#time=1dd85c816490488\n"
                         "\n[Software\\\\Other] 1796592230\n"
                         "#class=\"c\"\n"
                         "\"v\"=hex:01,\\\n  02\n"
                         "\n[\\\\Leading] 1\n\"dead\"=\"x\"\n\n";
  EXPECT_EQ(hive.Compose("", kTime).Joined(), expected);
}

TEST(WineRegHive, NewKeysGoAtTheEndAndDeletedParentsStay) {
  THive hive(kSample);
  hive.CreateKey(P({u"Software", u"vendor", u"New[1]"}));
  EXPECT_EQ(hive.DeleteKey(P({u"Software", u"Vendor", u"App", u"Sub"})), TRegResult::AccessDenied);
  EXPECT_EQ(hive.DeleteKey(P({u"Software", u"Vendor", u"App", u"Sub", u"Deep"})), TRegResult::Ok);
  EXPECT_EQ(hive.DeleteKey(P({u"Software", u"Vendor", u"App", u"Sub", u"Deep"})),
            TRegResult::NotFound);
  std::string text = hive.Compose("", kTime).Joined();
  // "Sub" was implied by "Deep" alone: it now has a block of its own.
  EXPECT_NE(text.find("[Software\\\\Vendor\\\\App\\\\Sub] 1796598125\n#time=1dd85d5cfb27880\n\n"),
            std::string::npos);
  EXPECT_EQ(text.find("Deep"), std::string::npos);
  EXPECT_NE(text.find("\n\n[Software\\\\Vendor\\\\New\\[1\\]] 1796598125\n"), std::string::npos);
  THive reread(text);
  EXPECT_TRUE(reread.Exists(P({u"software", u"vendor", u"app", u"sub"})));
  EXPECT_FALSE(reread.Exists(P({u"software", u"vendor", u"app", u"sub", u"deep"})));
  EXPECT_EQ(reread.SubKeyNames(P({u"Software", u"Vendor"})),
            (std::vector<std::u16string>{u"App", u"New[1]"}));
}

TEST(WineRegHive, ANewFileGetsWinesHeader) {
  THive hive("");
  hive.CreateKey(P({u"Software", u"A"}));
  ASSERT_TRUE(hive.SetValue(P({u"Software", u"A"}), u"v", {kRegSz, std::string("x\0\0\0", 4)}));
  std::string header =
      WineReg::NewFileText(P({u"User", u"S-1-5-21-0-0-0-1000"}), WineReg::TArch::Win64);
  EXPECT_EQ(
      header,
      "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
      "\n#arch=win64\n");
  EXPECT_EQ(hive.Compose(header, kTime).Joined(),
            header + "\n[Software\\\\A] 1796598125\n#time=1dd85d5cfb27880\n\"v\"=\"x\"\n\n");
}

TEST(WineRegHive, AKeyDeletedAndCreatedAgainComesBackEmpty) {
  THive hive(kSample);
  TPath other = P({u"Software", u"Other"});
  ASSERT_EQ(hive.DeleteKey(other), TRegResult::Ok);
  hive.CreateKey(P({u"Software", u"OTHER"}));
  auto* content = hive.Content(other);
  ASSERT_NE(content, nullptr);
  EXPECT_TRUE(content->Values.empty());
  std::string text = hive.Compose("", kTime).Joined();
  EXPECT_EQ(text.find("#class"), std::string::npos);
  EXPECT_EQ(THive(text).SubKeyNames(P({u"Software"})),
            (std::vector<std::u16string>{u"OTHER", u"Vendor"}));
}

TEST(WineRegHive, WindowsLineBreaksAreRead) {
  std::string crlf =
      "WINE REGISTRY Version 2\r\n\r\n[Software\\\\A] 1\r\n\"v\"=\"x\"\r\n\"h\"=hex:01,\\\r\n  "
      "02\r\n";
  THive hive(crlf);
  auto* content = hive.Content(P({u"software", u"a"}));
  ASSERT_NE(content, nullptr);
  ASSERT_EQ(content->Values.size(), 2u);
  EXPECT_EQ(content->Values[0].Data.Bytes, "\x01\x02");
  EXPECT_EQ(content->Values[1].Data.Bytes, std::string("x\0\0\0", 4));
}

TEST(WineRegHive, ListsTheChildrenCreatedInTheRunAtEveryDepth) {
  THive hive(kSample);
  TPath deep = P({u"Software", u"Chain"});
  for (int i = 0; i < 300; ++i)
    deep.push_back(u"d");
  hive.CreateKey(deep);
  hive.CreateKey(P({u"Top"}));
  hive.CreateKey(P({u"Software", u"Chain!"}));  // sorts before the chain's own subtree
  EXPECT_EQ(hive.SubKeyNames(P({})), (std::vector<std::u16string>{u"Software", u"Top"}));
  EXPECT_EQ(hive.SubKeyNames(P({u"Software"})),
            (std::vector<std::u16string>{u"Chain", u"Chain!", u"Other", u"Vendor"}));
  TPath middle(deep.begin(), deep.begin() + 100);
  EXPECT_EQ(hive.SubKeyNames(middle), (std::vector<std::u16string>{u"d"}));
  EXPECT_TRUE(hive.SubKeyNames(deep).empty());
  EXPECT_EQ(hive.DeleteKey(middle), TRegResult::AccessDenied);
  EXPECT_EQ(hive.DeleteKey(deep), TRegResult::Ok);
}

// A file cut inside a continued hex line: Wine reads that value as REG_NONE without data. A
// key appended after it would become its continuation, so the cut key is written anew.
TEST(WineRegHive, KeysAppendedAfterACutValueCannotContinueIt) {
  const std::string cut = "WINE REGISTRY Version 2\n\n[A] 1\n\"v\"=\"1\"\n\"h\"=hex:01,02,\\";
  const std::string cuts[] = {cut,          cut + "\n",
                              cut + "\r\n", cut + std::string(3, '\0'),
                              cut + "x",    cut.substr(0, cut.size() - 4) + "\\ rest"};
  for (const std::string& text : cuts) {
    THive hive(text);
    const WineReg::TKeyContent* a = hive.Content(P({u"A"}));
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->Values.size(), 2u);
    EXPECT_EQ(a->Values[0].Data, (TRegData{kRegNone, ""}));
    hive.CreateKey(P({u"B"}));
    std::string written = hive.Compose("", kTime).Joined();
    EXPECT_NE(written.find("\"h\"=hex(0):\n"), std::string::npos) << written;
    THive reread(written);
    EXPECT_EQ(reread.Content(P({u"A"}))->Values[0].Data, (TRegData{kRegNone, ""}));
    EXPECT_TRUE(reread.Exists(P({u"B"})));
  }
  THive untouched(cut);  // nothing appended: the file stays as it is
  ASSERT_TRUE(untouched.SetValue(P({u"A"}), u"v", {kRegSz, std::string("2\0\0\0", 4)}));
  EXPECT_NE(untouched.Compose("", kTime).Joined().find("\"h\"=hex:01,02,\\"), std::string::npos);
}

}  // namespace
}  // namespace Platform::Posix

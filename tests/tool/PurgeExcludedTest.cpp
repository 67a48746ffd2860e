// The options file purge: which entry goes, and that the file keeps its encoding, its line
// breaks and every other byte (the c5 install cases of the corpus show it in a whole run).
#include "tool/PurgeExcluded.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/Console.h"
#include "tests/support/TestText.h"

namespace {

const char* const kFile = "purge-excluded-test.dof";

void Write(const std::string& bytes) {
  std::ofstream(kFile, std::ios::binary) << bytes;
}

std::string Read() {
  std::ifstream in(kFile, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::u16string Purge(std::u16string_view package) {
  std::u16string log;
  std::u16string* previous = Platform::CaptureStdOut(&log);
  PurgeExcluded(u"purge-excluded-test.dof", package);
  Platform::CaptureStdOut(previous);
  return log;
}

std::string Utf16Le(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii)
    bytes += c, bytes += '\0';
  return bytes;
}

std::string Utf16Be(const std::string& ascii) {
  std::string bytes = "\xFE\xFF";
  for (char c : ascii)
    bytes += '\0', bytes += c;
  return bytes;
}

TEST(PurgeExcluded, RemovesTheFirstEntryAndKeepsEveryOtherByte) {
  const struct {
    std::string Before;
    std::string After;
  } cases[] = {
      {"[Excluded Packages]\nother=1\nqor5cdt_c5=x\n\n[B]\n",
       "[Excluded Packages]\nother=1\n\n[B]\n"},
      {"[Excluded Packages]\r\nother\r\nqor5cdt_c5", "[Excluded Packages]\r\nother"},
      {"\xEF\xBB\xBF[Excluded Packages]\r\nqor5cdt_c5 caf\xC3\xA9\r\nnext\r\n",
       "\xEF\xBB\xBF[Excluded Packages]\r\nnext\r\n"},
      {"[Excluded Packages]\rqor5cdt_c5\rkept \xE9\r", "[Excluded Packages]\rkept \xE9\r"},
      {Utf16Le("[Excluded Packages]\r\nqor5cdt_c5\r\nnext\r\n"),
       Utf16Le("[Excluded Packages]\r\nnext\r\n")},
      {Utf16Be("[Excluded Packages]\nnext\nqor5cdt_c5\n"), Utf16Be("[Excluded Packages]\nnext\n")},
  };
  for (const auto& c : cases) {
    Write(c.Before);
    std::u16string log = Purge(u"qor5cdt_c5");
    EXPECT_EQ(Read(), c.After);
    EXPECT_NE(log.find(u"Item found and purged."), std::u16string::npos);
  }
  std::remove(kFile);
}

TEST(PurgeExcluded, LeavesTheFileAloneWithoutAMatchingEntry) {
  const std::string kept[] = {
      "[excluded packages]\r\nqor5cdt_c5\r\n",   // The header's letter case counts.
      "[Excluded Packages] \r\nqor5cdt_c5\r\n",  // So do trailing blanks.
      "[Excluded Packages]\r\nQOR5CDT_C5\r\n",   // And the entry's letter case.
  };
  for (const auto& bytes : kept) {
    Write(bytes);
    std::u16string log = Purge(u"qor5cdt_c5");
    EXPECT_EQ(Read(), bytes);
    EXPECT_EQ(log.find(u"Discovered entry."), std::u16string::npos);
  }
  Write("[Excluded Packages]\r\nqor5cdt_c5\r\n");
  EXPECT_EQ(Purge(u""), Purge(u"")) << "an empty name matches nothing";
  EXPECT_EQ(Read(), "[Excluded Packages]\r\nqor5cdt_c5\r\n");
  std::remove(kFile);
}

}  // namespace

// Paths in Windows form on both builds: full paths, short forms, and the file operations
// the installer relies on.
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/TextCodec.h"

namespace {

namespace fs = std::filesystem;

// A Windows-form path below the Unix /tmp (drive Z: on both builds).
std::u16string Tmp(std::u16string_view rest) {
  return u"Z:\\tmp\\" + std::u16string(rest);
}

fs::path Native(const std::u16string& windowsPath) {
#ifdef _WIN32
  // The long-path form, so that folders deeper than 260 characters can be made.
  return fs::path(std::wstring(L"\\\\?\\") + std::wstring(windowsPath.begin(), windowsPath.end()));
#else
  std::string unix = Platform::ToUtf8(windowsPath.substr(2));
  for (char& c : unix)
    if (c == '\\') c = '/';
  return fs::path(unix);
#endif
}

TEST(FullPathName, ResolvesDotsAndKeepsATrailingBackslash) {
  EXPECT_EQ(Platform::FullPathName(u"Z:\\a\\b\\..\\c"), u"Z:\\a\\c");
  EXPECT_EQ(Platform::FullPathName(u"Z:\\a\\.\\b\\"), u"Z:\\a\\b\\");
  EXPECT_EQ(Platform::FullPathName(u"Z:\\lib\\bin\\tool\\..\\.."), u"Z:\\lib");
  EXPECT_EQ(Platform::FullPathName(u"Z:\\a\\..\\.."), u"Z:\\");
}

// Removes a folder chain from the deepest level up (recursive removal gives up on very
// long paths under some runtimes).
void RemoveChain(std::vector<std::u16string> levels) {
  std::error_code ignored;
  for (auto it = levels.rbegin(); it != levels.rend(); ++it)
    fs::remove(Native(*it), ignored);
}

TEST(ShortPathName, ServesFormsLongerThanTheClassicBuffer) {
  std::vector<std::u16string> levels{Tmp(u"tessik-short-path-test")};
  for (int i = 0; i < 30; ++i)
    levels.push_back(levels.back() + u"\\long folder name number " + char16_t(u'a' + i % 26) +
                     char16_t(u'a' + i / 26));
  RemoveChain(levels);
  const std::u16string& deep = levels.back();
  ASSERT_GT(deep.size(), 700u);
  for (const auto& level : levels)
    fs::create_directory(Native(level));
  std::u16string shortForm = Platform::ShortPathName(deep);
  EXPECT_GT(shortForm.size(), 260u);
  EXPECT_TRUE(Platform::DirectoryExists(shortForm));
  EXPECT_EQ(Platform::ShortPathName(Tmp(u"tessik-no-such-folder")), u"");
  RemoveChain(levels);
}

TEST(FindFiles, MatchesWildcardsIgnoringCase) {
  std::u16string folder = Tmp(u"tessik-find-files-test");
  std::error_code ignored;
  fs::remove_all(Native(folder), ignored);
  fs::create_directories(Native(folder + u"\\sub.dcu"));
  // No "x.dcux": Windows also matches it through its invented 8.3 name, POSIX does not.
  for (const char* name : {"a.dcu", "B.DCU", "c.dc", "d.hpp"})
    std::ofstream(Native(folder) / name) << "x";
  std::vector<std::u16string> found = Platform::FindFiles(folder, u"*.dcu");
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::u16string>{u"B.DCU", u"a.dcu"}));
  EXPECT_TRUE(Platform::CopyFileReplacing(folder + u"\\a.dcu", folder + u"\\d.hpp"));
  EXPECT_FALSE(Platform::CopyFileReplacing(folder + u"\\a.dcu", folder + u"\\missing\\x.dcu"));
  EXPECT_TRUE(Platform::RemoveFile(folder + u"\\a.dcu"));
  EXPECT_FALSE(Platform::RemoveFile(folder + u"\\a.dcu"));
  fs::remove_all(Native(folder), ignored);
}

// Within a run's lookup cache, the run's own copies and removals show at once; what others
// do shows once the cache is gone.
TEST(FileLookupCache, SeesTheRunsOwnChanges) {
  std::u16string folder = Tmp(u"tessik-lookup-cache-test"), file = folder + u"\\Unit.dcu";
  std::error_code ignored;
  fs::remove_all(Native(folder), ignored);
  fs::create_directories(Native(folder));
  std::ofstream(Native(folder) / "source.dcu") << "x";
  {
    Platform::TFileLookupCache lookups;
    EXPECT_FALSE(Platform::FileExists(file));
    EXPECT_TRUE(Platform::CopyFileReplacing(folder + u"\\source.dcu", file));
    EXPECT_TRUE(Platform::FileExists(file));
    EXPECT_NE(Platform::ShortPathName(file), u"");
    EXPECT_TRUE(Platform::RemoveFile(file));
    EXPECT_FALSE(Platform::FileExists(file));
    EXPECT_EQ(Platform::ShortPathName(file), u"");
  }
  std::ofstream(Native(file)) << "x";
  EXPECT_TRUE(Platform::FileExists(file));
  fs::remove_all(Native(folder), ignored);
}

}  // namespace

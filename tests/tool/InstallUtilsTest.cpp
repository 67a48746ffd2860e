#include "tool/InstallUtils.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "tests/support/TestText.h"
#include "tool/InstallTypes.h"

namespace {

std::u16string ErrorOf(std::u16string_view code) {
  try {
    VersionIndex(code);
  } catch (const Exception& e) {
    return e.Message();
  }
  return u"(no error)";
}

TEST(VersionIndex, MapsBuilderCodesToTheirIde) {
  const struct {
    const char16_t* Code;
    int Index;
  } cases[] = {{u"c5", 0},     {u"C6", 1},    {u"d5", 2},     {u"D2007", 7}, {u"c2007", 7},
               {u"C2007", 7},  {u"cxe5", 14}, {u"c10_1", 19}, {u"d10", 18},  {u"dxe8", 17},
               {u"C10_2", 20}, {u"d11", 23},  {u"c12", 24},   {u"c13", 25}};
  for (const auto& c : cases)
    EXPECT_EQ(VersionIndex(c.Code), c.Index) << Platform::ToUtf8(c.Code);
  EXPECT_EQ(ErrorOf(u"c2099"), u"Invalid version: d2099");
  EXPECT_EQ(ErrorOf(u"dxe"), u"Invalid version: dxe");
  EXPECT_EQ(ErrorOf(u""), u"Invalid version: ");
}

TEST(VersionDisplayName, NamesEveryTableCode) {
  EXPECT_EQ(VersionDisplayName(u"dxe"), u"RAD Studio XE");  // an alias of d2011
  EXPECT_EQ(VersionDisplayName(u"d2008"), u"Unrecognized version: d2008");
  EXPECT_EQ(VersionDisplayName(u"D7"), u"Delphi 7");  // Only the exact codes are compared as text.
  EXPECT_THROW(VersionDisplayName(u"dx"), EConvertError);
  for (const auto& entry : kVersionTable)
    EXPECT_EQ(VersionDisplayName(entry.VerName).find(u"Unrecognized"), std::u16string::npos);
}

TEST(LibraryKey, FollowsTheVersionThresholds) {
  const struct {
    int Index;
    char16_t Personality;
    const char16_t* Platform;
    const char16_t* Key;
  } cases[] = {
      {7, u'c', u"", u"Software\\Borland\\BDS\\5.0\\CppPaths"},
      {7, u'd', u"", u"Software\\Borland\\BDS\\5.0\\Library"},
      {11, u'd', u"", u"Software\\Embarcadero\\BDS\\9.0\\Library\\$(Platform)"},
      {11, u'd', u"Win64", u"Software\\Embarcadero\\BDS\\9.0\\Library\\Win64"},
      {9, u'c', u"Win32", u"Software\\CodeGear\\BDS\\7.0\\C++\\Paths"},
      {18, u'c', u"Win32", u"Software\\Embarcadero\\BDS\\17.0\\C++\\Paths\\Win32"},
      {16, u'c', u"Win64", u"Software\\Embarcadero\\BDS\\15.0\\C++\\Paths\\Win64"},
      {0, u'c', u"Win32", u"Software\\Borland\\C++Builder\\5.0\\Library"},
      {4, u' ', u"Win32", u"Software\\Borland\\Delphi\\7.0\\Library"},
      {14, u' ', u"Win32", u"Software\\Embarcadero\\BDS\\12.0\\Library\\Win32"},
      {19, u'c', u"Win64", u"Software\\Embarcadero\\BDS\\18.0\\C++\\Paths\\Win64"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LibraryKey(c.Index, c.Personality, c.Platform), c.Key) << c.Index;
  // The later versions follow 10.1 Berlin, whatever their codes look like.
  for (int index = 19; index < kVersionCount; ++index) {
    std::u16string root(kVersionTable[size_t(index)].RootKey);
    EXPECT_EQ(LibraryKey(index, u'c', u"Win64"), root + u"\\C++\\Paths\\Win64") << index;
    EXPECT_EQ(LibraryKey(index, u'd', u""), root + u"\\Library\\$(Platform)") << index;
    EXPECT_EQ(LibraryKey(index, u' ', u"Win32"), root + u"\\Library\\Win32") << index;
  }
}

TEST(PathValueNames, DependOnIndexAndPersonality) {
  EXPECT_EQ(SearchPathName(1, u'c'), u"Search Path");
  EXPECT_EQ(SearchPathName(7, u'c'), u"SearchPath");
  EXPECT_EQ(SearchPathName(12, u'c'), u"LibraryPath");
  EXPECT_EQ(SearchPathName(12, u'd'), u"Search Path");
  EXPECT_EQ(IncludePathName(1, u'c'), u"");
  EXPECT_EQ(IncludePathName(12, u'd'), u"");
  EXPECT_EQ(IncludePathName(12, u'c'), u"IncludePath");
  EXPECT_EQ(DebugDCUPathName(4, u'd'), u"");
  EXPECT_EQ(DebugDCUPathName(5, u'd'), u"Debug DCU Path");
  EXPECT_EQ(DebugDCUPathName(5, u'c'), u"");
  EXPECT_EQ(BrowsingPathName(7, u'c'), u"Browsing Path");
  EXPECT_EQ(BrowsingPathName(8, u'c'), u"BrowsingPath");
  EXPECT_EQ(BrowsingPathName(1, u'c'), u"Browsing Path");
  EXPECT_EQ(BrowsingPathName(8, u'd'), u"Browsing Path");
  EXPECT_EQ(PackageSearchPathName(), u"Package Search Path");
  const int last = kVersionCount - 1;
  EXPECT_EQ(SearchPathName(last, u'c'), u"LibraryPath");
  EXPECT_EQ(SearchPathName(last, u'd'), u"Search Path");
  EXPECT_EQ(IncludePathName(last, u'c'), u"IncludePath");
  EXPECT_EQ(BrowsingPathName(last, u'c'), u"BrowsingPath");
  EXPECT_EQ(DebugDCUPathName(last, u'd'), u"Debug DCU Path");
  EXPECT_EQ(EnvVarName(last), u"qor5");
}

TEST(PackageTables, DescriptionsAndEnvironmentVariables) {
  EXPECT_EQ(PackageDescription(u"svcrt"), u"Unknown Package Description for: svcrt");
  EXPECT_EQ(EnvVarKey(2), u"HKCU\\Environment");
  EXPECT_EQ(EnvVarName(2), u"qor5_d5");
  EXPECT_EQ(EnvVarName(7), u"qor5");
}

TEST(NormalizeDirName, RemovesQuotesBlanksAndOneBackslash) {
  EXPECT_EQ(NormalizeDirName(u"\"C:\\Program Files\\D7\\\""), u"C:\\Program Files\\D7");
  EXPECT_EQ(NormalizeDirName(u"C:\\D7\\\\  "), u"C:\\D7\\");
  EXPECT_EQ(NormalizeDirName(u""), u"");
}

TEST(LibraryLayout, FoldersBelowTheLibraryRoot) {
  QORDir = u"C:\\Lib";
  DelphiVersions[7].LibConfig = u"Release";
  EXPECT_EQ(LibraryFolder(7, u"Win32", u""), u"C:\\Lib\\lib\\d2007\\Win32\\Release");
  EXPECT_EQ(LibraryFolder(7, u"Win64", u"Debug"), u"C:\\Lib\\lib\\d2007\\Win64\\Debug");
  DelphiVersions[7].LibConfig.clear();
  EXPECT_EQ(LibraryFolder(7, u"Win32", u""), u"C:\\Lib\\lib\\d2007\\Win32\\");
  TStringList list;
  list.Add(u"kept");
  AddSourceFolders(list, u"C:\\Lib\\");
  ASSERT_EQ(list.Count(), 16);
  EXPECT_EQ(list[0], u"kept");
  EXPECT_EQ(list[1], u"C:\\Lib\\source\\common");
  EXPECT_EQ(list[7], u"C:\\Lib\\source\\visual\\delphi");
  EXPECT_EQ(list[15], u"C:\\Lib\\source\\xlsqlrep");
}

}  // namespace

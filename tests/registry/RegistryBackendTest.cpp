// One suite for both backends: natively it runs on a temporary prefix, built for Windows it
// runs under Wine against Wine's real registry. Both must give the same answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/Registry.h"
#include "tests/support/RegTestData.h"
#include "tests/support/TestRegistry.h"

using namespace Platform;

namespace {

class RegistryBackend : public ::testing::Test {
 protected:
  std::unique_ptr<TRegKey> Create(std::u16string_view relative,
                                  TRegRoot root = TRegRoot::CurrentUser) {
    auto key = CreateRegKey(root, reg_.Path(relative));
    EXPECT_NE(key, nullptr) << "cannot create the test key";
    return key;
  }
  std::unique_ptr<TRegKey> Open(std::u16string_view relative,
                                TRegRoot root = TRegRoot::CurrentUser) {
    return OpenRegKey(root, reg_.Path(relative));
  }

  TTestRegistry reg_;
};

TEST_F(RegistryBackend, EveryTypeComesBackUnchanged) {
  const TRegData values[] = {
      Sz(u"plain"),
      Sz(u""),
      {kRegExpandSz, Utf16(u"%SystemRoot%\\x")},
      {kRegMultiSz, Utf16(std::u16string(u"a\0b\0", 4))},
      {kRegDword, std::string("\xff\xff\xff\xff", 4)},
      {kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"},
      {kRegBinary, std::string("\x00\x01\xfe\xff", 4)},
      {kRegBinary, std::string(300, '\x5a')},
      {kRegNone, ""},
      {kRegNone, "\x01"},
      {0x12345678, "\x01\x02"},
      {kRegSz, Utf16(u"no terminator", false)},
      {kRegSz, "odd"},
      {kRegDword, "\x01\x02"},
      {kRegSz, Utf16(u"quote\" backslash\\ tab\t newline\n bell\a \xe9\x4e2d\xd83d\xde00 \x7f")},
  };
  auto key = Create(u"Types");
  ASSERT_NE(key, nullptr);
  for (size_t i = 0; i < std::size(values); ++i)
    ASSERT_TRUE(key->SetValue(u"v" + std::u16string(1, char16_t(u'a' + i)), values[i]));
  CommitRegistry();
  auto again = Open(u"Types");
  ASSERT_NE(again, nullptr);
  for (size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(again->QueryValue(u"v" + std::u16string(1, char16_t(u'a' + i))), values[i])
        << "value " << i;
}

TEST_F(RegistryBackend, NamesIgnoreCaseAndKeepIt) {
  auto key = Create(u"MixedCase\\Sub");
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(key->SetValue(u"ValueName", Sz(u"1")));
  ASSERT_TRUE(key->SetValue(u"VALUENAME", Sz(u"2")));
  ASSERT_TRUE(key->SetValue(u"\xc9t\xe9", Sz(u"3")));
  ASSERT_TRUE(key->SetValue(u"\xe9T\xc9", Sz(u"4")));
  ASSERT_NE(CreateRegKey(TRegRoot::CurrentUser, reg_.Path(u"MIXEDCASE\\sub")), nullptr);
  CommitRegistry();
  auto upper = OpenRegKey(TRegRoot::CurrentUser, reg_.Path(u"mixedcase\\SUB"));
  ASSERT_NE(upper, nullptr);
  EXPECT_EQ(upper->ValueNames(), (std::vector<std::u16string>{u"ValueName", u"\xc9t\xe9"}));
  EXPECT_EQ(upper->QueryValue(u"valuename"), Sz(u"2"));
  EXPECT_EQ(upper->QueryValue(u"\xc9T\xc9"), Sz(u"4"));
  auto parent = Open(u"MIXEDCASE");
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(parent->SubKeyNames(), std::vector<std::u16string>{u"Sub"});
}

TEST_F(RegistryBackend, EnumerationIsSortedAsWineKeepsIt) {
  std::vector<std::u16string> names = {u"b",     u"_",  u"A",   u"[",  u"z",    u"^",
                                       u"~",     u"a1", u"a10", u"a2", u"\xe9", u"\xdf",
                                       u"\x131", u"{",  u"`",   u"",   u"B2",   u"ab"};
  std::shuffle(names.begin(), names.end(), std::mt19937(7));
  auto key = Create(u"Order");
  ASSERT_NE(key, nullptr);
  for (const auto& name : names) {
    ASSERT_TRUE(key->SetValue(name, Sz(name)));
    if (!name.empty()) {
      ASSERT_NE(Create(u"Order\\" + name), nullptr);
    }
  }
  CommitRegistry();
  std::vector<std::u16string> expected = {u"",   u"[",   u"^",  u"_",    u"`",    u"A",
                                          u"a1", u"a10", u"a2", u"ab",   u"b",    u"B2",
                                          u"z",  u"{",   u"~",  u"\xdf", u"\xe9", u"\x131"};
  EXPECT_EQ(Open(u"Order")->ValueNames(), expected);
  expected.erase(expected.begin());
  EXPECT_EQ(Open(u"Order")->SubKeyNames(), expected);
}

TEST_F(RegistryBackend, KeyPathsFollowTheWindowsRules) {
  ASSERT_NE(Create(u"Rules\\A"), nullptr);
  EXPECT_NE(Open(u"Rules\\A\\"), nullptr);
  EXPECT_NE(OpenRegKey(TRegRoot::CurrentUser, reg_.Path(u"\\Rules\\\\A\\\\")), nullptr);
  EXPECT_EQ(OpenRegKey(TRegRoot::CurrentUser, u"\\" + reg_.Path(u"Rules")), nullptr);
  EXPECT_EQ(CreateRegKey(TRegRoot::CurrentUser, u"\\" + reg_.Path(u"Rules\\B")), nullptr);
  EXPECT_NE(Open(std::u16string(u"Rules\0Ignored", 13)), nullptr);  // a NUL ends the path
  EXPECT_NE(Create(u"Rules\\" + std::u16string(255, u'k')), nullptr);
  CommitRegistry();
  auto rules = Open(u"Rules");
  ASSERT_NE(rules, nullptr);
  EXPECT_EQ(rules->SubKeyNames(), (std::vector<std::u16string>{u"A", std::u16string(255, u'k')}));
  EXPECT_EQ(Open(u"Rules\\" + std::u16string(256, u'k')), nullptr);
  EXPECT_NE(OpenRegKey(TRegRoot::CurrentUser, u""), nullptr);  // the root itself
}

TEST_F(RegistryBackend, ValueNamesFollowTheWindowsRules) {
  auto key = Create(u"ValueRules");
  ASSERT_NE(key, nullptr);
  EXPECT_TRUE(key->SetValue(std::u16string(16383, u'v'), Sz(u"long")));
  EXPECT_FALSE(key->SetValue(std::u16string(16384, u'w'), Sz(u"too long")));
  EXPECT_TRUE(key->SetValue(std::u16string(u"ab\0cd", 5), Sz(u"cut")));
  EXPECT_TRUE(key->SetValue(u"", Sz(u"default")));
  CommitRegistry();
  auto again = Open(u"ValueRules");
  EXPECT_EQ(again->ValueNames(),
            (std::vector<std::u16string>{u"", u"ab", std::u16string(16383, u'v')}));
  EXPECT_EQ(again->QueryValue(u"ab"), Sz(u"cut"));
  EXPECT_EQ(again->QueryValue(u"missing"), std::nullopt);
}

TEST_F(RegistryBackend, DeletesKeysAndValues) {
  auto key = Create(u"Del\\Child");
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(key->SetValue(u"v", Sz(u"x")));
  ASSERT_TRUE(Create(u"Del")->SetValue(u"w", Sz(u"y")));
  EXPECT_EQ(DeleteRegKeyOnly(TRegRoot::CurrentUser, reg_.Path(u"Del")), TRegResult::AccessDenied);
  EXPECT_EQ(DeleteRegKeyOnly(TRegRoot::CurrentUser, reg_.Path(u"Nothing")), TRegResult::NotFound);
  EXPECT_EQ(DeleteRegKeyOnly(TRegRoot::CurrentUser, u""), TRegResult::AccessDenied);
  EXPECT_EQ(key->DeleteValue(u"V"), TRegResult::Ok);
  EXPECT_EQ(key->DeleteValue(u"v"), TRegResult::NotFound);
  EXPECT_EQ(DeleteRegKeyOnly(TRegRoot::CurrentUser, reg_.Path(u"DEL\\child")), TRegResult::Ok);
  CommitRegistry();
  EXPECT_EQ(Open(u"Del\\Child"), nullptr);
  auto parent = Open(u"Del");
  ASSERT_NE(parent, nullptr);  // deleting a subkey keeps its parent
  EXPECT_TRUE(parent->SubKeyNames().empty());
  EXPECT_EQ(parent->QueryValue(u"w"), Sz(u"y"));
  EXPECT_EQ(DeleteRegKeyOnly(TRegRoot::CurrentUser, reg_.Path(u"Del")), TRegResult::Ok);
  CommitRegistry();
  EXPECT_EQ(Open(u"Del"), nullptr);
}

TEST_F(RegistryBackend, DeletesWholeTreesDeepOnesIncluded) {
  std::u16string chain = u"Tree\\B";  // 505 levels with the test's own three
  for (int i = 0; i < 500; ++i)
    chain += u"\\d";
  ASSERT_NE(Create(chain), nullptr);
  ASSERT_TRUE(Create(chain)->SetValue(u"deepest", Sz(u"x")));
  ASSERT_TRUE(Create(u"Tree\\A\\x")->SetValue(u"v", Sz(u"1")));
  ASSERT_TRUE(Create(u"Tree")->SetValue(u"w", Sz(u"2")));
  ASSERT_NE(Create(u"Kept"), nullptr);
  CommitRegistry();
  EXPECT_EQ(DeleteRegTree(TRegRoot::CurrentUser, reg_.Path(u"Tree\\Missing")),
            TRegResult::NotFound);
  EXPECT_EQ(DeleteRegTree(TRegRoot::CurrentUser, u""), TRegResult::AccessDenied);
  EXPECT_EQ(DeleteRegTree(TRegRoot::CurrentUser, reg_.Path(u"TREE\\b\\d")), TRegResult::Ok);
  EXPECT_NE(Open(u"Tree\\B"), nullptr);
  EXPECT_EQ(DeleteRegTree(TRegRoot::CurrentUser, reg_.Path(u"TREE")), TRegResult::Ok);
  CommitRegistry();
  EXPECT_EQ(Open(u"Tree"), nullptr);
  EXPECT_EQ(OpenRegKey(TRegRoot::CurrentUser, reg_.Base())->SubKeyNames(),
            (std::vector<std::u16string>{u"Kept"}));
}

#ifndef _WIN32
// Windows keeps trees to 512 levels; Wine does not check, the emulated registry does.
TEST_F(RegistryBackend, KeysDeeperThanWindowsAllowsAreRefused) {
  std::u16string path = reg_.Base();  // three levels
  for (int i = 3; i < 512; ++i)
    path += u"\\d";
  EXPECT_NE(CreateRegKey(TRegRoot::CurrentUser, path), nullptr);
  EXPECT_EQ(CreateRegKey(TRegRoot::CurrentUser, path + u"\\d"), nullptr);
  EXPECT_EQ(OpenRegKey(TRegRoot::CurrentUser, path + u"\\d"), nullptr);
  EXPECT_NE(OpenRegKey(TRegRoot::CurrentUser, path + u"\\"), nullptr);  // not a level
}
#endif

TEST_F(RegistryBackend, AKeyCreatedAgainAfterADeleteIsEmpty) {
  ASSERT_TRUE(Create(u"Again")->SetValue(u"old", Sz(u"x")));
  CommitRegistry();
  ASSERT_EQ(DeleteRegKeyOnly(TRegRoot::CurrentUser, reg_.Path(u"Again")), TRegResult::Ok);
  auto key = Create(u"AGAIN");
  ASSERT_NE(key, nullptr);
  EXPECT_TRUE(key->ValueNames().empty());
  CommitRegistry();
  EXPECT_TRUE(Open(u"again")->ValueNames().empty());
}

TEST_F(RegistryBackend, LocalMachineSoftwareIsThe32BitView) {
  auto key = Create(u"View", TRegRoot::LocalMachine);
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(key->SetValue(u"v", Sz(u"32")));
  CommitRegistry();
  // The base is Software\TessikTest\...: the same key through its Wow6432Node name.
  std::u16string wow = u"Software\\Wow6432Node" + reg_.Path(u"View").substr(8);
  auto same = OpenRegKey(TRegRoot::LocalMachine, wow);
  ASSERT_NE(same, nullptr);
  EXPECT_EQ(same->QueryValue(u"v"), Sz(u"32"));
  // The current user's keys are not redirected.
  ASSERT_NE(Create(u"View"), nullptr);
  EXPECT_EQ(OpenRegKey(TRegRoot::CurrentUser, wow), nullptr);
}

TEST_F(RegistryBackend, CommitWithoutChangesDoesNothing) {
  CommitRegistry();
  CommitRegistry();
  EXPECT_EQ(Open(u"Nothing"), nullptr);
}

}  // namespace

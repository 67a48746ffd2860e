// The registry operations on the real backend: a temporary prefix natively, Wine's registry
// when built for Windows.
#include "tool/RegOp.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/TestText.h"

using Platform::TRegData;
using Platform::TRegRoot;

namespace {

TRegData Text(uint32_t type, std::u16string_view text) {
  return TRegData{type, Platform::Utf16Bytes(text) + std::string(2, '\0')};
}

TRegData Raw(uint32_t type, std::string bytes) {
  return TRegData{type, std::move(bytes)};
}

class RegOpTest : public testing::Test {
 protected:
  // Stores a value exactly as given, below the test's key under HKCU.
  void Seed(std::u16string_view sub, std::u16string_view name, const TRegData& data) {
    auto key = Platform::CreateRegKey(TRegRoot::CurrentUser, registry_.Path(sub));
    ASSERT_TRUE(key && key->SetValue(name, data));
  }
  std::optional<TRegData> Stored(std::u16string_view sub, std::u16string_view name) {
    auto key = Platform::OpenRegKey(TRegRoot::CurrentUser, registry_.Path(sub));
    return key ? key->QueryValue(name) : std::nullopt;
  }
  std::u16string Key(std::u16string_view sub) { return u"HKCU\\" + registry_.Path(sub); }

  template <typename TCall>
  std::u16string ErrorOf(TCall call) {
    try {
      call();
    } catch (const Exception& e) {
      return std::u16string(e.KindName()) + u": " + e.Message();
    }
    return u"(no error)";
  }

  TTestRegistry registry_;
};

TEST(ParseRootKey, RemovesOnePrefixOfEachRoot) {
  const struct {
    const char16_t* Path;
    TRegRoot Root;
    const char16_t* Rest;
  } cases[] = {
      {u"HKLM\\Software\\X", TRegRoot::LocalMachine, u"Software\\X"},
      {u"HKEY_LOCAL_MACHINE\\Software", TRegRoot::LocalMachine, u"Software"},
      {u"HKEY_CURRENT_USER\\Environment", TRegRoot::CurrentUser, u"Environment"},
      {u"HKCU\\Environment", TRegRoot::CurrentUser, u"Environment"},
      {u"HKCUEnvironment", TRegRoot::CurrentUser, u"Environment"},
      {u"Environment", TRegRoot::CurrentUser, u"Environment"},
      {u"hklm\\Software", TRegRoot::CurrentUser, u"hklm\\Software"},
      {u"HKCU\\HKLM\\X", TRegRoot::LocalMachine, u"X"},
      {u"HKCR\\X", TRegRoot::CurrentUser, u"HKCR\\X"},
      {u"HKLM", TRegRoot::LocalMachine, u""},
  };
  for (const auto& c : cases) {
    std::u16string path = c.Path;
    EXPECT_EQ(ParseRootKey(path), c.Root) << Platform::ToUtf8(c.Path);
    EXPECT_EQ(path, c.Rest);
  }
}

TEST_F(RegOpTest, ReadsEachTypeInItsTextForm) {
  Seed(u"R", u"Paths", Text(Platform::kRegSz, u"C:\\A;C:\\B"));
  Seed(u"R", u"All", Raw(Platform::kRegDword, std::string(4, '\xFF')));
  Seed(u"R", u"Empty", Text(Platform::kRegSz, u""));
  Seed(u"R", u"Quoted", Text(Platform::kRegSz, u"\"q\""));
  Seed(u"R", u"Expand", Text(Platform::kRegExpandSz, u"%TEMP%\\x"));
  Seed(u"R", u"Nul", Raw(Platform::kRegSz, std::string("a\0\0\0b\0\0\0", 8)));
  Seed(u"R", u"None", Raw(Platform::kRegNone, ""));
  Seed(u"R", u"Bin", Raw(Platform::kRegBinary, "\x01\x02"));
  Seed(u"R", u"Wide", Raw(Platform::kRegDword, std::string(8, '\x01')));
  const struct {
    const char16_t* Name;
    bool Present;
    const char16_t* Data;
    const char16_t* Type;
  } cases[] = {
      {u"Paths", true, u"\"C:\\A;C:\\B\"", u"REG_SZ"},
      {u"All", true, u"-1", u"REG_DWORD"},
      {u"Empty", true, u"\"\"", u"REG_SZ"},
      {u"Quoted", true, u"\"q\"", u"REG_SZ"},
      {u"Expand", true, u"\"%TEMP%\\x\"", u"REG_EXPAND_SZ"},
      {u"Nul", true, u"\"a\"", u"REG_SZ"},
      {u"None", false, u"", u"REG_NONE"},
      {u"Missing", false, u"", u""},
  };
  for (const auto& c : cases) {
    std::u16string data, type;
    EXPECT_EQ(ReadRegValue(Key(u"R"), c.Name, data, type), c.Present) << Platform::ToUtf8(c.Name);
    EXPECT_EQ(data, c.Data);
    EXPECT_EQ(type, c.Type);
  }
  std::u16string data, type;
  EXPECT_EQ(ErrorOf([&] { ReadRegValue(Key(u"R"), u"Bin", data, type); }),
            u"ERegistryException: Invalid data type for 'Bin'");
  EXPECT_EQ(ErrorOf([&] { ReadRegValue(Key(u"R"), u"Wide", data, type); }),
            u"ERegistryException: Failed to get data for 'Wide'");
  EXPECT_FALSE(ReadRegValue(Key(u"NoSuchKey"), u"x", data, type));
}

TEST_F(RegOpTest, WriteKeepsOrChecksTheType) {
  Seed(u"W", u"Expand", Text(Platform::kRegExpandSz, u"old"));
  Seed(u"W", u"Dword", Raw(Platform::kRegDword, std::string(4, '\0')));
  Seed(u"W", u"Bin", Raw(Platform::kRegBinary, "\x01"));
  Seed(u"W", u"Qword", Raw(Platform::kRegQword, std::string(8, '\0')));
  EXPECT_TRUE(WriteRegValue(Key(u"W"), u"Expand", u"new", u""));
  EXPECT_EQ(Stored(u"W", u"Expand"), Text(Platform::kRegExpandSz, u"new"));
  EXPECT_TRUE(WriteRegValue(Key(u"W"), u"Dword", u"12", u""));
  EXPECT_EQ(Stored(u"W", u"Dword"), Raw(Platform::kRegDword, std::string("\x0C\0\0\0", 4)));
  EXPECT_TRUE(WriteRegValue(Key(u"W"), u"Fresh", u"x", u""));
  EXPECT_EQ(Stored(u"W", u"Fresh"), Text(Platform::kRegSz, u"x"));
  EXPECT_TRUE(WriteRegValue(Key(u"W"), u"D", u"12", u"DWORD"));
  EXPECT_EQ(Stored(u"W", u"D"), Raw(Platform::kRegDword, std::string("\x0C\0\0\0", 4)));
  const struct {
    const char16_t* Name;
    const char16_t* Type;
    const char16_t* Error;
  } failures[] = {
      {u"Bin", u"", u"Exception: Unsupported registry entry data type"},
      {u"Qword", u"", u"Exception: Unknown registry entry data type: Unknown: 11"},
      {u"X", u"REG_MULTI_SZ", u"Exception: Unsupported registry entry data type"},
      {u"Dword", u"", u"EConvertError: 'x' is not a valid integer value"},
  };
  for (const auto& f : failures)
    EXPECT_EQ(ErrorOf([&] { WriteRegValue(Key(u"W"), f.Name, u"x", f.Type); }), f.Error)
        << Platform::ToUtf8(f.Name);
  EXPECT_EQ(Stored(u"W", u"Bin"), Raw(Platform::kRegBinary, "\x01"));
}

TEST_F(RegOpTest, ARefusedWriteCreatesNoKey) {
  const struct {
    std::u16string Name;
    const char16_t* Type;
    const char16_t* Data;
  } refused[] = {
      {u"N", u"REG_DWORD", u"12x"},
      {u"N", u"QWORD", u"1"},
      {std::u16string(16384, u'n'), u"", u"x"},
  };
  for (const auto& r : refused) {
    EXPECT_NE(ErrorOf([&] { WriteRegValue(Key(u"New\\Sub"), r.Name, r.Data, r.Type); }), u"");
    Platform::CommitRegistry();
    EXPECT_EQ(Platform::OpenRegKey(TRegRoot::CurrentUser, registry_.Path(u"New")), nullptr)
        << Platform::ToUtf8(r.Type);
  }
  // A name of 16,383 characters, and a longer one that a NUL cuts to that, are taken.
  std::u16string longest(16383, u'n');
  EXPECT_TRUE(WriteRegValue(Key(u"New"), longest + u'\0' + u"cut", u"x", u""));
  EXPECT_EQ(Stored(u"New", longest), Text(Platform::kRegSz, u"x"));
}

// Reading a key, changing the list and writing it back keeps every value it did not change.
TEST_F(RegOpTest, ReadChangeRewriteKeepsWhatItDidNotChange) {
  const std::pair<const char16_t*, TRegData> kept[] = {
      {u"C:\\Pkg=1\\a.bpl", Text(Platform::kRegSz, u"Has an equals sign")},
      {u"Quoted", Text(Platform::kRegSz, u"\"enclosed\"")},
      {u"Count", Raw(Platform::kRegDword, std::string("\x07\0\0\0", 4))},
      {u"Expand", Text(Platform::kRegExpandSz, u"%TEMP%")},
      {u"Blob", Raw(Platform::kRegBinary, std::string("\x00\x01", 2))},
      {u"O'Brien", Text(Platform::kRegSz, u"apostrophe")},
  };
  for (const auto& [name, data] : kept)
    Seed(u"K", name, data);
  Seed(u"K", u"Gone", Text(Platform::kRegSz, u"removed"));
  Seed(u"K", u"Changed", Raw(Platform::kRegDword, std::string(4, '\0')));
  Seed(u"K\\Sub", u"Child", Text(Platform::kRegSz, u"stays"));
  TStringList lines;
  // The binary value has no text form, so this key cannot be listed: list without it.
  Platform::CreateRegKey(TRegRoot::CurrentUser, registry_.Path(u"K"))->DeleteValue(u"Blob");
  ASSERT_TRUE(ReadRegValues(Key(u"K"), lines));
  Seed(u"K", u"Blob", Raw(Platform::kRegBinary, std::string("\x00\x01", 2)));
  TStringList changed;
  for (const auto& line : lines.Items())
    if (line.rfind(u"Gone=", 0) != 0 && line.rfind(u"Changed=", 0) != 0) changed.Add(line);
  changed.Add(u"Changed=5");
  changed.Add(u"\"C:\\New=2\\b.bpl\"=\"New package\"");
  ASSERT_TRUE(WriteRegValues(Key(u"K"), changed));
  for (const auto& [name, data] : kept)
    EXPECT_EQ(Stored(u"K", name), data) << Platform::ToUtf8(name);
  EXPECT_FALSE(Stored(u"K", u"Gone"));
  EXPECT_EQ(Stored(u"K", u"Changed"), Text(Platform::kRegSz, u"5"));
  EXPECT_EQ(Stored(u"K", u"C:\\New=2\\b.bpl"), Text(Platform::kRegSz, u"New package"));
  EXPECT_EQ(Stored(u"K\\Sub", u"Child"), Text(Platform::kRegSz, u"stays"));
}

TEST_F(RegOpTest, ForEachRegValueGivesWhatReadRegValueGives) {
  Seed(u"K", u"Name", Text(Platform::kRegSz, u"text"));
  Seed(u"K", u"Count", Raw(Platform::kRegDword, std::string("\x07\0\0\0", 4)));
  Seed(u"K", u"Nothing", Raw(Platform::kRegNone, ""));
  Seed(u"K", u"", Text(Platform::kRegExpandSz, u"%TEMP%"));
  TStringList names;
  ASSERT_TRUE(GetRegValueNames(Key(u"K"), names));
  std::vector<std::u16string> visited, expected;
  ASSERT_TRUE(
      ForEachRegValue(Key(u"K"), [&](const std::u16string& name, const std::u16string& data) {
        visited.push_back(name + u"=" + data);
      }));
  std::u16string data, typeName;
  for (const auto& name : names.Items()) {
    ReadRegValue(Key(u"K"), name, data, typeName);
    expected.push_back(name + u"=" + data);
  }
  EXPECT_EQ(visited, expected);
  EXPECT_EQ(visited.size(), 4u);
  EXPECT_TRUE(RegKeyExists(Key(u"K")));
  EXPECT_FALSE(RegKeyExists(Key(u"Missing")));
  EXPECT_FALSE(ForEachRegValue(Key(u"Missing"), [](const auto&, const auto&) { FAIL(); }));
  // A value without a text form fails the walk where it comes, as reading it would.
  Seed(u"B", u"Blob", Raw(Platform::kRegBinary, std::string("\x00\x01", 2)));
  EXPECT_THROW(ForEachRegValue(Key(u"B"), [](const auto&, const auto&) {}), ERegistryException);
}

TEST_F(RegOpTest, WriteRegValuesSplitsAtTheFirstEqualsOutsideQuotes) {
  TStringList lines;
  lines.Add(u"a=\"x=y\"");
  lines.Add(u"b=2");
  lines.Add(u"no equals sign");
  ASSERT_TRUE(WriteRegValues(Key(u"S"), lines));
  EXPECT_EQ(Stored(u"S", u"a"), Text(Platform::kRegSz, u"x=y"));
  EXPECT_EQ(Stored(u"S", u"b"), Text(Platform::kRegSz, u"2"));
  EXPECT_EQ(Stored(u"S", u""), Text(Platform::kRegSz, u"no equals sign"));
}

TEST_F(RegOpTest, DeleteRegKeyRemovesTheTree) {
  Seed(u"T\\A\\B", u"v", Text(Platform::kRegSz, u"1"));
  Seed(u"T\\C", u"v", Text(Platform::kRegSz, u"1"));
  EXPECT_TRUE(DeleteRegKey(Key(u"T")));
  EXPECT_FALSE(Platform::OpenRegKey(TRegRoot::CurrentUser, registry_.Path(u"T")));
  EXPECT_FALSE(DeleteRegKey(Key(u"T")));
}

TEST_F(RegOpTest, DeleteRegValueCreatesAMissingKey) {
  EXPECT_TRUE(DeleteRegValue(Key(u"New"), u"x"));
  EXPECT_TRUE(Platform::OpenRegKey(TRegRoot::CurrentUser, registry_.Path(u"New")));
}

TEST_F(RegOpTest, AppendRegPathEntriesKeepsTheTypeAndDuplicates) {
  AppendRegPathList(Key(u"P"), u"Fresh", u"C:\\A; C:\\B");
  EXPECT_EQ(Stored(u"P", u"Fresh"), Text(Platform::kRegSz, u"C:\\A;C:\\B"));
  Seed(u"P", u"Path", Text(Platform::kRegExpandSz, u"C:\\A;C:\\X"));
  AppendRegPathList(Key(u"P"), u"Path", u"C:\\X");
  EXPECT_EQ(Stored(u"P", u"Path"), Text(Platform::kRegExpandSz, u"C:\\A;C:\\X;C:\\X"));
  AppendRegPathList(Key(u"P"), u"", u"ignored");
  EXPECT_FALSE(Stored(u"P", u""));
}

TEST_F(RegOpTest, ValueNamesInEnumerationOrder) {
  Seed(u"N", u"b", Text(Platform::kRegSz, u"1"));
  Seed(u"N", u"A", Text(Platform::kRegSz, u"2"));
  Seed(u"N", u"c", Text(Platform::kRegSz, u"3"));
  TStringList names;
  names.Add(u"stale");
  ASSERT_TRUE(GetRegValueNames(Key(u"N"), names));
  EXPECT_EQ(names.Items(), Texts({u"A", u"b", u"c"}));
  TStringList untouched;
  untouched.Add(u"kept");
  EXPECT_FALSE(GetRegValueNames(Key(u"Missing"), untouched));
  EXPECT_EQ(untouched.Items(), Texts({u"kept"}));
}

}  // namespace

// Real Wine is the reference: what the backend writes, Wine reads (wine reg export), what
// Wine writes (wine reg add, wine reg import), the backend reads, and Wine still starts on a
// prefix the backend changed. With a Windows build at hand, the driver's answers under Wine
// and natively must be the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "platform/posix/RegistryPrefix.h"
#include "platform/posix/WineRegText.h"
#include "tests/registry/RegTestData.h"
#include "tests/registry/WinePrefix.h"

using namespace Platform;

namespace {

// A Unix path as Wine's Z: drive shows it.
std::string WindowsPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return "Z:" + path;
}

using TValues = std::map<std::u16string, TRegData>;

// The values that "wine reg export" wrote (UTF-16 with a byte-order mark).
TValues ReadExport(const std::string& bytes) {
  std::u16string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2)
    text.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
  std::string utf8 = ToUtf8(text);
  TValues values;
  WineReg::TLineReader reader(utf8);
  for (std::string_view line; reader.Next(line);) {
    WineReg::TValueLine value;
    if (!line.empty() && (line[0] == '"' || line[0] == '@') &&
        WineReg::ReadValue(line, reader, &value))
      values[value.Name] = value.Data;
  }
  return values;
}

TValues ReadBackend(TRegRoot root, std::u16string_view path) {
  TValues values;
  auto key = OpenRegKey(root, path);
  if (key)
    for (const auto& name : key->ValueNames())
      values[name] = *key->QueryValue(name);
  return values;
}

class WineCross : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("wine")) GTEST_SKIP() << "wine is not installed";
    wine_ = std::make_unique<TWinePrefix>();
    wine_->StopServer();
    Posix::UseRegistryPrefix(wine_->Path());
  }
  std::unique_ptr<TWinePrefix> wine_;
};

const TValues kEveryType = {
    {u"sz", {kRegSz, Utf16(u"C:\\Program Files\\x")}},
    {u"", {kRegSz, Utf16(u"default")}},
    {u"quote\"back\\slash \xe9\x4e2d", {kRegSz, Utf16(u"q\"b\\ \xe9\x4e2d")}},
    {u"expand", {kRegExpandSz, Utf16(u"%SystemRoot%;x")}},
    {u"multi", {kRegMultiSz, Utf16(std::u16string(u"a\0b\0", 4))}},
    {u"dword", {kRegDword, std::string("\x0c\0\0\xff", 4)}},
    {u"qword", {kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"}},
    {u"binary", {kRegBinary, std::string(100, '\x01')}},
    {u"none", {kRegNone, ""}},
    {u"unknown", {0x1234, "\x01\x02"}},
    {u"unterminated", {kRegSz, Utf16(u"ab", false)}},
};

TEST_F(WineCross, WineReadsWhatTheBackendWrote) {
  auto user = CreateRegKey(TRegRoot::CurrentUser, u"Software\\TessikCross");
  auto machine = CreateRegKey(TRegRoot::LocalMachine, u"Software\\TessikCross");
  ASSERT_TRUE(user && machine);
  for (const auto& [name, data] : kEveryType)
    ASSERT_TRUE(user->SetValue(name, data));
  ASSERT_TRUE(machine->SetValue(u"lm", {kRegSz, Utf16(u"32-bit view")}));
  CommitRegistry();

  std::string file = wine_->Path() + "/export.reg";
  wine_->Run({"wine", "reg", "export", "HKCU\\Software\\TessikCross", WindowsPath(file), "/y"});
  // reg export cuts a string without its terminator short: that one is left out here (the
  // Windows build's cross-check compares it byte for byte).
  TValues exported = kEveryType, read = ReadExport(ReadFile(file));
  exported.erase(u"unterminated");
  read.erase(u"unterminated");
  EXPECT_EQ(read, exported);
  TRunResult query = wine_->Run({"wine", "reg", "query", "HKLM\\Software\\TessikCross", "/reg:32"});
  EXPECT_NE(query.Output.find("lm    REG_SZ    32-bit view"), std::string::npos) << query.Output;
  // Wine still starts on the prefix.
  EXPECT_EQ(wine_->Run({"wine", "cmd", "/c", "exit", "0"}).Status, 0);
}

TEST_F(WineCross, TheBackendReadsWhatWineWrote) {
  const std::string key = "HKCU\\Software\\TessikCross";
  const std::vector<std::vector<std::string>> adds = {
      {"/v", "sz", "/t", "REG_SZ", "/d", "C:\\Program Files\\x"},
      {"/ve", "/d", "default"},
      {"/v", "expand", "/t", "REG_EXPAND_SZ", "/d", "%SystemRoot%;x"},
      {"/v", "multi", "/t", "REG_MULTI_SZ", "/d", "a\\0b"},
      {"/v", "dword", "/t", "REG_DWORD", "/d", "0xff00000c"},
      {"/v", "qword", "/t", "REG_QWORD", "/d", "0x0807060504030201"},
      {"/v", "binary", "/t", "REG_BINARY", "/d", std::string(200, '1')},
      {"/v", "none", "/t", "REG_NONE", "/d", ""},
  };
  for (const auto& add : adds) {
    std::vector<std::string> argv = {"wine", "reg", "add", key};
    argv.insert(argv.end(), add.begin(), add.end());
    argv.push_back("/f");
    ASSERT_EQ(wine_->Run(argv).Status, 0) << add[1];
  }
  // Types that reg add does not know, and names it cannot take, come by import. (No string
  // without its terminator: reg import adds one, as RegSetValueExW does.)
  std::u16string import =
      u"\xfeffWindows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_CURRENT_USER\\Software\\TessikCross]\r\n"
      u"\"unknown\"=hex(1234):01,02\r\n"
      u"\"quote\\\"back\\\\slash\"=\"q\\\"b\\\\\"\r\n";
  WriteFile(wine_->Path() + "/import.reg", Utf16(import, false));
  ASSERT_EQ(
      wine_->Run({"wine", "reg", "import", WindowsPath(wine_->Path() + "/import.reg")}).Status, 0);
  ASSERT_EQ(wine_
                ->Run({"wine", "reg", "add", "HKLM\\Software\\TessikCross", "/v", "lm", "/d", "32",
                       "/reg:32", "/f"})
                .Status,
            0);
  wine_->StopServer();

  TValues expected = {
      {u"sz", {kRegSz, Utf16(u"C:\\Program Files\\x")}},
      {u"", {kRegSz, Utf16(u"default")}},
      {u"expand", {kRegExpandSz, Utf16(u"%SystemRoot%;x")}},
      {u"multi", {kRegMultiSz, Utf16(std::u16string(u"a\0b\0", 4))}},
      {u"dword", {kRegDword, std::string("\x0c\0\0\xff", 4)}},
      {u"qword", {kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"}},
      {u"binary", {kRegBinary, std::string(100, '\x11')}},
      {u"none", {kRegNone, Utf16(u"")}},
      {u"unknown", {0x1234, "\x01\x02"}},
      {u"quote\"back\\slash", {kRegSz, Utf16(u"q\"b\\")}},
  };
  EXPECT_EQ(ReadBackend(TRegRoot::CurrentUser, u"Software\\TessikCross"), expected);
  EXPECT_EQ(ReadBackend(TRegRoot::LocalMachine, u"Software\\TessikCross"),
            (TValues{{u"lm", {kRegSz, Utf16(u"32")}}}));
}

// The same commands through the Windows backend under Wine and through the POSIX backend
// on a copy of the same prefix: the answers must be the same, line for line.
TEST_F(WineCross, BothBackendsAnswerAlike) {
  const std::string driver = TESSIK_WIN_DRIVER;
  if (driver.empty() || ::access(driver.c_str(), F_OK) != 0)
    GTEST_SKIP() << "no Windows build of reg_driver (configure with TESSIK_WIN_BUILD_DIR)";
  std::string script = ReadFile(TESSIK_SOURCE_DIR "/tests/registry/cross-script.txt");
  TWinePrefix other;
  other.StopServer();
  TRunResult windows = other.Run({"wine", driver}, script);
  other.StopServer();
  TRunResult posix = RunProgram({REG_DRIVER}, {"WINEPREFIX=" + wine_->Path()}, script);
  std::string w;
  for (char c : windows.Output)
    if (c != '\r') w.push_back(c);
  EXPECT_EQ(w, posix.Output);
  // And the POSIX backend reads what the Windows one wrote as it reads its own result.
  TRunResult reread = RunProgram({REG_DRIVER}, {"WINEPREFIX=" + other.Path()},
                                 ReadFile(TESSIK_SOURCE_DIR "/tests/registry/cross-check.txt"));
  TRunResult own = RunProgram({REG_DRIVER}, {"WINEPREFIX=" + wine_->Path()},
                              ReadFile(TESSIK_SOURCE_DIR "/tests/registry/cross-check.txt"));
  EXPECT_EQ(reread.Output, own.Output);
}

}  // namespace

// Real Wine is the reference: what the backend writes, Wine reads (wine reg export), what
// Wine writes (wine reg add, wine reg import), the backend reads, and Wine still starts on a
// prefix the backend changed. With a Windows build at hand, the driver's answers under Wine
// and natively must be the same, and so must the program's view of the Windows Path.
#include <strings.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "platform/posix/registry/LineFormat.h"
#include "platform/posix/registry/UsePrefix.h"
#include "tests/support/RegTestData.h"
#include "tests/support/WinePrefix.h"

using namespace Platform;

namespace {

using TValues = std::map<std::u16string, TRegData>;
using TTree = std::map<std::u16string, TValues>;  // key path (folded) -> its values

// The keys and values of "wine reg export" below `root` ("HKEY_CURRENT_USER\\...").
TTree ReadExportTree(const std::string& bytes, const std::string& root) {
  std::string utf8 =
      ToUtf8(Utf16Of(std::string_view(bytes).substr(std::min<size_t>(2, bytes.size()))));
  TTree tree;
  TValues* values = nullptr;
  WineReg::TLineReader reader(utf8);
  for (std::string_view line; reader.Next(line);) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > root.size() + 1 && line[0] == '[' && line.substr(1, root.size()) == root) {
      std::string_view path = line.substr(1 + root.size(), line.size() - root.size() - 2);
      if (!path.empty() && path[0] == '\\') path.remove_prefix(1);
      values = &tree[WineReg::Fold(FromUtf8(std::string(path)))];
      continue;
    }
    WineReg::TValueLine value;
    if (values && !line.empty() && (line[0] == '"' || line[0] == '@') &&
        WineReg::ReadValue(line, reader, &value))
      (*values)[value.Name] = value.Data;
  }
  return tree;
}

void WalkBackend(TRegRoot root, const std::u16string& path, const std::u16string& relative,
                 TTree& tree) {
  auto key = OpenRegKey(root, path);
  if (!key) return;
  TValues& values = tree[WineReg::Fold(relative)];
  for (const auto& name : key->ValueNames())
    values[name] = *key->QueryValue(name);
  for (const auto& sub : key->SubKeyNames())
    WalkBackend(root, path + u"\\" + sub, relative.empty() ? sub : relative + u"\\" + sub, tree);
}

TValues ReadBackend(TRegRoot root, const std::u16string& path) {
  TTree tree;
  WalkBackend(root, path, u"", tree);
  return tree[u""];
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
  TValues exported = kEveryType,
          read = ReadExportTree(ReadFile(file), "HKEY_CURRENT_USER\\Software\\TessikCross")[u""];
  exported.erase(u"unterminated");
  read.erase(u"unterminated");
  EXPECT_EQ(read, exported);
  TRunResult query = wine_->Run({"wine", "reg", "query", "HKLM\\Software\\TessikCross", "/reg:32"});
  EXPECT_NE(query.Output.find("lm    REG_SZ    32-bit view"), std::string::npos) << query.Output;
  // Wine still starts on the prefix.
  EXPECT_EQ(wine_->Run({"wine", "cmd", "/c", "exit", "0"}).Status, 0);
}

TEST_F(WineCross, TheBackendReadsWhatWineWrote) {
  // One import writes every type, and names reg add cannot take; one reg add writes through
  // the 32-bit view. Few Wine starts: each one is slow, and can fail, on a loaded machine.
  // (No string without its terminator: reg import adds one, as RegSetValueExW does.)
  std::u16string binary;
  for (int i = 0; i < 100; ++i)
    binary += i ? u",01" : u"01";
  std::u16string import =
      u"\xfeffWindows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_CURRENT_USER\\Software\\TessikCross]\r\n"
      u"\"sz\"=\"C:\\\\Program Files\\\\x\"\r\n"
      u"@=\"default\"\r\n"
      u"\"expand\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,"
      u"25,00,3b,00,78,00,00,00\r\n"
      u"\"multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
      u"\"dword\"=dword:ff00000c\r\n"
      u"\"qword\"=hex(b):01,02,03,04,05,06,07,08\r\n"
      u"\"binary\"=hex:" +
      binary +
      u"\r\n"
      u"\"none\"=hex(0):00,00\r\n"
      u"\"unknown\"=hex(1234):01,02\r\n"
      u"\"quote\\\"back\\\\slash\"=\"q\\\"b\\\\\"\r\n";
  WriteFile(wine_->Path() + "/import.reg", Utf16(import, false));
  TRunResult imported =
      wine_->Run({"wine", "reg", "import", WindowsPath(wine_->Path() + "/import.reg")});
  ASSERT_EQ(imported.Status, 0) << imported.Output;
  TRunResult added = wine_->Run({"wine", "reg", "add", "HKLM\\Software\\TessikCross", "/v", "lm",
                                 "/d", "32", "/reg:32", "/f"});
  ASSERT_EQ(added.Status, 0) << added.Output;
  wine_->StopServer();

  TValues expected = kEveryType;
  expected.erase(u"unterminated");
  expected.erase(u"quote\"back\\slash \xe9\x4e2d");
  expected[u"quote\"back\\slash"] = {kRegSz, Utf16(u"q\"b\\")};
  expected[u"none"] = {kRegNone, Utf16(u"")};
  EXPECT_EQ(ReadBackend(TRegRoot::CurrentUser, u"Software\\TessikCross"), expected);
  EXPECT_EQ(ReadBackend(TRegRoot::LocalMachine, u"Software\\TessikCross"),
            (TValues{{u"lm", {kRegSz, Utf16(u"32")}}}));
}

// Damaged registry files: the backend reads what Wine reads from them, keeps what it cannot
// read where it was when it writes the file back, and Wine then still reads the same.
TEST_F(WineCross, DamagedFilesReadAsWineReadsThem) {
  const struct {
    const char* Name;
    std::string Tail;      // appended to the prefix's user.reg
    bool Verbatim = true;  // false: a key written after it would continue its last value
  } cases[] = {
      {"invalid escapes",
       "\n[Software\\\\TessikFault] 1\n\"esc\"=\"a\\qb\\x4g\\777z\\\"\n\"ok\"=\"v\"\n"
       "\"hexbad\"=hex:0g,01\n\"open\"=\"abc\n\"dw\"=dword:zz\n\"na\\me\"=\"n\"\n"
       "\"\\x41\"=str(2):\"%x%\"\n@=hex(7):61,00,\\\n  00\n"},
      {"a key line without values",
       "\n[Software\\\\TessikFault\\\\Empty] 1\n\n[Software\\\\TessikFault] 1\n\"v\"=\"1\"\n"},
      {"Windows line breaks",
       "\r\n[Software\\\\TessikFault] 1\r\n#time=1\r\n\"v\"=\"1\"\r\n\"h\"=hex:01,\\\r\n  "
       "02\r\n[Software\\\\TessikFault\\\\Sub] 1\r\n\"w\"=dword:00000002\r\n"},
      {"truncated in a value", "\n[Software\\\\TessikFault] 1\n\"v\"=\"1\"\n\"h\"=hex:01,02,\\",
       false},
      {"truncated in a key line", "\n[Software\\\\TessikFault] 1\n\"v\"=\"1\"\n[Software\\\\Tes"},
      {"lines of no kind",
       "\n[Software\\\\TessikFault] 1\n\"v\"=\"1\"\nnonsense\n= \"x\"\n"
       "[unclosed\n\"w\"=\"2\"\n"},
  };
  const std::string user = wine_->Path() + "/user.reg";
  const std::string original = ReadFile(user);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    wine_->StopServer();
    WriteFile(user, original + c.Tail);
    Posix::UseRegistryPrefix(wine_->Path());
    TTree mine;
    WalkBackend(TRegRoot::CurrentUser, u"Software\\TessikFault", u"", mine);
    std::string file = wine_->Path() + "/export.reg";
    auto wineTree = [&] {
      wine_->Run({"wine", "reg", "export", "HKCU\\Software\\TessikFault", WindowsPath(file), "/y"});
      wine_->StopServer();  // Wine saves the registry, in its own form, when it stops
      TTree tree = ReadExportTree(ReadFile(file), "HKEY_CURRENT_USER\\Software\\TessikFault");
      ::unlink(file.c_str());
      return tree;
    };
    EXPECT_EQ(mine, wineTree());

    // Written back by the backend: the damaged part stays as it was.
    WriteFile(user, original + c.Tail);
    Posix::UseRegistryPrefix(wine_->Path());
    ASSERT_TRUE(
        CreateRegKey(TRegRoot::CurrentUser, u"Software\\TessikOther")->SetValue(u"n", Sz(u"1")));
    CommitRegistry();
    std::string written = ReadFile(user);
    std::string tail = c.Tail;
    while (!tail.empty() && (tail[0] == '\n' || tail[0] == '\r'))
      tail.erase(0, 1);
    if (c.Verbatim) {
      EXPECT_NE(written.find(tail), std::string::npos) << written.substr(original.size());
    }
    EXPECT_EQ(wineTree(), mine);
  }
}

// A value of 100 MB: read, kept through a write-back, and the file still loads in Wine.
TEST_F(WineCross, AHundredMegabyteValue) {
  const std::string user = wine_->Path() + "/user.reg";
  const std::string big(100 << 20, 'b');
  WriteFile(user, ReadFile(user) + "\n[Software\\\\TessikBig] 1\n\"big\"=\"" + big +
                      "\"\n\"small\"=\"s\"\n");
  Posix::UseRegistryPrefix(wine_->Path());
  auto key = OpenRegKey(TRegRoot::CurrentUser, u"Software\\TessikBig");
  ASSERT_NE(key, nullptr);
  auto value = key->QueryValue(u"big");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->Bytes.size(), big.size() * 2 + 2);
  key.reset();
  ASSERT_TRUE(
      CreateRegKey(TRegRoot::CurrentUser, u"Software\\TessikOther")->SetValue(u"n", Sz(u"1")));
  CommitRegistry();
  EXPECT_NE(ReadFile(user).find("\"big\"=\"" + big + "\"\n"), std::string::npos);
  TRunResult query =
      wine_->Run({"wine", "reg", "query", "HKCU\\Software\\TessikBig", "/v", "small"});
  EXPECT_NE(query.Output.find("small    REG_SZ    s"), std::string::npos) << query.Output;
  TRunResult other = wine_->Run({"wine", "reg", "query", "HKCU\\Software\\TessikOther"});
  EXPECT_NE(other.Output.find("n    REG_SZ    1"), std::string::npos) << other.Output;
}

// A registry file without what Wine changes each time it starts: key times, driver dates.
std::string WithoutWinesStamps(const std::string& text) {
  std::string kept;
  WineReg::TLineReader reader(text);
  for (std::string_view line; reader.Next(line);) {
    if (line.substr(0, 6) == "#time=" || line.substr(0, 17) == "\"DriverDateData\"=") continue;
    if (!line.empty() && line[0] == '[') line = line.substr(0, line.rfind(']') + 1);
    kept.append(line).push_back('\n');
  }
  return kept;
}

// Deletes that would take the 32-bit view itself or go through Wine's links into the 64-bit
// Software, on a real prefix: refused, with user.reg and system.reg as they were. (Refused
// top-level keys are the corpus's: they depend on the path alone.)
TEST_F(WineCross, RefusedDeletesLeaveTheRegistryAsItWas) {
  const std::string throughLinks[] = {
      "HKLM\\Software\\Wow6432Node",  // the 32-bit view itself
      "HKLM\\Software\\Policies",     // links to 64-bit keys
      "HKLM\\Software\\Microsoft\\OLE",
      "HKLM\\Software\\Wow6432Node\\Policies",
      "HKLM\\Software\\Classes",  // trees that hold links
      "HKLM\\Software\\Microsoft\\Windows NT",
  };
  const std::string userFile = wine_->Path() + "/user.reg";
  const std::string machineFile = wine_->Path() + "/system.reg";
  const std::string user = ReadFile(userFile), machine = ReadFile(machineFile);
  auto regDelete = [](std::vector<std::string> argv, std::vector<std::string> args) {
    argv.push_back("RegDelete");
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  };
  // A run that holds its changes back (a dry run, a run that writes an undo file) fails
  // where the real delete fails.
  const std::string undo = wine_->Path() + "/../undo.reg";
  for (const auto& key : throughLinks)
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{}, {"/dryrun"}, {"/undo", undo}}) {
      std::vector<std::string> args = {key};
      args.insert(args.end(), extra.begin(), extra.end());
      TRunResult run = RunProgram(regDelete({TESSIK_EXE}, args), {"WINEPREFIX=" + wine_->Path()});
      EXPECT_EQ(run.Output, "ERegistryException: Failed to delete key " + key + "\r\n");
      EXPECT_EQ(run.Status, 1) << key << " " << extra.size();
    }
  EXPECT_TRUE(ReadFile(userFile) == user) << "user.reg changed";
  EXPECT_TRUE(ReadFile(machineFile) == machine) << "system.reg changed";

  const std::string exe = TESSIK_WIN_EXE;
  if (exe.empty() || ::access(exe.c_str(), F_OK) != 0) return;
  // Wine brings the registry up to date when it starts (locale, driver dates, key times):
  // the files to compare with are those after a start that does nothing else.
  wine_->Run({"wine", "cmd", "/c", "exit", "0"});
  wine_->StopServer();
  const std::string userStarted = WithoutWinesStamps(ReadFile(userFile));
  const std::string machineStarted = WithoutWinesStamps(ReadFile(machineFile));
  for (const auto& key : throughLinks) {
    TRunResult run = wine_->Run(regDelete({"wine", exe}, {key}));
    EXPECT_NE(run.Output.find("ERegistryException: Failed to delete key " + key + "\r\n"),
              std::string::npos)
        << run.Output;
    EXPECT_EQ(run.Status, 1) << key;
  }
  wine_->StopServer();
  EXPECT_TRUE(WithoutWinesStamps(ReadFile(userFile)) == userStarted) << "user.reg changed";
  EXPECT_TRUE(WithoutWinesStamps(ReadFile(machineFile)) == machineStarted) << "system.reg changed";
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

// The lines of Install's move of the system path into a new IDE Path: what it keeps and
// what it purges.
std::string KeptAndPurged(const std::string& output) {
  std::string lines;
  for (size_t at = 0; at < output.size();) {
    size_t end = std::min(output.find('\n', at), output.size());
    std::string line = output.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("Keeping: ", 0) == 0 || line.rfind("Purging: ", 0) == 0) lines += line + "\n";
    at = end + 1;
  }
  return lines;
}

// The POSIX build's Path is the one Wine gives a program of the prefix, with a user PATH of
// either type ("set PATH" prints it as it is; "echo %PATH%" would expand it again), and
// Install moves the same folders into a new IDE Path as the Windows build does under Wine.
TEST_F(WineCross, BothBuildsSeeWinesPath) {
  const std::string winExe = TESSIK_WIN_EXE;
  bool haveWindows = !winExe.empty() && ::access(winExe.c_str(), F_OK) == 0;
  const struct {
    const char* Type;
    const char* Path;
  } userPaths[] = {
      {"REG_EXPAND_SZ",
       "%SystemRoot%\\system32\\wbem;%USERPROFILE%;%TessikTemp%;%nosuch%\\x;C:\\TessikMissing"},
      {"REG_SZ", "%SystemRoot%\\system32;C:\\windows\\temp"},
  };
  ::unsetenv("Path");
  for (const auto& userPath : userPaths) {
    SCOPED_TRACE(userPath.Type);
    TWinePrefix posix, windows;
    TTempFolder folder;  // the programs run from a library tree's qor\bin\tool
    std::string tool = folder.Path() + "/qor/bin/tool";
    RunProgram({"mkdir", "-p", tool}, {});
    RunProgram({"cp", TESSIK_EXE, tool + "/tessik"}, {});
    if (haveWindows) RunProgram({"cp", winExe, tool + "/Tessik.exe"}, {});
    const std::vector<std::vector<std::string>> adds = {
        {"HKCU\\Environment", "/v", "TessikTemp", "/t", "REG_EXPAND_SZ", "/d",
         "%SystemDrive%\\windows\\temp"},
        {"HKCU\\Environment", "/v", "PATH", "/t", userPath.Type, "/d", userPath.Path},
        {"HKCU\\Software\\Borland\\BDS\\5.0", "/v", "RootDir", "/d", "C:\\TessikCross\\BDS"},
        {"HKCU\\Software\\Borland\\BDS\\5.0\\Environment Variables", "/v", "BDSLIB", "/d", "x"},
    };
    for (const TWinePrefix* prefix : {&posix, &windows})
      for (const auto& add : adds) {
        std::vector<std::string> argv = {"wine", "reg", "add"};
        argv.insert(argv.end(), add.begin(), add.end());
        argv.push_back("/f");
        ASSERT_EQ(prefix->Run(argv).Status, 0) << add[2];
      }
    std::string set = posix.Run({"wine", "cmd", "/c", "set", "PATH"}).Output;
    // The variable keeps the case of the value's name ("Path" where one was there before).
    ASSERT_TRUE(set.size() > 5 && strncasecmp(set.c_str(), "PATH=", 5) == 0) << set;
    std::string winesPath = set.substr(5, set.find_first_of("\r\n") - 5);
    posix.StopServer();
    Posix::UseRegistryPrefix(posix.Path());
    EXPECT_EQ(ToUtf8(EnvironmentVariable(u"Path").value_or(u"")), winesPath);

    TRunResult mine =
        RunProgram({tool + "/tessik", "Install", "d2007"}, {"WINEPREFIX=" + posix.Path()});
    EXPECT_EQ(mine.Status, 0) << mine.Output;
    EXPECT_NE(KeptAndPurged(mine.Output).find("Keeping: C:\\windows\\system32\n"),
              std::string::npos)
        << mine.Output;
    if (!haveWindows) continue;
    TRunResult theirs =
        windows.Run({"wine", WindowsPath(tool + "/Tessik.exe"), "Install", "d2007"});
    EXPECT_EQ(theirs.Status, 0) << theirs.Output;
    EXPECT_EQ(KeptAndPurged(mine.Output), KeptAndPurged(theirs.Output))
        << "POSIX:\n"
        << mine.Output << "\nWindows:\n"
        << theirs.Output;
  }
  if (!haveWindows)
    GTEST_SKIP() << "no Windows build of the program (configure with TESSIK_WIN_BUILD_DIR)";
}

}  // namespace

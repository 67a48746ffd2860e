// What only the POSIX backend has: the prefix's files, refusing files it cannot read,
// seeing other programs' changes, the wineserver guard, Wine's 32-bit view and links, and
// the Windows Path built from the prefix's environment keys. (A failed write-back, which
// keeps the old file, is InstallRoundTrip's: the whole program shows it.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Errors.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "platform/posix/registry/UsePrefix.h"
#include "tests/support/RegTestData.h"
#include "tests/support/TestProcess.h"

using namespace Platform;

namespace {

const std::string kUserHeader =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
    "\n#arch=win64\n";
const std::string kMachineHeader =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";

class RegistryPosix : public ::testing::Test {
 protected:
  void SetUp() override { Posix::UseRegistryPrefix(Prefix()); }
  void TearDown() override { Posix::UseRegistryPrefix(Prefix()); }
  std::string Prefix() const { return temp_.Path() + "/prefix"; }
  std::string User() const { return Prefix() + "/user.reg"; }
  std::string Machine() const { return Prefix() + "/system.reg"; }
  void Files(const std::string& user, const std::string& machine) {
    ::mkdir(Prefix().c_str(), 0777);
    if (!user.empty()) WriteFile(User(), user);
    if (!machine.empty()) WriteFile(Machine(), machine);
  }
  std::optional<TRegData> Query(TRegRoot root, std::u16string_view path, std::u16string_view name) {
    auto key = OpenRegKey(root, path);
    return key ? key->QueryValue(name) : std::nullopt;
  }

  TTempFolder temp_;
};

TEST_F(RegistryPosix, TheFirstWriteCreatesThePrefixWithWinesHeader) {
  EXPECT_EQ(OpenRegKey(TRegRoot::CurrentUser, u"Software"), nullptr);
  EXPECT_NE(OpenRegKey(TRegRoot::LocalMachine, u""), nullptr);
  EXPECT_NE(::access(Prefix().c_str(), F_OK), 0) << "reading must not create the prefix";
  ASSERT_TRUE(CreateRegKey(TRegRoot::CurrentUser, u"Environment")->SetValue(u"A", Sz(u"b")));
  CommitRegistry();
  std::string text = ReadFile(User());
  EXPECT_EQ(text.substr(0, kUserHeader.size() + 15), kUserHeader + "\n[Environment] ");
  EXPECT_NE(text.find("\"A\"=\"b\"\n"), std::string::npos);
  EXPECT_NE(::access(Machine().c_str(), F_OK), 0) << "only the changed file is written";
}

TEST_F(RegistryPosix, AFileItCannotReadIsRefusedAndNeverWritten) {
  const std::string bad = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"a\"=\"b\"\n";
  Files(kUserHeader, bad);
  for (auto attempt : {0, 1}) {
    try {
      if (attempt == 0) OpenRegKey(TRegRoot::LocalMachine, u"Software\\X");
      if (attempt == 1) CreateRegKey(TRegRoot::LocalMachine, u"Software\\Y");
      FAIL() << "no exception";
    } catch (const ERegistryException& e) {
      EXPECT_NE(std::string(e.what()).find(Machine()), std::string::npos) << e.what();
    }
  }
  ASSERT_NE(CreateRegKey(TRegRoot::CurrentUser, u"Fine"), nullptr);  // the other file works
  CommitRegistry();
  EXPECT_EQ(ReadFile(Machine()), bad);
  Files("", kMachineHeader.substr(0, kMachineHeader.size() - 6) + "arm\n");
  EXPECT_THROW(OpenRegKey(TRegRoot::LocalMachine, u"Software"), ERegistryException);
}

TEST_F(RegistryPosix, LinesItCannotReadStayInTheirPlace) {
  const std::string other = "\n[Software\\\\Other] 1\n#time=1\n\"keep\"=str(2):\"%x%\"\n";
  Files(kUserHeader + "\n[Software\\\\App] 1\n#time=1\n\"a\"=\"1\"\nsomething odd\n;; note\n" +
            "#class=\"c\"\n\"b\" = \"2\"\n" + other,
        "");
  ASSERT_TRUE(CreateRegKey(TRegRoot::CurrentUser, u"Software\\App")->SetValue(u"a", Sz(u"3")));
  CommitRegistry();
  std::string text = ReadFile(User());
  EXPECT_NE(text.find("\"a\"=\"3\"\nsomething odd\n;; note\n#class=\"c\"\n\"b\" = \"2\"\n\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.substr(text.size() - other.size()), other);
}

TEST_F(RegistryPosix, SeesWhatOtherProgramsWroteAndReadsAnUnchangedFileOnce) {
  Files(kUserHeader + "\n[Env] 1\n\"v\"=\"1\"\n", "");
  auto key = OpenRegKey(TRegRoot::CurrentUser, u"Env");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->QueryValue(u"v"), Sz(u"1"));
  WriteFile(User() + ".new", kUserHeader + "\n[Env] 1\n\"v\"=\"2\"\n");
  ASSERT_EQ(::rename((User() + ".new").c_str(), User().c_str()), 0);  // as Wine saves
  EXPECT_EQ(key->QueryValue(u"v"), Sz(u"2"));
  // Same size, same time, same file: the backend has no reason to read it again.
  struct stat st;
  ::stat(User().c_str(), &st);
  int fd = ::open(User().c_str(), O_WRONLY);
  ASSERT_EQ(::pwrite(fd, "3", 1, off_t(ReadFile(User()).rfind('2'))), 1);
  ::close(fd);
  timespec times[2] = {st.st_atim, st.st_mtim};
  ::utimensat(AT_FDCWD, User().c_str(), times, 0);
  EXPECT_EQ(key->QueryValue(u"v"), Sz(u"2"));
}

TEST_F(RegistryPosix, AFileReplacedDuringTheRunKeepsBothChanges) {
  Files(kUserHeader + "\n[Env] 1\n\"v\"=\"1\"\n", "");
  ASSERT_TRUE(CreateRegKey(TRegRoot::CurrentUser, u"Env")->SetValue(u"mine", Sz(u"m")));
  // Another program that ignores the lock (a wineserver started meanwhile) saves its copy.
  WriteFile(User() + ".new", kUserHeader + "\n[Env] 1\n\"v\"=\"1\"\n\"theirs\"=\"t\"\n");
  ASSERT_EQ(::rename((User() + ".new").c_str(), User().c_str()), 0);
  CommitRegistry();
  EXPECT_EQ(Query(TRegRoot::CurrentUser, u"Env", u"mine"), Sz(u"m"));
  EXPECT_EQ(Query(TRegRoot::CurrentUser, u"Env", u"theirs"), Sz(u"t"));
}

// A wineserver's folder with its lock file, locked by a child process while `running`.
class TFakeWineserver {
 public:
  TFakeWineserver(const std::string& prefix, bool running) {
    struct stat st;
    ::stat(prefix.c_str(), &st);
    char name[64];
    std::snprintf(name, sizeof name, "/server-%llx-%llx", (unsigned long long)st.st_dev,
                  (unsigned long long)st.st_ino);
    WriteFile(prefix + "/wineserver", BaseName(tmp_.Path()) + "\n");
    std::string folder = tmp_.Path() + name;
    ::mkdir(folder.c_str(), 0700);
    WriteFile(folder + "/lock", "");
    if (!running) return;
    int ready = -1;
    child_ = StartChild(
        [&] {
          int fd = ::open((folder + "/lock").c_str(), O_RDWR);
          struct flock fl {};
          fl.l_type = F_WRLCK;
          ::fcntl(fd, F_SETLK, &fl);
          std::printf("locked\n");
          std::fflush(stdout);
          ::pause();
        },
        &ready);
    if (ReadUntil(ready, "locked\n") != "locked\n")
      ADD_FAILURE() << "the lock holder did not start";
    ::close(ready);
  }
  ~TFakeWineserver() {
    if (child_ > 0) ::kill(child_, SIGKILL), WaitProgram(child_);
  }

 private:
  static std::string BaseName(const std::string& p) { return p.substr(p.rfind('/') + 1); }
  TTempFolder tmp_;  // inside $TMPDIR or /tmp, where the backend looks for it
  pid_t child_ = -1;
};

TEST_F(RegistryPosix, WritesAreRefusedWhileAWineserverHoldsThePrefix) {
  Files(kUserHeader, "");
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp && std::string(tmp) != "/tmp")
    GTEST_SKIP() << "the fake server folder must be below /tmp";
  {
    TFakeWineserver server(Prefix(), true);
    EXPECT_NE(OpenRegKey(TRegRoot::CurrentUser, u""), nullptr);  // reading is fine
    try {
      CreateRegKey(TRegRoot::CurrentUser, u"Software\\X");
      FAIL() << "no exception";
    } catch (const ERegistryException& e) {
      EXPECT_NE(std::string(e.what()).find("perhaps the IDE"), std::string::npos) << e.what();
    }
  }
  TFakeWineserver stale(Prefix(), false);  // its folder is left, but nobody holds the lock
  EXPECT_NE(CreateRegKey(TRegRoot::CurrentUser, u"Software\\X"), nullptr);
  CommitRegistry();
  EXPECT_NE(OpenRegKey(TRegRoot::CurrentUser, u"Software\\X"), nullptr);
}

TEST_F(RegistryPosix, The32BitViewFollowsWine) {
  // A 32-bit prefix has no such view; a 64-bit one redirects HKLM\Software even before
  // its Wow6432Node exists, and any key that has a Wow6432Node subkey (even in HKCU).
  Files(kUserHeader + "\n[Software\\\\Wow6432Node\\\\U] 1\n",
        "WINE REGISTRY Version 2\n\n#arch=win32\n\n[Software\\\\A] 1\n\"v\"=\"32\"\n");
  EXPECT_EQ(Query(TRegRoot::LocalMachine, u"Software\\A", u"v"), Sz(u"32"));
  ASSERT_NE(CreateRegKey(TRegRoot::CurrentUser, u"Software\\New"), nullptr);
  CommitRegistry();
  EXPECT_NE(ReadFile(User()).find("[Software\\\\Wow6432Node\\\\New]"), std::string::npos);
  ::unlink(Machine().c_str());
  ASSERT_NE(CreateRegKey(TRegRoot::LocalMachine, u"Software\\B"), nullptr);
  ASSERT_NE(CreateRegKey(TRegRoot::LocalMachine, u"System\\C"), nullptr);
  CommitRegistry();
  std::string machine = ReadFile(Machine());
  EXPECT_NE(machine.find("[Software\\\\Wow6432Node\\\\B]"), std::string::npos) << machine;
  EXPECT_NE(machine.find("[System\\\\C]"), std::string::npos) << machine;
}

// The lines of a link key to `target` ("\\Registry\\Machine\\..."), as Wine writes them.
std::string LinkTo(const std::string& target) {
  std::string hex;
  for (char c : target) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02x,00,", static_cast<unsigned char>(c));
    hex += buf;
  }
  hex.pop_back();
  return "#link\n\"SymbolicLinkValue\"=hex(6):" + hex + "\n";
}

TEST_F(RegistryPosix, LinksAreFollowedLikeWine) {
  // Wine's own link: 32-bit programs find HKLM\Software\Classes in Classes\Wow6432Node.
  Files(kUserHeader, kMachineHeader +
                         "\n[Software\\\\Classes\\\\Wow6432Node\\\\CLSID] 1\n\"v\"=\"x\"\n" +
                         "\n[Software\\\\Wow6432Node\\\\Classes] 1\n" +
                         LinkTo("\\Registry\\Machine\\Software\\Classes\\Wow6432Node"));
  EXPECT_EQ(Query(TRegRoot::LocalMachine, u"Software\\Classes\\CLSID", u"v"), Sz(u"x"));
  auto classes = OpenRegKey(TRegRoot::LocalMachine, u"Software\\Classes");
  ASSERT_NE(classes, nullptr);
  EXPECT_EQ(classes->SubKeyNames(), std::vector<std::u16string>{u"CLSID"});
  ASSERT_NE(CreateRegKey(TRegRoot::LocalMachine, u"Software\\Classes\\New"), nullptr);
  CommitRegistry();
  EXPECT_NE(ReadFile(Machine()).find("[Software\\\\Classes\\\\Wow6432Node\\\\New]"),
            std::string::npos);
}

// Without a Path in the process environment, the Path is the one Wine gives a Windows
// program of the prefix (compared with real Wine in WineCrossTest).
TEST_F(RegistryPosix, TheWindowsPathIsBuiltAsWineBuildsIt) {
  const struct {
    const char* Name;
    std::string System;  // values of the system environment key
    std::string User;    // values of the user's Environment key, then other user keys
    std::u16string Path;
  } cases[] = {
      {"the system PATH alone, references expanded",
       "\"PATH\"=str(2):\"%SystemRoot%\\\\system32;%WINDIR%;%systemdrive%\\\\x;%Sys%\"\n"
       "\"Sys\"=str(2):\"%SystemRoot%\\\\sys\"\n",
       "", u"C:\\windows\\system32;C:\\windows;C:\\x;C:\\windows\\sys"},
      {"a REG_SZ user PATH is appended as it stands", "\"PATH\"=\"%SystemRoot%;C:\\\\s\"\n",
       "\"Path\"=\"%SystemRoot%\\\\u\"\n", u"%SystemRoot%;C:\\s;%SystemRoot%\\u"},
      {"a REG_EXPAND_SZ user PATH sees system, user and volatile variables",
       "\"PATH\"=str(2):\"%SystemRoot%\"\n\"ComSpec\"=str(2):\"%SystemRoot%\\\\cmd.exe\"\n"
       "\"Both\"=\"sys\"\n\"Volatile\"=\"sys\"\n",
       "\"Both\"=\"user\"\n\"Volatile\"=\"user\"\n\"Empty\"=\"\"\n"
       "\"path\"=str(2):\"%comspec%;%BOTH%;%volatile%;%Empty%;%PATH%\"\n"
       "\n[Volatile Environment] 1\n\"VOLATILE\"=\"volatile\"\n",
       u"C:\\windows;C:\\windows\\cmd.exe;user;volatile;%Empty%;C:\\windows"},
      {"unknown references, %% and a sign without its pair stay as typed", "\"PATH\"=\"C:\\\\s\"\n",
       "\"PATH\"=str(2):\"%%;%SystemRoot%;%nosuch%SystemRoot%\"\n",
       u"C:\\s;%%;C:\\windows;%nosuch%SystemRoot%"},
      {"an empty user PATH adds nothing", "\"PATH\"=str(2):\"C:\\\\s\"\n", "\"PATH\"=str(2):\"\"\n",
       u"C:\\s"},
      {"nor does a user PATH of another type", "\"PATH\"=\"C:\\\\s\"\n",
       "\"PATH\"=hex(7):43,00,00,00,00,00\n", u"C:\\s"},
  };
  ::unsetenv("Path");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Files(kUserHeader + "\n[Environment] 1\n" + c.User,
          kMachineHeader +
              "\n[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1\n" +
              c.System);
    Posix::UseRegistryPrefix(Prefix());
    EXPECT_EQ(EnvironmentVariable(u"Path"), c.Path);
  }
  // The run's own changes to the environment keys never show in its Path (Install of the
  // oldest IDEs appends to the user's PATH, and a later version then copies the Path), as
  // a process keeps the environment it started with: also when it asks only afterwards.
  for (bool askedBefore : {true, false}) {
    Files(kUserHeader + "\n[Environment] 1\n\"PATH\"=\"C:\\\\u\"\n",
          kMachineHeader +
              "\n[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1\n"
              "\"PATH\"=\"C:\\\\s\"\n");
    Posix::UseRegistryPrefix(Prefix());
    if (askedBefore) {
      EXPECT_EQ(EnvironmentVariable(u"Path"), u"C:\\s;C:\\u");
    }
    auto user = CreateRegKey(TRegRoot::CurrentUser, u"Environment");
    ASSERT_NE(user, nullptr);
    ASSERT_TRUE(user->SetValue(u"PATH", Sz(u"C:\\u;C:\\new")));
    EXPECT_EQ(EnvironmentVariable(u"Path"), u"C:\\s;C:\\u") << askedBefore;
  }
  ::setenv("Path", "C:\\given", 1);
  EXPECT_EQ(EnvironmentVariable(u"Path"), u"C:\\given");
  ::unsetenv("Path");
}

// Deletes in the 32-bit view never take the view itself nor reach the 64-bit Software (by a
// link, or where the Wow6432Node is missing), and never go through a link, at the key or
// inside its tree: all refused before anything is deleted.
TEST_F(RegistryPosix, DeletesNeverReachThe64BitBranch) {
  const std::string policies = LinkTo("\\Registry\\Machine\\Software\\Policies");
  const std::string machine =
      kMachineHeader + "\n[Software\\\\Policies\\\\P] 1\n\"v\"=\"64\"\n" +
      "\n[Software\\\\Only64] 1\n\"v\"=\"64\"\n" + "\n[Software\\\\Wow6432Node\\\\Policies] 1\n" +
      policies + "\n[Software\\\\Wow6432Node\\\\Tree\\\\Inner] 1\n\"v\"=\"32\"\n" +
      "\n[Software\\\\Wow6432Node\\\\Tree\\\\Inner\\\\Link] 1\n" + policies +
      "\n[Software\\\\Wow6432Node\\\\App\\\\Sub] 1\n\"v\"=\"32\"\n" +
      "\n[Software\\\\Wow6432Node\\\\Alias] 1\n" +
      LinkTo("\\Registry\\Machine\\Software\\Wow6432Node\\App");
  Files(kUserHeader, machine);
  const struct {
    const char16_t* Path;
    TRegResult Result;
  } cases[] = {
      {u"Software", TRegResult::AccessDenied},  // its Wow6432Node
      {u"Software\\", TRegResult::AccessDenied},
      {u"SOFTWARE\\wow6432node", TRegResult::AccessDenied},
      {u"Software\\Policies", TRegResult::AccessDenied},  // a link to the 64-bit key
      {u"Software\\Policies\\P", TRegResult::AccessDenied},
      {u"Software\\Wow6432Node\\Policies", TRegResult::AccessDenied},
      {u"Software\\Tree", TRegResult::AccessDenied},   // holds a link
      {u"Software\\Alias", TRegResult::AccessDenied},  // a link, even to a 32-bit key
      {u"Software\\Only64", TRegResult::NotFound},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckRegTreeDelete(TRegRoot::LocalMachine, c.Path), c.Result) << ToUtf8(c.Path);
    EXPECT_EQ(DeleteRegTree(TRegRoot::LocalMachine, c.Path), c.Result) << ToUtf8(c.Path);
    EXPECT_EQ(DeleteRegKeyOnly(TRegRoot::LocalMachine, c.Path), c.Result) << ToUtf8(c.Path);
  }
  CommitRegistry();
  EXPECT_EQ(ReadFile(Machine()), machine);
  EXPECT_EQ(DeleteRegTree(TRegRoot::LocalMachine, u"Software\\App"), TRegResult::Ok);
  CommitRegistry();
  EXPECT_EQ(OpenRegKey(TRegRoot::LocalMachine, u"Software\\App"), nullptr);
  EXPECT_EQ(Query(TRegRoot::LocalMachine, u"Software\\Policies\\P", u"v"), Sz(u"64"));

  // Without its Wow6432Node, HKLM\Software of a 64-bit prefix still is not the 64-bit key.
  const std::string only64 = kMachineHeader + "\n[Software\\\\Only64] 1\n\"v\"=\"64\"\n";
  Files("", only64);
  EXPECT_EQ(DeleteRegTree(TRegRoot::LocalMachine, u"Software"), TRegResult::AccessDenied);
  EXPECT_EQ(DeleteRegTree(TRegRoot::LocalMachine, u"Software\\Only64"), TRegResult::NotFound);
  CommitRegistry();
  EXPECT_EQ(ReadFile(Machine()), only64);
}

}  // namespace

// Install followed by Uninstall, as whole processes on a prefix of their own: the registry
// afterwards equals the registry before, except for what the design leaves behind.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "platform/posix/RegistryPrefix.h"

namespace {

using TSnapshot = std::map<std::string, std::string>;  // "root\key" or "root\key|value" -> data

void Walk(Platform::TRegRoot root, const std::u16string& path, const std::string& label,
          TSnapshot& out) {
  auto key = Platform::OpenRegKey(root, path);
  if (!key) return;
  out[label + Platform::ToUtf8(path)] = "(key)";
  for (const auto& name : key->ValueNames()) {
    auto data = key->QueryValue(name);
    out[label + Platform::ToUtf8(path) + "|" + Platform::ToUtf8(name)] =
        std::to_string(data->Type) + ":" + data->Bytes;
  }
  for (const auto& sub : key->SubKeyNames())
    Walk(root, path.empty() ? sub : path + u"\\" + sub, label, out);
}

TSnapshot Snapshot(const std::string& prefix) {
  Platform::Posix::UseRegistryPrefix(prefix);  // Forget what was read: the files changed.
  TSnapshot snapshot;
  Walk(Platform::TRegRoot::CurrentUser, u"", "HKCU\\", snapshot);
  Walk(Platform::TRegRoot::LocalMachine, u"", "HKLM\\", snapshot);
  return snapshot;
}

void Touch(const std::string& path) {
  std::string folder = path.substr(0, path.rfind('/'));
  ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
  std::ofstream(path) << "";
}

int Tessik(const std::string& exe, const std::string& prefix, std::vector<std::string> args) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
    ::setenv("Path", "C:\\TessikTrip\\Keep;C:\\TessikTrip\\Gone", 1);
    if (!::freopen("/dev/null", "w", stdout)) _exit(126);
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class InstallRoundTrip : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessik-trip-XXXXXX";
    ASSERT_TRUE(::mkdtemp(pattern));
    root_ = pattern;
    prefix_ = root_ + "/prefix";
    exe_ = root_ + "/qor/bin/tool/tessik";
    ASSERT_EQ(std::system(("mkdir -p '" + prefix_ + "/drive_c' '" + prefix_ + "/dosdevices' '" +
                           root_ + "/qor/bin/tool' && ln -s ../drive_c '" + prefix_ +
                           "/dosdevices/c:' && cp '" TESSIK_EXE "' '" + exe_ + "'")
                              .c_str()),
              0);
    for (const char* file :
         {"qor/lib/d2012/Win32/Release/qor5cdt_d2012.bpl", "qor/lib/d2012/Win64/Release/x.dcu",
          "qor/lib/d7/Win32/Release/qor5cdt_d7.bpl", "qor/lib/d7/Win32/Debug/QO_Components.dcu",
          "qor/lib/c5/Win32/Release/qor5cdt_c5.bpl", "qor/lib/c5/Win32/Release/x.hpp"})
      Touch(root_ + "/" + file);
    for (const char* file : {"XE2/bin/dcc64.exe", "D7/Lib/vcl.dcp", "D7/lib/Debug/keep.dcu",
                             "CB5/Include/keep.h", "CB5/bin/default.bpr", "Keep/tool.exe"})
      Touch(prefix_ + "/drive_c/TessikTrip/" + file);
  }
  void TearDown() override {
    Platform::Posix::UseRegistryPrefix(root_ + "/none");
    EXPECT_EQ(std::system(("rm -rf '" + root_ + "'").c_str()), 0);
  }
  void Registry(std::vector<std::string> args) { ASSERT_EQ(Tessik(exe_, prefix_, args), 0); }

  std::string root_, prefix_, exe_;
};

// What Install adds and Uninstall by design does not take away again.
bool LeftByDesign(const std::string& entry, const std::string& data, const TSnapshot& before) {
  if (entry.find("\\Tolvane\\QOR\\DevMode") != std::string::npos) return true;
  if (data == "(key)") return true;  // A key that Install created stays, emptied.
  if (data == "1:" + std::string(2, '\0')) return true;  // A path value emptied again.
  // The IDE's own Path that the system Path move created holds the kept system folders.
  bool idePath = entry.find("\\Environment Variables|Path") != std::string::npos;
  return idePath && !before.count(entry);
}

TEST_F(InstallRoundTrip, UninstallTakesAwayExactlyWhatInstallAdded) {
  Registry({"RegAdd", "HKCU\\Software\\Embarcadero\\BDS\\9.0", "/v", "RootDir", "/d",
            "C:\\TessikTrip\\XE2"});
  Registry({"RegAdd", "HKCU\\Software\\Embarcadero\\BDS\\9.0\\Library\\Win32", "/v", "Search Path",
            "/d", "C:\\Foo, Inc\\lib;C:\\Users\\O'Brien\\lib"});
  Registry({"RegAdd", "HKCU\\Software\\Embarcadero\\BDS\\9.0\\Known Packages", "/v",
            "C:\\a=b\\x.bpl", "/d", "\"quoted\""});
  Registry({"RegAdd", "HKCU\\Software\\Embarcadero\\BDS\\9.0\\Known Packages", "/v", "Count", "/t",
            "REG_DWORD", "/d", "3"});
  Registry({"RegAdd", "HKLM\\Software\\Borland\\Delphi\\7.0", "/v", "RootDir", "/d",
            "C:\\TessikTrip\\D7"});
  Registry({"RegAdd", "HKLM\\Software\\Borland\\C++Builder\\5.0", "/v", "RootDir", "/d",
            "C:\\TessikTrip\\CB5"});
  Registry({"RegAdd", "HKCU\\Environment", "/v", "Path", "/t", "REG_EXPAND_SZ", "/d",
            "C:\\Foo, Inc\\bin;%SystemRoot%"});
  TSnapshot before = Snapshot(prefix_);
  Registry({"Install"});
  TSnapshot installed = Snapshot(prefix_);
  EXPECT_GT(installed.size(), before.size() + 100);
  Registry({"Install"});
  EXPECT_EQ(Snapshot(prefix_), installed) << "a second Install changed the registry";
  Registry({"Uninstall"});
  TSnapshot after = Snapshot(prefix_);
  for (const auto& [entry, data] : before) {
    auto now = after.find(entry);
    EXPECT_TRUE(now != after.end() && now->second == data) << "changed or lost: " << entry;
  }
  for (const auto& [entry, data] : after) {
    if (!before.count(entry)) {
      EXPECT_TRUE(LeftByDesign(entry, data, before)) << "left behind: " << entry;
    }
  }
}

}  // namespace

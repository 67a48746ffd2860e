// Install followed by Uninstall, as whole processes on a prefix of their own: the registry
// afterwards equals the registry before, except for what the design leaves behind; also
// when Install was killed part way. And write-backs that fail (a full disk, a read-only
// prefix) end the run with an error and leave the registry file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "platform/posix/registry/UsePrefix.h"
#include "tests/support/DryRun.h"
#include "tests/support/TestProcess.h"

namespace {

using TSnapshot = TRegEntries;

void Walk(Platform::TRegRoot root, const std::u16string& path, const std::string& label,
          TSnapshot& out) {
  auto key = Platform::OpenRegKey(root, path);
  if (!key) return;
  out[label + Platform::ToUtf8(path)] = "(key)";
  for (const auto& name : key->ValueNames()) {
    auto data = key->QueryValue(name);
    out[label + Platform::ToUtf8(path) + " [" + Platform::ToUtf8(name) + "]"] =
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

// Runs the program on the prefix with a Path of the test's own, through `wrapper` if given.
TRunResult Tessik(const std::string& exe, const std::string& prefix,
                  const std::vector<std::string>& args, TRunOptions options = {},
                  std::vector<std::string> wrapper = {}) {
  options.Env = {"WINEPREFIX=" + prefix, "Path=C:\\TessikTrip\\Keep;C:\\TessikTrip\\Gone"};
  options.SeparateErrors = true;
  wrapper.push_back(exe);
  wrapper.insert(wrapper.end(), args.begin(), args.end());
  return RunProgramWith(wrapper, options);
}

class InstallRoundTrip : public testing::Test {
 protected:
  void SetUp() override {
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
          "qor/lib/c5/Win32/Release/qor5cdt_c5.bpl", "qor/lib/c5/Win32/Release/x.hpp",
          "qor/lib/d12/Win32/Release/qor5cdt_d12.bpl", "qor/lib/d12/Win64/Release/qor5cdt_d12.bpl"})
      Touch(root_ + "/" + file);
    for (const char* file :
         {"XE2/bin/dcc64.exe", "D7/Lib/vcl.dcp", "D7/lib/Debug/keep.dcu", "CB5/Include/keep.h",
          "CB5/bin/default.bpr", "Keep/tool.exe", "D12/bin/dcc64.exe", "D12/bin64/bds.exe"})
      Touch(prefix_ + "/drive_c/TessikTrip/" + file);
  }
  void TearDown() override { Platform::Posix::UseRegistryPrefix(root_ + "/none"); }
  void Registry(std::vector<std::string> args) { ASSERT_EQ(Tessik(exe_, prefix_, args).Status, 0); }
  // Four IDEs of different generations, with values Install must keep as they are.
  void SeedIdes() {
    Registry({"RegAdd", "HKCU\\Software\\Embarcadero\\BDS\\23.0", "/v", "RootDir", "/d",
              "C:\\TessikTrip\\D12"});
    Registry({"RegAdd", "HKCU\\Software\\Embarcadero\\BDS\\23.0\\Known Packages x64", "/v",
              "C:\\D12\\dclstd.bpl", "/d", "Standard"});
    Registry({"RegAdd", "HKCU\\Software\\Embarcadero\\BDS\\9.0", "/v", "RootDir", "/d",
              "C:\\TessikTrip\\XE2"});
    Registry({"RegAdd", "HKCU\\Software\\Embarcadero\\BDS\\9.0\\Library\\Win32", "/v",
              "Search Path", "/d", "C:\\Foo, Inc\\lib;C:\\Users\\O'Brien\\lib"});
    Registry({"RegAdd", "HKCU\\Software\\Embarcadero\\BDS\\9.0\\Known Packages", "/v",
              "C:\\a=b\\x.bpl", "/d", "\"quoted\""});
    Registry({"RegAdd", "HKCU\\Software\\Embarcadero\\BDS\\9.0\\Known Packages", "/v", "Count",
              "/t", "REG_DWORD", "/d", "3"});
    Registry({"RegAdd", "HKLM\\Software\\Borland\\Delphi\\7.0", "/v", "RootDir", "/d",
              "C:\\TessikTrip\\D7"});
    Registry({"RegAdd", "HKLM\\Software\\Borland\\C++Builder\\5.0", "/v", "RootDir", "/d",
              "C:\\TessikTrip\\CB5"});
    Registry({"RegAdd", "HKCU\\Environment", "/v", "Path", "/t", "REG_EXPAND_SZ", "/d",
              "C:\\Foo, Inc\\bin;%SystemRoot%"});
  }
  void ExpectCleaned(const TSnapshot& before, const TSnapshot& after);

  TTempFolder folder_{"tessik-trip"};
  std::string root_ = folder_.Path(), prefix_, exe_;
};

// What Install adds and Uninstall by design does not take away again.
bool LeftByDesign(const std::string& entry, const std::string& data, const TSnapshot& before) {
  if (entry.find("\\Tolvane\\QOR\\DevMode") != std::string::npos) return true;
  // The IDE is asked to rewrite its build options, after Uninstall too.
  if (entry.find("\\Globals [ForceEnvOptionsUpdate]") != std::string::npos) return true;
  if (data == "(key)") return true;  // A key that Install created stays, emptied.
  if (data == "1:" + std::string(2, '\0')) return true;  // A path value emptied again.
  // The IDE's own Path that the system Path move created holds the kept system folders.
  bool idePath = entry.find("\\Environment Variables [Path]") != std::string::npos ||
                 entry.find("\\Environment Variables x64 [Path]") != std::string::npos;
  return idePath && !before.count(entry);
}

void InstallRoundTrip::ExpectCleaned(const TSnapshot& before, const TSnapshot& after) {
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

// From the fixture's library, and from library folders named as people are: "," and "'" are
// ordinary characters of a folder name, so the user's items stay whole and the library's
// items leave whole.
TEST_F(InstallRoundTrip, UninstallTakesAwayExactlyWhatInstallAdded) {
  SeedIdes();
  TSnapshot before = Snapshot(prefix_);
  for (std::string name : {"", "Smith, John", "O'Brien, c", "Müller's, Ünïcode"}) {
    std::string library = root_ + "/" + name + "/Qorvium";
    std::string exe = name.empty() ? exe_ : library + "/bin/tool/tessik";
    if (!name.empty()) {
      std::filesystem::create_directories(library + "/bin/tool");
      std::filesystem::copy_file(TESSIK_EXE, exe);
      for (const char* file :
           {"/lib/d2012/Win32/Release/qor5cdt_d2012.bpl", "/lib/d7/Win32/Release/qor5cdt_d7.bpl",
            "/lib/c5/Win32/Release/x.hpp"})
        Touch(library + file);
    }
    ASSERT_EQ(Tessik(exe, prefix_, {"Install"}).Status, 0) << name;
    TSnapshot installed = Snapshot(prefix_);
    EXPECT_GT(installed.size(), before.size() + 100) << name;
    ASSERT_EQ(Tessik(exe, prefix_, {"Install"}).Status, 0) << name;
    EXPECT_EQ(Snapshot(prefix_), installed) << "a second Install from " << name;
    ASSERT_EQ(Tessik(exe, prefix_, {"Uninstall"}).Status, 0) << name;
    ExpectCleaned(before, Snapshot(prefix_));
  }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr int kKillTrials = 10;  // each run is several times slower
#else
constexpr int kKillTrials = 100;
#endif

// Install killed at a random moment of its run, then Uninstall: nothing may be left over.
TEST_F(InstallRoundTrip, UninstallCleansUpAfterAKilledInstall) {
  SeedIdes();
  TSnapshot before = Snapshot(prefix_);
  std::string saved = ReadFile(prefix_ + "/user.reg") + ReadFile(prefix_ + "/system.reg");
  auto start = std::chrono::steady_clock::now();
  Registry({"Install"});
  long full = long(std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::steady_clock::now() - start)
                       .count());
  Registry({"Uninstall"});
  std::mt19937 random(20261207);
  int installed = 0, untouched = 0;
  for (int trial = 0; trial < kKillTrials; ++trial) {
    // Half of the kills anywhere in the run, half in its last quarter, where the registry
    // is written back.
    long from = trial % 2 ? full * 3 / 4 : 0;
    long delay = std::uniform_int_distribution<long>(from, full)(random);
    TRunOptions killed;
    killed.KillAfterMicroseconds = delay;
    Tessik(exe_, prefix_, {"Install"}, killed);
    std::string now = ReadFile(prefix_ + "/user.reg") + ReadFile(prefix_ + "/system.reg");
    (now == saved ? untouched : installed)++;
    Registry({"Uninstall"});
    TSnapshot after = Snapshot(prefix_);
    ExpectCleaned(before, after);
    if (HasFailure()) {
      ADD_FAILURE() << "trial " << trial << ", killed after " << delay << " us of " << full;
      return;
    }
    saved = ReadFile(prefix_ + "/user.reg") + ReadFile(prefix_ + "/system.reg");
  }
  std::printf("%d trials: %d killed before the write-back, %d after it (a run: %ld us)\n",
              kKillTrials, untouched, installed, full);
}

TEST_F(InstallRoundTrip, AFullDiskEndsTheRunAndKeepsTheFile) {
  SeedIdes();
  Registry({"RegAdd", "HKCU\\Software\\TessikPad", "/d", std::string(4000, 'x')});
  std::string user = ReadFile(prefix_ + "/user.reg");
  ASSERT_GT(user.size(), 2000u);
  TRunOptions fullDisk;
  fullDisk.FileSizeLimit = long(user.size() / 2);
  TRunResult run =
      Tessik(exe_, prefix_, {"RegAdd", "HKCU\\Software\\TessikFull", "/d", "x"}, fullDisk);
  EXPECT_EQ(run.Status, 1);
  const std::string& error = run.Errors;
  EXPECT_EQ(error.rfind("ERegistryException: ", 0), 0u) << error;
  EXPECT_NE(error.find("user.reg"), std::string::npos) << error;
  EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
  EXPECT_EQ(ReadFile(prefix_ + "/user.reg"), user);
  EXPECT_EQ(std::system(("test -z \"$(ls -A '" + prefix_ + "' | grep -v -e '^drive_c$' -e " +
                         "'^dosdevices$' -e '^user.reg$' -e '^system.reg$' -e " +
                         "'^.tessik-registry.lock$')\"")
                            .c_str()),
            0)
      << "the prefix holds a left-over file";
}

// A read-only bind mount of the prefix in a mount namespace of the run's own.
TEST_F(InstallRoundTrip, AReadOnlyPrefixEndsTheRunAndKeepsTheFile) {
  std::string probe =
      "unshare -m sh -c 'mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro "
      "\"$0\" \"$0\"' '" +
      prefix_ + "' 2>/dev/null";
  if (std::system(probe.c_str()) != 0) GTEST_SKIP() << "no mount namespace here";
  SeedIdes();
  std::string user = ReadFile(prefix_ + "/user.reg");
  TRunResult run =
      Tessik(exe_, prefix_, {"RegAdd", "HKCU\\Software\\TessikReadOnly", "/d", "x"}, {},
             {"unshare", "-m", "sh", "-c",
              "mount --bind \"$WINEPREFIX\" \"$WINEPREFIX\" && "
              "mount -o remount,bind,ro \"$WINEPREFIX\" && exec \"$@\"",
              "sh"});
  EXPECT_EQ(run.Status, 1);
  const std::string& error = run.Errors;
  EXPECT_EQ(error.rfind("ERegistryException: ", 0), 0u) << error;
  EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
  EXPECT_EQ(ReadFile(prefix_ + "/user.reg"), user);
}

// A dry run prints the log of the real run and then one line per difference the real run
// makes, and changes nothing.
TEST_F(InstallRoundTrip, DryRunShowsExactlyWhatTheRunWouldChange) {
  SeedIdes();
  const std::vector<std::vector<std::string>> runs = {
      {"Install"},
      {"Install"},
      {"Uninstall"},
      {"RegAdd", "HKCU\\Software\\Embarcadero\\BDS\\9.0\\Known Packages", "/v", "New", "/d", "x"},
      {"RegDelete", "HKCU\\Software\\Embarcadero\\BDS\\9.0", "Known Packages", "/va"},
      {"RegDelete", "HKCU\\Software\\Embarcadero"}};
  for (auto args : runs) {
    SCOPED_TRACE(args[0] + " " + (args.size() > 1 ? args[1] : ""));
    TSnapshot before = Snapshot(prefix_);
    auto files = FileTree(root_);
    args.push_back("/dryrun");
    TRunResult dryRun = Tessik(exe_, prefix_, args);
    ASSERT_EQ(dryRun.Status, 0);
    EXPECT_EQ(Snapshot(prefix_), before);
    EXPECT_EQ(FileTree(root_), files) << "a dry run changed a file";
    args.pop_back();
    TRunResult realRun = Tessik(exe_, prefix_, args);
    ASSERT_EQ(realRun.Status, 0);
    const std::string &dry = dryRun.Output, &real = realRun.Output;
    ASSERT_EQ(dry.substr(0, real.size()), real);
    size_t fileLines = 0;
    EXPECT_EQ(WouldLines(dry.substr(real.size()), &fileLines),
              Differences(before, Snapshot(prefix_)));
    size_t changedFiles = 0;
    auto now = FileTree(root_);
    for (const auto& [name, bytes] : now)
      changedFiles +=
          name.find(".reg") == std::string::npos && (!files.count(name) || files.at(name) != bytes);
    for (const auto& [name, bytes] : files)
      changedFiles += !now.count(name);
    EXPECT_EQ(fileLines, changedFiles) << dry.substr(real.size());
  }
}

}  // namespace

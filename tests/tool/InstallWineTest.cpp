// Install, Uninstall and RegDelete against real Wine, on both builds: the undo file, read
// by Wine's own "reg import", puts back the registry that "reg export" saw before the run;
// and an IDE that runs stops Install and Uninstall before they change anything.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "tests/support/DryRun.h"
#include "tests/support/WinePrefix.h"

namespace {

bool HaveWindowsBuild() {
  return *TESSIK_WIN_EXE && ::access(TESSIK_WIN_EXE, F_OK) == 0;
}

// What the runs change: the IDEs' keys, the library's records and the user environment.
const char* const kExportedKeys[] = {
    "HKCU\\Software\\Borland", "HKCU\\Software\\CodeGear", "HKCU\\Software\\Embarcadero",
    "HKCU\\Software\\Tolvane", "HKCU\\Environment",        "HKLM\\Software\\Wow6432Node\\Borland"};

// The keys ("HKCU\\KEY") and values ("HKCU\\KEY [NAME]", with their data) of reg exports,
// named as a dry run names them: in the program's view, in upper case.
TRegEntries Entries(const std::string& exports) {
  TRegEntries entries;
  std::istringstream in(exports);
  std::string key;
  for (std::string line, next; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    while (!line.empty() && line[0] != '[' && line.back() == '\\' && std::getline(in, next)) {
      line.pop_back();  // hex data goes on after a backslash
      line += next.substr(next.find_first_not_of(' '));
      if (!line.empty() && line.back() == '\r') line.pop_back();
    }
    if (line.size() > 2 && line[0] == '[') {
      key = Upper(line.substr(1, line.size() - 2));
      for (auto [from, to] : {std::pair<std::string, std::string>{"HKEY_CURRENT_USER", "HKCU"},
                              {"HKEY_LOCAL_MACHINE", "HKLM"},
                              {"HKLM\\SOFTWARE\\WOW6432NODE", "HKLM\\SOFTWARE"}})
        if (key.rfind(from, 0) == 0) key.replace(0, from.size(), to);
      entries[key] = "(key)";
      continue;
    }
    if (key.empty() || line.empty() || (line[0] != '"' && line[0] != '@')) continue;
    std::string name;
    size_t at = 1;
    for (; line[0] == '"' && at < line.size() && line[at] != '"'; ++at)
      name += line[at] == '\\' ? line[++at] : line[at];
    entries[key + " [" + Upper(name) + "]"] = line.substr(line.find('=', at) + 1);
  }
  return entries;
}

class InstallWine : public testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("wine")) GTEST_SKIP() << "wine is not installed";
    wine_ = std::make_unique<TWinePrefix>();
    std::string drive = wine_->Path() + "/drive_c/";
    for (const char* file : {"TessikLib/qor/lib/d2012/Win32/Release/qor5cdt_d2012.bpl",
                             "TessikLib/qor/lib/d7/Win32/Release/qor5cdt_d7.bpl",
                             "TessikLib/qor/lib/d7/Win32/Debug/QO_Components.dcu",
                             "TessikLib/qor/lib/c5/Win32/Release/qor5cdt_c5.bpl",
                             "TessikTrip/XE2/bin/dcc64.exe", "TessikTrip/D7/Lib/vcl.dcp",
                             "TessikTrip/D7/lib/Debug/keep.dcu", "TessikTrip/CB5/bin/default.bpr"})
      Touch(drive + file);
    tool_ = drive + "TessikLib/qor/bin/tool/";
    std::filesystem::create_directories(tool_);
    std::filesystem::copy_file(TESSIK_EXE, tool_ + "tessik");
    std::filesystem::permissions(tool_ + "tessik", std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    if (HaveWindowsBuild()) std::filesystem::copy_file(TESSIK_WIN_EXE, tool_ + "Tessik.exe");
    for (std::vector<std::string> add :
         {std::vector<std::string>{"HKCU\\Software\\Embarcadero\\BDS\\9.0", "/v", "RootDir", "/d",
                                   "C:\\TessikTrip\\XE2"},
          {"HKCU\\Software\\Embarcadero\\BDS\\9.0\\Known Packages", "/v", "C:\\a\\x.bpl", "/d",
           "Other"},
          {"HKCU\\Software\\Embarcadero\\BDS\\9.0\\Known Packages", "/v", "Count", "/t",
           "REG_DWORD", "/d", "-2"},
          {"HKCU\\Software\\Embarcadero\\BDS\\9.0\\Library\\Win32", "/v", "Search Path", "/d",
           "C:\\Foo, Inc\\lib"},
          {"HKLM\\Software\\Borland\\Delphi\\7.0", "/v", "RootDir", "/d", "C:\\TessikTrip\\D7"},
          {"HKLM\\Software\\Borland\\C++Builder\\5.0", "/v", "RootDir", "/d",
           "C:\\TessikTrip\\CB5"}}) {
      add.insert(add.begin(), "RegAdd");
      ASSERT_EQ(Tessik(false, add).Status, 0);
    }
  }

  // Runs one build of the program; the POSIX one with the prefix's wineserver stopped, as
  // it refuses to write while one runs.
  TRunResult Tessik(bool windows, std::vector<std::string> args, bool stopServer = true) {
    if (windows) {
      args.insert(args.begin(), {"wine", WindowsPath(tool_ + "Tessik.exe")});
      return wine_->Run(args);
    }
    if (stopServer) wine_->StopServer();
    args.insert(args.begin(), tool_ + "tessik");
    return RunProgram(args, {"WINEPREFIX=" + wine_->Path()});
  }

  // The keys the runs change as "wine reg export" writes them (text that is not ASCII as
  // "?").
  std::string Export() {
    std::string all, file = wine_->Path() + "/export.reg";
    for (const char* key : kExportedKeys) {
      // A missing key is no file and reg's message. Anything else without a file is Wine
      // failing to start reg, which a busy machine sees now and then: reg runs again.
      TRunResult run;
      auto answered = [&] {
        return run.Status == 0 || run.Output.find("Unable to find") != std::string::npos;
      };
      for (int attempt = 0; attempt < 3 && (attempt == 0 || !answered()); ++attempt) {
        ::unlink(file.c_str());
        run = wine_->Run({"wine", "reg", "export", key, WindowsPath(file), "/y"});
      }
      EXPECT_TRUE(answered()) << "reg export " << key << ": " << run.Output;
      std::string bytes = ::access(file.c_str(), F_OK) ? "" : ReadFile(file);
      all += std::string(key) + "\n";
      for (size_t i = 2; i + 1 < bytes.size(); i += 2)  // UTF-16 after the byte-order mark
        all += bytes[i + 1] || bytes[i] < 0 ? '?' : bytes[i];
    }
    return all;
  }

  // Runs dry, then with an undo file, imports that with Wine's reg and expects the registry
  // as before. The dry run prints the real run's log and changes nothing.
  void ExpectUndone(bool windows, std::vector<std::string> args) {
    SCOPED_TRACE(args[0]);
    std::string before = Export(), undo = wine_->Path() + "/undo.reg";
    auto files = FileTree(wine_->Path() + "/drive_c/TessikTrip");
    args.push_back("/dryrun");
    TRunResult dry = Tessik(windows, args);
    ASSERT_EQ(dry.Status, 0) << dry.Output;
    EXPECT_EQ(Export(), before);
    EXPECT_EQ(FileTree(wine_->Path() + "/drive_c/TessikTrip"), files);
    args.back() = "/undo";
    args.push_back(WindowsPath(undo));
    TRunResult real = Tessik(windows, args);
    ASSERT_EQ(real.Status, 0) << real.Output;
    EXPECT_EQ(dry.Output.substr(0, real.Output.size()), real.Output);
    EXPECT_EQ(dry.Output.find("Would ", real.Output.size()), real.Output.size());
    wine_->StopServer();
    std::string after = Export();
    ASSERT_NE(after, before) << "the run changed nothing";
    EXPECT_EQ(WouldLines(dry.Output.substr(real.Output.size())),
              Differences(Entries(before), Entries(after)));
    TRunResult import = wine_->Run({"wine", "reg", "import", WindowsPath(undo)});
    EXPECT_EQ(import.Status, 0) << import.Output;
    EXPECT_EQ(Export(), before) << ReadFile(undo) << real.Output;
  }

  std::unique_ptr<TWinePrefix> wine_;
  std::string tool_;
};

TEST_F(InstallWine, TheUndoFilePutsTheRegistryBack) {
  for (bool windows : {false, true}) {
    if (windows && !HaveWindowsBuild()) continue;
    SCOPED_TRACE(windows ? "Windows build" : "POSIX build");
    ExpectUndone(windows, {"Install"});
    ASSERT_EQ(Tessik(windows, {"Install"}).Status, 0);
    ExpectUndone(windows, {"Uninstall"});
    ExpectUndone(windows, {"RegDelete", "HKCU\\Software\\Embarcadero"});
    ExpectUndone(windows, {"RegDelete", "HKLM\\Software\\Borland\\C++Builder"});
    ASSERT_EQ(Tessik(windows, {"Uninstall"}).Status, 0);
  }
}

TEST_F(InstallWine, ARunningIdeStopsInstallAndUninstall) {
  if (!HaveWindowsBuild() || ::access(TESSIK_WIN_FAKE_IDE, F_OK) != 0)
    GTEST_SKIP() << "no Windows build (configure with TESSIK_WIN_BUILD_DIR)";
  std::string ide = wine_->Path() + "/drive_c/TessikTrip/XE2/bin/bds.exe";
  std::filesystem::copy_file(TESSIK_WIN_FAKE_IDE, ide);
  std::string before = Export();
  pid_t running = StartProgram({"wine", "C:\\TessikTrip\\XE2\\bin\\bds.exe"},
                               {"WINEPREFIX=" + wine_->Path(), "WINEDEBUG=-all"}, "");
  const std::string refused =
      "Exception: RAD Studio XE2 is running (C:\\TessikTrip\\XE2\\bin\\bds.exe); close it and "
      "run again, or add /ignoreide\r\n";
  for (int i = 0; i < 50; ++i) {  // until the IDE runs; a dry run changes nothing meanwhile
    if (Tessik(true, {"Install", "d2012", "/dryrun"}).Status == 1) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  for (std::vector<std::string> args : {std::vector<std::string>{"Install", "d2012"},
                                        {"Uninstall", "d2012"},
                                        {"Install"},
                                        {"Uninstall", "All", "/dryrun"}}) {
    TRunResult run = Tessik(true, args);
    EXPECT_EQ(run.Status, 1) << args[0];
    EXPECT_NE(run.Output.find(refused), std::string::npos) << run.Output;
  }
  EXPECT_EQ(Export(), before);
  // The POSIX build cannot write while the prefix's wineserver runs, and says why; a dry
  // run fails alike.
  for (const char* dry : {"/ignoreide", "/dryrun"}) {
    TRunResult posix = Tessik(false, {"Install", "d2012", dry}, false);
    EXPECT_EQ(posix.Status, 1);
    EXPECT_NE(posix.Output.find("perhaps the IDE"), std::string::npos) << posix.Output;
  }
  EXPECT_EQ(Tessik(true, {"Install", "d2012", "/ignoreide"}).Status, 0);
  EXPECT_NE(Export(), before);
  ::kill(running, SIGKILL);  // the stand-in IDE would wait two minutes
  WaitProgram(running);
}

}  // namespace

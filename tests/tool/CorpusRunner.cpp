// Runs the command-line corpus against a Tessik binary: natively (argv) or, with --wine,
// a Windows build through a batch file run by Wine's cmd, as installer batch files run it.
//
//   corpus_runner --exe PATH [--wine] [--wine-run SCRIPT] CORPUS_DIR
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "tests/support/TestProcess.h"
#include "tests/tool/Corpus.h"

namespace {

struct TRunnerOptions {
  std::string Exe;
  std::string ShowFile;  // Writes each case's actual output there, in the corpus form.
  std::string WineRun;
  bool Wine = false;
};

TRunnerOptions gOptions;

// The text without its frame lines: lines of dashes and blanks only, such as a report draws
// around each of its parts.
std::string WithoutFrames(const std::string& text) {
  std::string kept;
  for (size_t begin = 0, end; begin < text.size(); begin = end) {
    end = std::min(text.find('\n', begin), text.size() - 1) + 1;
    std::string_view line(text.data() + begin, end - begin);
    std::string_view body = line.substr(0, line.find_first_of("\r\n"));
    if (body.find('-') == body.npos || body.find_first_not_of("- ") != body.npos) kept += line;
  }
  return kept;
}

std::string BatchLine(const std::string& exe, const std::string& tail) {
  std::string line = "\"" + WindowsPath(exe) + "\"";
  if (!tail.empty()) line += " " + EscapeForBatch(tail);
  return line;
}

// The batch file that runs one case: the same command line a POSIX run rebuilds. It first
// writes a line to `log` (a Windows path), to show that it ran; the stage-setting runs
// before the case append what they print there, and a line for each that failed. The
// clean-up runs after it print nothing.
std::string BatchFile(const std::string& exe, const TCorpusCase& c, const std::string& log) {
  std::string batch = "@echo off\r\necho The batch file started.>\"" + log + "\"\r\n";
  for (size_t k = 0; k < c.Before.size(); ++k) {
    batch += BatchLine(exe, WindowsCommandLine(c.Before[k])) + " >>\"" + log + "\" 2>&1\r\n";
    batch += "if not %ERRORLEVEL%==0 echo *** exit %ERRORLEVEL% of run " + std::to_string(k + 1) +
             " before the case>>\"" + log + "\"\r\n";
  }
  batch += BatchLine(exe, c.Raw ? *c.Raw : WindowsCommandLine(c.Args)) + "\r\n";
  batch += "set TESSIK_RC=%ERRORLEVEL%\r\n";
  for (const auto& args : c.After)
    batch += BatchLine(exe, WindowsCommandLine(args)) + " >NUL 2>NUL\r\n";
  return batch + "exit /b %TESSIK_RC%\r\n";
}

// The exit code of Wine's cmd for a program it could not start.
constexpr int kCannotStart = 9009;

// How often a Windows case runs when Wine fails to start one of its programs. On a busy
// machine Wine now and then fails to start a program that it starts every other time;
// cmd then says it cannot recognise the command.
constexpr int kWineAttempts = 3;

// Runs the program natively with `args` in the case folder.
TRunResult RunNative(const std::string& exe, const std::vector<std::string>& args,
                     const TRunOptions& options) {
  std::vector<std::string> argv = {exe};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgramWith(argv, options);
}

void MakeFolders(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) ADD_FAILURE() << "cannot create " << path;
}

// The user's environment both builds start from: a Windows run sees the shared prefix's,
// which PrepareWine sets to these values.
constexpr const char* kTempFolder = "C:\\windows\\temp";

// The case's own Wine prefix (POSIX build): drive C: in the prefix, Z: the Unix root, and
// a user registry holding the same environment as the Windows run's prefix.
void MakePrefix(const std::string& prefix) {
  MakeFolders(prefix + "/drive_c");
  MakeFolders(prefix + "/dosdevices");
  if (::symlink("../drive_c", (prefix + "/dosdevices/c:").c_str()) != 0 ||
      ::symlink("/", (prefix + "/dosdevices/z:").c_str()) != 0)
    ADD_FAILURE() << "cannot link the drives of " << prefix;
  std::string temp = "\"C:\\\\windows\\\\temp\"";
  WriteFile(prefix + "/user.reg",
            "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
            "#arch=win64\n\n[Environment] 1796596995\n#time=1dd85d32eb31da0\n\"TEMP\"=" +
                temp + "\n\"TMP\"=" + temp + "\n");
}

// Writes the case's files: "C:/..." into the prefix's drive C:, others into the case folder.
void WriteCaseFiles(const TCorpusCase& c, const std::string& dir, const std::string& prefix,
                    const std::string& root) {
  for (const auto& [name, bytes] : c.Files) {
    bool driveC = name.rfind("C:/", 0) == 0;
    std::string path = driveC ? prefix + "/drive_c/" + name.substr(3) : dir + "/" + name;
    MakeFolders(path.substr(0, path.rfind('/')));
    WriteFile(path, Substitute(bytes, root));
  }
}

// A copy of the program inside the case folder, for cases that depend on where it runs.
std::string InstalledCopy(const TCorpusCase& c, const std::string& dir) {
  if (c.InstallAt.empty()) return gOptions.Exe;
  std::string folder = dir + "/" + c.InstallAt;
  MakeFolders(folder);
  std::string copy = folder + gOptions.Exe.substr(gOptions.Exe.rfind('/'));
  std::error_code error;
  std::filesystem::copy_file(gOptions.Exe, copy, error);
  if (error) ADD_FAILURE() << "cannot copy the program";
  return copy;
}

std::vector<std::string> Substituted(std::vector<std::string> args, const std::string& root) {
  for (auto& a : args)
    a = Substitute(a, root);
  return args;
}

TCorpusCase WithRoot(TCorpusCase c, const std::string& root) {
  c.Args = Substituted(c.Args, root);
  for (auto& args : c.Before)
    args = Substituted(args, root);
  for (auto& args : c.After)
    args = Substituted(args, root);
  if (c.Raw) c.Raw = Substitute(*c.Raw, root);
  c.Stdout = Substitute(c.Stdout, root);
  c.Stderr = Substitute(c.Stderr, root);
  return c;
}

// Appends what the case printed, as corpus blocks with the case folder as {ROOT}, so that
// a new case's expectations can be written from a run and then checked by eye.
void ShowActual(const TCorpusCase& c, const TRunResult& run, const std::string& root) {
  std::string shown = "=== " + c.Name + "\n";
  for (auto [stream, output] : {std::pair{"stdout", run.Output}, {"stderr", run.Errors}}) {
    std::string text = output;
    if (text.empty()) continue;
    shown += std::string("--- ") + stream + "\n";
    for (std::string line; !text.empty();) {
      size_t end = text.find('\n');
      line = text.substr(0, end == std::string::npos ? text.size() : end);
      text.erase(0, end == std::string::npos ? text.size() : end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      for (size_t at = line.find(root); at != std::string::npos; at = line.find(root))
        line.replace(at, root.size(), "{ROOT}");
      shown += "|" + line + "\n";
    }
  }
  if (run.Status != 0) shown += "--- exit " + std::to_string(run.Status) + "\n";
  std::ofstream(gOptions.ShowFile, std::ios::app) << shown << "\n";
}

// Runs the case once; false when Wine could not start one of its programs, and the case
// should run again.
bool RunCaseOnce(const TCorpusCase& given, bool lastAttempt) {
  TTempFolder folder("tessik-case");
  const std::string& dir = folder.Path();
  std::string root = WindowsPath(dir);
  TCorpusCase c = WithRoot(given, root);
  std::string prefix = gOptions.Wine ? std::getenv("WINEPREFIX") : dir + "/prefix";
  if (!gOptions.Wine) MakePrefix(prefix);
  WriteCaseFiles(c, dir, prefix, root);
  std::string exe = InstalledCopy(c, dir);
  TRunOptions options;
  options.Env = {"WINEPREFIX=" + prefix};
  options.Dir = dir;
  options.SeparateErrors = true;
  for (const auto& [name, value] : c.Env)
    options.Env.push_back(name + "=" + value);
  TRunResult run;
  // A stage that failed makes the case's own result meaningless: it is reported with what
  // the stage printed.
  std::string stageFailures;
  if (gOptions.Wine) {
    TTempFolder logFolder("tessik-stage");
    std::string log = logFolder.Path() + "/stage.log";
    WriteFile(dir + "/case.bat", BatchFile(exe, c, WindowsPath(log)));
    run = RunProgramWith({gOptions.WineRun, "cmd", "/c", WindowsPath(dir + "/case.bat")}, options);
    std::string stages = ::access(log.c_str(), F_OK) == 0 ? ReadFile(log) : "";
    if (stages.find("*** exit ") != std::string::npos) stageFailures = stages;
    bool started = !stages.empty() &&
                   stages.find("*** exit " + std::to_string(kCannotStart)) == std::string::npos;
    if ((!started || run.Status == kCannotStart) && !lastAttempt) {
      std::fprintf(stderr, "note: %s.%s: Wine did not start a program; the case runs again\n",
                   c.Suite.c_str(), c.Name.c_str());
      std::filesystem::remove_all(prefix + "/drive_c/TessikCorpus");
      return false;
    }
  } else {
    for (const auto& args : c.Before) {
      TRunResult stage = RunNative(exe, args, options);
      if (stage.Status != 0)
        stageFailures += stage.Output + stage.Errors + "*** exit " + std::to_string(stage.Status) +
                         " of: " + WindowsCommandLine(args) + "\n";
    }
    run = RunNative(exe, c.Args, options);
  }
  EXPECT_EQ(stageFailures, "") << "a run before the case failed";
  if (!gOptions.ShowFile.empty()) ShowActual(c, run, root);
  auto where = [&](const std::string& name) {
    return name.rfind("C:/", 0) == 0 ? prefix + "/drive_c/" + name.substr(3) : dir + "/" + name;
  };
  for (const auto& name : c.Exists)
    EXPECT_EQ(::access(where(name).c_str(), F_OK), 0) << name << " should exist";
  for (const auto& name : c.Absent)
    EXPECT_NE(::access(where(name).c_str(), F_OK), 0) << name << " should not exist";
  for (const auto& [name, bytes] : c.ExpectFiles)
    EXPECT_EQ(LineDiff(Substitute(bytes, root), ReadFile(where(name))), "") << name;
  if (!c.IgnoreStdout) {
    EXPECT_EQ(LineDiff(c.Stdout, c.SkipFrames ? WithoutFrames(run.Output) : run.Output), "")
        << "standard output";
  }
  EXPECT_EQ(LineDiff(c.Stderr, run.Errors), "") << "standard error";
  EXPECT_EQ(run.Status, c.ExitCode) << "exit code";
  if (gOptions.Wine) std::filesystem::remove_all(prefix + "/drive_c/TessikCorpus");
  return true;
}

void RunCase(const TCorpusCase& c) {
  int attempts = gOptions.Wine ? kWineAttempts : 1;
  for (int attempt = 1; !RunCaseOnce(c, attempt == attempts); ++attempt) {
  }
}

class CorpusTest : public testing::Test {
 public:
  explicit CorpusTest(TCorpusCase c) : case_(std::move(c)) {}
  void TestBody() override { RunCase(case_); }

 private:
  TCorpusCase case_;
};

void PrepareWine() {
  std::string prefix = std::getenv("TESSIK_WINEPREFIX")
                           ? std::getenv("TESSIK_WINEPREFIX")
                           : "/tmp/tessik-wine-prefix-" + std::to_string(::getuid());
  ::setenv("WINEPREFIX", prefix.c_str(), 1);
  ::setenv("WINEDEBUG", "-all", 1);
  // Creates the prefix if needed and waits until its server has ended; then starts the one
  // server that the whole corpus runs on. A server that starts while another ends can fail
  // the program that started it, and a server cannot be made to stay once it runs.
  std::string init = gOptions.WineRun + " cmd /c exit >/dev/null 2>&1";
  std::string ended = "timeout 120 wineserver -w >/dev/null 2>&1";
  std::string keep = "wineserver -p30 >/dev/null 2>&1";
  if (std::system(init.c_str()) != 0 || std::system(ended.c_str()) != 0 ||
      std::system(keep.c_str()) != 0)
    std::fprintf(stderr, "warning: Wine did not start cleanly\n");
  for (const char* name : {"TEMP", "TMP"}) {
    std::string set = gOptions.WineRun + " reg add HKCU\\\\Environment /v " + name + " /d '" +
                      kTempFolder + "' /f >/dev/null 2>&1";
    if (std::system(set.c_str()) != 0) std::fprintf(stderr, "warning: cannot set %s\n", name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string corpusDir;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--exe" && i + 1 < argc) {
      gOptions.Exe = argv[++i];
    } else if (a == "--show" && i + 1 < argc) {
      gOptions.ShowFile = argv[++i];
    } else if (a == "--wine-run" && i + 1 < argc) {
      gOptions.WineRun = argv[++i];
      gOptions.Wine = true;
    } else {
      corpusDir = a;
    }
  }
  if (gOptions.Exe.empty() || corpusDir.empty()) {
    std::fprintf(stderr, "usage: corpus_runner --exe PATH [--wine-run SCRIPT] CORPUS_DIR\n");
    return 2;
  }
  char resolved[4096];
  if (::realpath(gOptions.Exe.c_str(), resolved)) gOptions.Exe = resolved;
  if (gOptions.Wine && ::realpath(gOptions.WineRun.c_str(), resolved)) gOptions.WineRun = resolved;
  if (gOptions.Wine) PrepareWine();
  for (auto& c : LoadCorpus(corpusDir)) {
    bool skip = gOptions.Wine ? c.PosixOnly : c.Raw.has_value() || c.WindowsOnly;
    if (skip) continue;
    std::string suite = c.Suite;
    std::string name = c.Name;
    testing::RegisterTest(suite.c_str(), name.c_str(), nullptr, nullptr, c.File.c_str(), c.Line,
                          [c]() -> testing::Test* { return new CorpusTest(c); });
  }
  return RUN_ALL_TESTS();
}

// Runs the command-line corpus against a Tessik binary: natively (argv) or, with --wine,
// a Windows build through a batch file run by Wine's cmd, as installer batch files run it.
//
//   corpus_runner --exe PATH [--wine] [--wine-run SCRIPT] CORPUS_DIR
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/tool/Corpus.h"

namespace {

struct TRunnerOptions {
  std::string Exe;
  std::string WineRun;
  bool Wine = false;
};

TRunnerOptions gOptions;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string MakeTempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessik-case-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

void RemoveTree(const std::string& path) {
  std::string command = "rm -rf '" + path + "'";
  if (std::system(command.c_str()) != 0) ADD_FAILURE() << "cannot remove " << path;
}

// Runs argv in `dir` with stdout and stderr to files; returns the exit status.
int Run(const std::vector<std::string>& argv, const std::string& dir,
        const std::vector<std::pair<std::string, std::string>>& env) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) _exit(126);
    int out = ::open("stdout.bin", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open("stderr.bin", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = ::open("/dev/null", O_RDONLY);
    ::dup2(out, 1), ::dup2(err, 2), ::dup2(in, 0);
    for (const auto& [name, value] : env)
      ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// The batch file that runs one case: the same command line a POSIX run rebuilds.
std::string BatchFile(const TCorpusCase& c) {
  std::string line = "\"" + WindowsPath(gOptions.Exe) + "\"";
  std::string rest = c.Raw ? *c.Raw : WindowsCommandLine(c.Args);
  if (!rest.empty()) line += " " + EscapeForBatch(rest);
  return "@echo off\r\n" + line + "\r\nexit /b %ERRORLEVEL%\r\n";
}

void RunCase(const TCorpusCase& c) {
  std::string dir = MakeTempDir();
  for (const auto& [name, bytes] : c.Files)
    WriteFile(dir + "/" + name, bytes);
  std::vector<std::pair<std::string, std::string>> env = c.Env;
  env.emplace_back("WINEPREFIX", gOptions.Wine ? std::getenv("WINEPREFIX") : dir + "/prefix");
  std::vector<std::string> argv;
  if (gOptions.Wine) {
    WriteFile(dir + "/case.bat", BatchFile(c));
    argv = {gOptions.WineRun, "cmd", "/c", WindowsPath(dir + "/case.bat")};
  } else {
    argv = {gOptions.Exe};
    argv.insert(argv.end(), c.Args.begin(), c.Args.end());
  }
  int exitCode = Run(argv, dir, env);
  EXPECT_EQ(LineDiff(c.Stdout, ReadFile(dir + "/stdout.bin")), "") << "standard output";
  EXPECT_EQ(LineDiff(c.Stderr, ReadFile(dir + "/stderr.bin")), "") << "standard error";
  EXPECT_EQ(exitCode, c.ExitCode) << "exit code";
  RemoveTree(dir);
}

class CorpusTest : public testing::Test {
 public:
  explicit CorpusTest(TCorpusCase c) : case_(std::move(c)) {}
  void TestBody() override { RunCase(case_); }

 private:
  TCorpusCase case_;
};

void PrepareWine() {
  std::string prefix = std::getenv("TESSIK_WINEPREFIX") ? std::getenv("TESSIK_WINEPREFIX")
                                                        : "/tmp/tessik-wine-prefix-" + std::to_string(::getuid());
  ::setenv("WINEPREFIX", prefix.c_str(), 1);
  ::setenv("WINEDEBUG", "-all", 1);
  // Creates the prefix if needed, then keeps one wineserver for the whole corpus.
  std::string init = gOptions.WineRun + " cmd /c exit >/dev/null 2>&1";
  std::string keep = "wineserver -p 20 >/dev/null 2>&1";
  if (std::system(init.c_str()) != 0 || std::system(keep.c_str()) != 0)
    std::fprintf(stderr, "warning: Wine did not start cleanly\n");
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string corpusDir;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--exe" && i + 1 < argc) {
      gOptions.Exe = argv[++i];
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

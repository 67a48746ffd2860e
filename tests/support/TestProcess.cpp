#include "tests/support/TestProcess.h"

#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

void PutEnv(const std::vector<std::string>& env) {
  for (const std::string& e : env)
    ::putenv(const_cast<char*>(e.c_str()));
}

[[noreturn]] void Exec(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ::execvp(args[0], args.data());
  ::_exit(127);
}

// An unnamed temporary file holding `input`, positioned at its start.
int TempFileWith(const std::string& input) {
  char name[] = "/tmp/tessik-input-XXXXXX";
  int fd = ::mkstemp(name);
  ::unlink(name);
  if (::write(fd, input.data(), input.size()) != ssize_t(input.size())) std::perror("write");
  ::lseek(fd, 0, SEEK_SET);
  return fd;
}

// What was written to the file `fd` from its start; closes it.
std::string ReadBack(int fd) {
  std::string text;
  ::lseek(fd, 0, SEEK_SET);
  char buf[4096];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
    text.append(buf, size_t(n));
  ::close(fd);
  return text;
}

pid_t Start(const std::function<int()>& body, const std::vector<std::string>& env,
            const std::string& input, int* output) {
  int in = TempFileWith(input);
  int out[2] = {-1, -1};
  if (output && ::pipe(out) != 0) return -1;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in, 0);
    ::dup2(output ? out[1] : ::open("/dev/null", O_WRONLY), 1);
    if (output) ::close(out[0]);
    PutEnv(env);
    ::_exit(body());
  }
  ::close(in);
  if (output) {
    ::close(out[1]);
    *output = out[0];
  }
  return pid;
}

// Runs `body` in a child process as `options` say; its result is the child's exit code.
TRunResult RunChild(const std::function<int()>& body, const TRunOptions& options) {
  // Files, not pipes, take the output: a wineserver started by the program inherits them
  // and would keep a pipe open for seconds after the program ended.
  int out = TempFileWith("");
  int err = options.SeparateErrors ? TempFileWith("") : -1;
  int in = TempFileWith(options.Input);
  pid_t pid = ::fork();
  if (pid == 0) {
    if (!options.Dir.empty() && ::chdir(options.Dir.c_str()) != 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err >= 0 ? err : out, 2);
    PutEnv(options.Env);
    if (options.FileSizeLimit >= 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      rlimit limit{rlim_t(options.FileSizeLimit), rlim_t(options.FileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::_exit(body());
  }
  ::close(in);
  if (options.KillAfterMicroseconds >= 0) {
    timespec delay{options.KillAfterMicroseconds / 1000000,
                   (options.KillAfterMicroseconds % 1000000) * 1000};
    ::nanosleep(&delay, nullptr);
    ::kill(pid, SIGKILL);
  }
  TRunResult result;
  result.Status = WaitProgram(pid);
  result.Output = ReadBack(out);
  if (err >= 0) result.Errors = ReadBack(err);
  return result;
}

}  // namespace

TRunResult RunProgramWith(const std::vector<std::string>& argv, const TRunOptions& options) {
  return RunChild([&]() -> int { Exec(argv); }, options);
}

TRunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      const std::string& input) {
  TRunOptions options;
  options.Env = env;
  options.Input = input;
  return RunProgramWith(argv, options);
}

pid_t StartProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& input, int* output) {
  return Start([&]() -> int { Exec(argv); }, env, input, output);
}

pid_t StartChild(const std::function<void()>& body, int* output) {
  return Start([&] { return body(), 0; }, {}, "", output);
}

std::string ReadUntil(int fd, const std::string& end) {
  std::string text;
  char c;
  while (
      (text.size() < end.size() || text.compare(text.size() - end.size(), end.size(), end) != 0) &&
      ::read(fd, &c, 1) == 1)
    text.push_back(c);
  return text;
}

int WaitProgram(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void Touch(const std::string& path) {
  std::filesystem::create_directories(path.substr(0, path.rfind('/')));
  WriteFile(path, "");
}

std::map<std::string, std::string> FileTree(const std::string& folder) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) tree[entry.path().string()] = ReadFile(entry.path().string());
  return tree;
}

std::string WindowsPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return "Z:" + path;
}

bool HaveProgram(const std::string& name) {
  return RunProgram({"sh", "-c", "command -v " + name}, {}).Status == 0;
}

TTempFolder::TTempFolder(const std::string& stem) {
  const char* tmp = std::getenv("TMPDIR");
  path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + stem + "-XXXXXX";
  if (!::mkdtemp(path_.data())) std::perror("mkdtemp");
}

TTempFolder::~TTempFolder() {
  ::nftw(
      path_.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

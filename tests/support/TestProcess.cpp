#include "tests/support/TestProcess.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

[[noreturn]] void Exec(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  for (const std::string& e : env)
    ::putenv(const_cast<char*>(e.c_str()));
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

}  // namespace

TRunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      const std::string& input) {
  // A file, not a pipe, takes the output: a wineserver started by the program inherits it
  // and would keep a pipe open for seconds after the program ended.
  int out = TempFileWith("");
  int in = TempFileWith(input);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    Exec(argv, env);
  }
  ::close(in);
  TRunResult result;
  result.Status = WaitProgram(pid);
  ::lseek(out, 0, SEEK_SET);
  char buf[4096];
  for (ssize_t n; (n = ::read(out, buf, sizeof buf)) > 0;)
    result.Output.append(buf, size_t(n));
  ::close(out);
  return result;
}

pid_t StartProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& input, int* output) {
  int in = TempFileWith(input);
  int out[2] = {-1, -1};
  if (output && ::pipe(out) != 0) return -1;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in, 0);
    ::dup2(output ? out[1] : ::open("/dev/null", O_WRONLY), 1);
    if (output) ::close(out[0]);
    Exec(argv, env);
  }
  ::close(in);
  if (output) {
    ::close(out[1]);
    *output = out[0];
  }
  return pid;
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

bool HaveProgram(const std::string& name) {
  return RunProgram({"sh", "-c", "command -v " + name}, {}).Status == 0;
}

TTempFolder::TTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessik-regtest-XXXXXX";
  if (!::mkdtemp(path_.data())) std::perror("mkdtemp");
}

TTempFolder::~TTempFolder() {
  ::nftw(
      path_.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

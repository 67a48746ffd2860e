// POSIX test helpers: running programs (the driver, wine) and small file utilities.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct TRunResult {
  int Status = -1;  // the exit code; -1 when the program did not exit normally
  std::string Output;
};

/// Runs `argv` with extra environment entries ("NAME=value"), feeding `input` to its
/// standard input; collects standard output and standard error.
TRunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      const std::string& input = "");

/// Starts `argv` with `input` on its standard input and returns at once. Its standard
/// output goes to `*output` (a pipe to read) when given, else nowhere.
pid_t StartProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& input, int* output = nullptr);

/// Reads from `fd` until the text read so far ends with `end` (or the pipe closes).
std::string ReadUntil(int fd, const std::string& end);

/// Waits for a started program; returns its exit code, or -1 when a signal ended it.
int WaitProgram(pid_t pid);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

/// Whether `name` is a program on the PATH.
bool HaveProgram(const std::string& name);

/// A temporary folder, removed with everything in it at the end.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

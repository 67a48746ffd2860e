// POSIX test helpers: running programs (the driver, the program, wine) and small file
// utilities.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

struct TRunResult {
  int Status = -1;     // the exit code; -1 when the program did not exit normally
  std::string Output;  // standard output, and standard error unless SeparateErrors
  std::string Errors;  // standard error with SeparateErrors
};

struct TRunOptions {
  std::vector<std::string> Env;     // extra environment entries, "NAME=value"
  std::string Input;                // standard input
  std::string Dir;                  // the working folder; empty: this process's
  bool SeparateErrors = false;      // standard error to Errors instead of Output
  long FileSizeLimit = -1;          // the bytes a file may grow to: a full disk
  long KillAfterMicroseconds = -1;  // ends the run with SIGKILL after this long
};

/// Runs `argv` as `options` say and collects what it printed.
TRunResult RunProgramWith(const std::vector<std::string>& argv, const TRunOptions& options);

/// Runs `argv` with extra environment entries ("NAME=value"), feeding `input` to its
/// standard input; collects standard output and standard error.
TRunResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      const std::string& input = "");

/// Starts `argv` with `input` on its standard input and returns at once. Its standard
/// output goes to `*output` (a pipe to read) when given, else nowhere.
pid_t StartProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& input, int* output = nullptr);

/// Starts `body` in a child process that ends when it returns; its standard output goes to
/// `*output` (a pipe to read).
pid_t StartChild(const std::function<void()>& body, int* output);

/// Reads from `fd` until the text read so far ends with `end` (or the pipe closes).
std::string ReadUntil(int fd, const std::string& end);

/// Waits for a started program; returns its exit code, or -1 when a signal ended it.
int WaitProgram(pid_t pid);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
/// Creates an empty file, and the folders it is in.
void Touch(const std::string& path);
/// Every file below `folder` with its contents.
std::map<std::string, std::string> FileTree(const std::string& folder);
/// A Unix path as Wine's Z: drive shows it.
std::string WindowsPath(std::string path);

/// Whether `name` is a program on the PATH.
bool HaveProgram(const std::string& name);

/// A temporary folder named after `stem`, removed with everything in it at the end.
class TTempFolder {
 public:
  explicit TTempFolder(const std::string& stem = "tessik-regtest");
  ~TTempFolder();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

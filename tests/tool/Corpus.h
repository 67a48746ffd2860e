// The command-line corpus: cases of an argument list with the expected standard output,
// standard error and exit code, kept in text files under tests/corpus.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TCorpusCase {
  std::string Suite;  // The file's name without extension.
  std::string Name;
  std::string File;
  int Line = 0;
  std::vector<std::string> Args;   // argv after the program, UTF-8.
  std::optional<std::string> Raw;  // A raw Windows command line tail (Windows build only).
  std::vector<std::pair<std::string, std::string>> Env;
  std::vector<std::pair<std::string, std::string>> Files;  // Name and bytes.
  std::string Stdout;
  std::string Stderr;
  int ExitCode = 0;
  bool PosixOnly = false;
  bool WindowsOnly = false;
};

/// Reads every *.txt file of the folder; fails (throws) on a malformed case.
std::vector<TCorpusCase> LoadCorpus(const std::string& folder);

/// The command line tail that the POSIX build rebuilds from these arguments.
std::string WindowsCommandLine(const std::vector<std::string>& args);

/// Escapes a command line for a batch file: "%" doubled, "^ & | < >" escaped outside quotes.
std::string EscapeForBatch(const std::string& line);

/// Empty when equal; otherwise the lines that differ, marked "-" expected and "+" actual.
std::string LineDiff(const std::string& expected, const std::string& actual);

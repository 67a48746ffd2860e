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
  std::vector<std::string> Args;                 // argv after the program, UTF-8.
  std::vector<std::vector<std::string>> Before;  // Runs of the same program that set the stage.
  std::vector<std::vector<std::string>> After;   // Runs that clean up (a Wine prefix is shared).
  std::optional<std::string> Raw;  // A raw Windows command line tail (Windows build only).
  std::vector<std::pair<std::string, std::string>> Env;
  std::vector<std::pair<std::string, std::string>>
      Files;  // Name and bytes; "C:/..." in the prefix.
  std::string InstallAt;
  std::vector<std::string> Exists;  // Files that must exist after the run ("C:/..." too).
  std::vector<std::string> Absent;  // Files that must not.
  std::vector<std::pair<std::string, std::string>> ExpectFiles;  // Name and bytes after the run.
  bool IgnoreStdout = false;  // Folder of the case where a copy of the program runs from.
  bool SkipFrames = false;    // Standard output is compared without its frame lines.
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

/// Replaces every "{ROOT}" with `root`.
std::string Substitute(std::string text, const std::string& root);

/// Escapes a command line for a batch file: "%" doubled, "^ & | < >" escaped outside quotes.
std::string EscapeForBatch(const std::string& line);

/// Empty when equal; otherwise the lines that differ, marked "-" expected and "+" actual.
std::string LineDiff(const std::string& expected, const std::string& actual);

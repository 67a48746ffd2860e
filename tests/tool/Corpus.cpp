#include "tests/tool/Corpus.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Parses a JSON array of strings (the escapes \" \\ \t \r \n \uXXXX).
std::vector<std::string> ParseArgs(const std::string& text, const std::string& where) {
  std::vector<std::string> args;
  size_t i = text.find('[');
  if (i == std::string::npos) throw std::runtime_error(where + ": args must be a JSON array");
  for (++i; i < text.size();) {
    char c = text[i];
    if (c == ' ' || c == ',') {
      ++i;
    } else if (c == ']') {
      return args;
    } else if (c == '"') {
      std::string arg;
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] != '\\') {
          arg += text[i];
          continue;
        }
        char e = text[++i];
        if (e == 'u') {
          unsigned cp = unsigned(std::stoul(text.substr(i + 1, 4), nullptr, 16));
          i += 4;
          if (cp < 0x80) {
            arg += char(cp);
          } else if (cp < 0x800) {
            arg += char(0xC0 | (cp >> 6)), arg += char(0x80 | (cp & 0x3F));
          } else {
            arg += char(0xE0 | (cp >> 12)), arg += char(0x80 | ((cp >> 6) & 0x3F));
            arg += char(0x80 | (cp & 0x3F));
          }
        } else {
          arg += e == 't' ? '\t' : e == 'r' ? '\r' : e == 'n' ? '\n' : e;
        }
      }
      ++i;
      args.push_back(arg);
    } else {
      throw std::runtime_error(where + ": bad args array");
    }
  }
  throw std::runtime_error(where + ": unterminated args array");
}

// Expands what a case cannot write out: "{REPEAT N:TEXT}" is TEXT N times (TEXT up to the
// next "}"), "{BYTE hh}" one byte of that hexadecimal value.
std::string Expand(const std::string& text, const std::string& where) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool repeat = text.compare(i, 8, "{REPEAT ") == 0, byte = text.compare(i, 6, "{BYTE ") == 0;
    size_t end = text.find('}', i);
    if ((!repeat && !byte) || end == std::string::npos) {
      out += text[i++];
      continue;
    }
    std::string inside = text.substr(i + 1, end - i - 1);
    if (byte) {
      out += char(std::stoi(inside.substr(5), nullptr, 16));
    } else {
      size_t colon = inside.find(':');
      if (colon == std::string::npos) throw std::runtime_error(where + ": {REPEAT N:TEXT}");
      size_t count = std::stoul(inside.substr(7, colon - 7));
      for (size_t k = 0; k < count; ++k)
        out += inside.substr(colon + 1);
    }
    i = end + 1;
  }
  return out;
}

// A block line: "{LINES N:TEXT}" alone on it stands for N lines of TEXT.
std::string BlockLine(const std::string& line, const std::string& eol, const std::string& where) {
  if (line.rfind("{LINES ", 0) == 0 && line.back() == '}') {
    size_t colon = line.find(':');
    if (colon == std::string::npos) throw std::runtime_error(where + ": {LINES N:TEXT}");
    size_t count = std::stoul(line.substr(7, colon - 7));
    std::string one = Expand(line.substr(colon + 1, line.size() - colon - 2), where) + eol;
    std::string out;
    out.reserve(one.size() * count);
    for (size_t k = 0; k < count; ++k)
      out += one;
    return out;
  }
  return Expand(line, where) + eol;
}

std::vector<std::string> ExpandArgs(std::vector<std::string> args, const std::string& where) {
  for (auto& a : args)
    a = Expand(a, where);
  return args;
}

std::string CaseName(const std::string& text) {
  std::string name;
  for (char c : text)
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

// Reads one file's cases; blocks hold lines that begin with "|".
// Adds a fixture's stage (files, runs before and after, where the program runs) to a case.
void UseFixture(const TCorpusCase& fixture, TCorpusCase& c) {
  c.Files.insert(c.Files.end(), fixture.Files.begin(), fixture.Files.end());
  c.Before.insert(c.Before.end(), fixture.Before.begin(), fixture.Before.end());
  c.After.insert(c.After.end(), fixture.After.begin(), fixture.After.end());
  c.Env.insert(c.Env.end(), fixture.Env.begin(), fixture.Env.end());
  if (c.InstallAt.empty()) c.InstallAt = fixture.InstallAt;
}

void ParseFile(const std::string& path, const std::string& suite, std::vector<TCorpusCase>& out) {
  std::vector<std::string> lines = ReadLines(path);
  // "=== fixture NAME" defines a stage that cases take with "use NAME"; it runs nothing.
  std::map<std::string, TCorpusCase> fixtures;
  size_t firstOfFile = out.size();
  TCorpusCase* current = nullptr;
  std::string* block = nullptr;
  std::string eol = "\r\n";
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    std::string where = path + ":" + std::to_string(n + 1);
    if (block && !line.empty() && line[0] == '|') {
      *block += BlockLine(line.substr(1), eol, where);
      continue;
    }
    block = nullptr;
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("=== ", 0) == 0) {
      if (current && current->Name.rfind("fixture_", 0) == 0) {
        fixtures[current->Name.substr(8)] = *current;
        out.pop_back();
      }
      out.push_back(TCorpusCase{});
      current = &out.back();
      current->Suite = suite, current->Name = CaseName(line.substr(4));
      current->File = path, current->Line = int(n + 1);
      continue;
    }
    if (!current) throw std::runtime_error(where + ": text before the first case");
    std::istringstream words(line);
    std::string word;
    words >> word;
    std::string rest = line.size() > word.size() ? line.substr(word.size() + 1) : "";
    if (word == "args") {
      current->Args = ExpandArgs(ParseArgs(rest, where), where);
    } else if (word == "before") {
      current->Before.push_back(ExpandArgs(ParseArgs(rest, where), where));
    } else if (word == "after") {
      current->After.push_back(ExpandArgs(ParseArgs(rest, where), where));
    } else if (word == "raw") {
      current->Raw = rest;
    } else if (word == "env") {
      size_t eq = rest.find('=');
      current->Env.emplace_back(rest.substr(0, eq), rest.substr(eq + 1));
    } else if (word == "use") {
      auto fixture = fixtures.find(rest);
      if (fixture == fixtures.end()) throw std::runtime_error(where + ": no fixture " + rest);
      UseFixture(fixture->second, *current);
    } else if (word == "exists") {
      current->Exists.push_back(rest);
    } else if (word == "absent") {
      current->Absent.push_back(rest);
    } else if (word == "ignore-stdout") {
      current->IgnoreStdout = true;
    } else if (word == "skip-frames") {
      current->SkipFrames = true;
    } else if (word == "install-at") {
      current->InstallAt = rest;
    } else if (word == "posix-only") {
      current->PosixOnly = true;
    } else if (word == "windows-only") {
      current->WindowsOnly = true;
    } else if (word == "---") {
      std::string kind, name, ending;
      words >> kind >> std::ws;
      // A name with blanks stands in double quotes.
      if (words.peek() == '"') {
        words.get();
        std::getline(words, name, '"');
      } else {
        words >> name;
      }
      words >> ending;
      eol = ending == "lf" ? "\n" : ending == "bin" ? "" : "\r\n";
      if (kind == "stdout") {
        block = &current->Stdout;
        eol = "\r\n";
      } else if (kind == "stderr") {
        block = &current->Stderr;
        eol = "\r\n";
      } else if (kind == "exit") {
        current->ExitCode = std::stoi(name);
      } else if (kind == "file") {
        current->Files.emplace_back(name, "");
        block = &current->Files.back().second;
      } else if (kind == "expect-file") {
        current->ExpectFiles.emplace_back(name, "");
        block = &current->ExpectFiles.back().second;
      } else {
        throw std::runtime_error(where + ": unknown block " + kind);
      }
    } else {
      throw std::runtime_error(where + ": cannot read: " + line);
    }
  }
  if (out.size() > firstOfFile && out.back().Name.rfind("fixture_", 0) == 0) out.pop_back();
}

bool NeedsQuotes(const std::string& arg) {
  return arg.empty() || arg.find_first_of(" \t;,\"[]{}") != std::string::npos;
}

std::vector<std::string> SplitKeepingEnds(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

std::string Visible(const std::string& line) {
  std::string v;
  for (char c : line)
    v += c == '\r' ? std::string("\\r") : c == '\n' ? "\\n" : std::string(1, c);
  return v;
}

}  // namespace

std::vector<TCorpusCase> LoadCorpus(const std::string& folder) {
  std::vector<std::string> files;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (name.size() > 4 && name.substr(name.size() - 4) == ".txt") files.push_back(name);
    }
    closedir(dir);
  }
  std::sort(files.begin(), files.end());
  std::vector<TCorpusCase> cases;
  for (const auto& f : files)
    ParseFile(folder + "/" + f, f.substr(0, f.size() - 4), cases);
  return cases;
}

std::string WindowsCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const auto& arg : args) {
    if (!line.empty()) line += ' ';
    bool enclosed = arg.size() >= 2 && arg.front() == '"' && arg.back() == '"';
    if (enclosed || !NeedsQuotes(arg)) {
      line += arg;
      continue;
    }
    line += '"';
    for (char c : arg)
      line += c == '"' ? std::string("\"\"") : std::string(1, c);
    line += '"';
  }
  return line;
}

std::string Substitute(std::string text, const std::string& root) {
  const std::string marker = "{ROOT}";
  for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at))
    text.replace(at, marker.size(), root), at += root.size();
  return text;
}

std::string EscapeForBatch(const std::string& line) {
  std::string out;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == '%') {
      out += "%%";
    } else if (!quoted && std::string("^&|<>").find(c) != std::string::npos) {
      out += '^', out += c;
    } else {
      out += c;
    }
  }
  return out;
}

std::string LineDiff(const std::string& expected, const std::string& actual) {
  if (expected == actual) return "";
  std::vector<std::string> e = SplitKeepingEnds(expected), a = SplitKeepingEnds(actual);
  std::string diff;
  size_t shown = 0;
  for (size_t i = 0; i < std::max(e.size(), a.size()) && shown < 20; ++i) {
    std::string el = i < e.size() ? e[i] : "", al = i < a.size() ? a[i] : "";
    if (el == al) continue;
    ++shown;
    diff += "line " + std::to_string(i + 1) + ":\n";
    if (i < e.size()) diff += "  - " + Visible(el) + "\n";
    if (i < a.size()) diff += "  + " + Visible(al) + "\n";
  }
  return diff.empty() ? "(differs)" : diff;
}

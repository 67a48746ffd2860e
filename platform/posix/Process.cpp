#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "platform/posix/Prefix.h"
#include "platform/posix/registry/LineFormat.h"

extern char** environ;

namespace Platform {
namespace {

std::vector<std::u16string>& Arguments() {
  static std::vector<std::u16string> args;
  return args;
}

bool NeedsQuotes(std::u16string_view arg) {
  if (arg.empty()) return true;
  return arg.find_first_of(u" \t;,\"[]{}") != std::u16string_view::npos;
}

// One argv element as it would stand on a Windows command line.
void AppendArgument(std::u16string_view arg, std::u16string& line) {
  bool enclosed = arg.size() >= 2 && arg.front() == u'"' && arg.back() == u'"';
  if (enclosed || !NeedsQuotes(arg)) {
    line += arg;
    return;
  }
  line += u'"';
  for (char16_t c : arg) {
    if (c == u'"') line += u'"';
    line += c;
  }
  line += u'"';
}

char16_t FoldAscii(char16_t c) {
  return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

// A string value as Wine puts it into an environment.
struct TEnvValue {
  std::u16string Text;
  bool Expand = false;  // REG_EXPAND_SZ: its %NAME% references are expanded
};

// Nothing for a missing value, another type, or an empty text (Wine leaves empty values
// out, so that a reference to one stays as typed).
std::optional<TEnvValue> EnvValue(const TRegKey& key, std::u16string_view name) {
  std::optional<TRegData> data = key.QueryValue(name);
  if (!data || (data->Type != kRegSz && data->Type != kRegExpandSz)) return std::nullopt;
  TEnvValue value{std::u16string(CutAtNul(Utf16Of(data->Bytes))), data->Type == kRegExpandSz};
  if (value.Text.empty()) return std::nullopt;
  return value;
}

using TVariables = std::map<std::u16string, std::u16string>;  // folded name -> value

// Replaces each %NAME% (any case) by the variable's value, as Windows expands a string: a
// reference to no variable, "%%" among them, is copied as typed and the scan goes on after
// its closing sign; a sign without a closing one is copied with the rest of the text.
std::u16string ExpandReferences(std::u16string_view text, const TVariables& variables) {
  std::u16string expanded;
  for (size_t i = 0; i < text.size();) {
    if (text[i] != u'%') {
      expanded.push_back(text[i++]);
      continue;
    }
    size_t end = text.find(u'%', i + 1);
    if (end == std::u16string_view::npos) {
      expanded += text.substr(i);
      break;
    }
    auto found = variables.find(WineReg::Fold(text.substr(i + 1, end - i - 1)));
    expanded +=
        found != variables.end() ? std::u16string_view(found->second) : text.substr(i, end - i + 1);
    i = end + 1;
  }
  return expanded;
}

// The Path a Windows program of the prefix gets, built as Wine builds a process
// environment: the variables it sets itself, then those of the system environment, the
// user's over them and the volatile ones over those. PATH is the exception: the user's
// PATH follows the system's after a ";" instead of replacing it. References in a variable
// resolve against the values as stored; references in a PATH against the variables as
// expanded, so that a user PATH may name a system, user or volatile variable.
std::u16string WinePath() {
  std::map<std::u16string, TEnvValue> stored = {
      {u"systemroot", {u"C:\\windows"}}, {u"windir", {u"C:\\windows"}}, {u"systemdrive", {u"C:"}}};
  std::vector<TEnvValue> paths;
  const std::pair<TRegRoot, std::u16string_view> keys[] = {
      {TRegRoot::LocalMachine, Posix::MachineEnvironmentKeys()[0]},
      {TRegRoot::CurrentUser, u"Environment"},
      {TRegRoot::CurrentUser, u"Volatile Environment"}};
  for (const auto& [root, path] : keys) {
    auto key = OpenRegKey(root, path);
    if (!key) continue;
    for (const auto& name : key->ValueNames()) {
      std::optional<TEnvValue> value = EnvValue(*key, name);
      if (!value || name.empty()) continue;
      std::u16string folded = WineReg::Fold(name);
      if (folded == u"path") {
        paths.push_back(std::move(*value));
      } else {
        stored[folded] = std::move(*value);
      }
    }
  }
  TVariables raw, variables;
  for (const auto& [name, value] : stored)
    raw[name] = value.Text;
  for (const auto& [name, value] : stored)
    variables[name] = value.Expand ? ExpandReferences(value.Text, raw) : value.Text;
  std::u16string result;
  for (const auto& value : paths) {
    if (!result.empty()) result += u';';
    result += value.Expand ? ExpandReferences(value.Text, variables) : value.Text;
    variables[u"path"] = result;  // a later PATH may refer to the one before it
  }
  return result;
}

// The Path of the run once it is fixed; nothing while it is read anew at each request.
std::optional<std::u16string>& KeptPath() {
  static std::optional<std::u16string> path;
  return path;
}

}  // namespace

namespace Posix {

const std::vector<std::u16string>& MachineEnvironmentKeys() {
  static const std::vector<std::u16string> keys = {
      u"System\\CurrentControlSet\\Control\\Session Manager\\Environment",
      u"System\\ControlSet001\\Control\\Session Manager\\Environment"};
  return keys;
}

void KeepEnvironmentAsAtStart() {
  if (!KeptPath()) KeptPath() = WinePath();
}

void ForgetEnvironment() {
  KeptPath().reset();
}

}  // namespace Posix

void SetArguments(int argc, char** argv) {
  auto& args = Arguments();
  args.clear();
  for (int i = 0; i < argc; ++i)
    args.push_back(FromUtf8(argv[i]));
}

std::u16string CommandLine() {
  std::u16string line;
  for (const auto& arg : Arguments()) {
    if (!line.empty()) line += u' ';
    AppendArgument(arg, line);
  }
  return line;
}

std::u16string ProgramFileName() {
  char path[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return Arguments().empty() ? std::u16string() : Arguments()[0];
  return Posix::ToWindowsPath(std::string(path, size_t(n)));
}

std::optional<std::u16string> EnvironmentVariable(std::u16string_view name) {
  std::string exact = ToUtf8(name);
  if (const char* value = ::getenv(exact.c_str())) return FromUtf8(value);
  // The Unix PATH is a list of Unix folders: it never stands in for the Windows Path.
  bool askedPath = EqualsIgnoreAsciiCase(name, u"PATH");
  for (char** env = environ; env && *env; ++env) {
    const char* eq = std::strchr(*env, '=');
    if (!eq) continue;
    std::u16string key = FromUtf8(std::string_view(*env, size_t(eq - *env)));
    if (askedPath && key == u"PATH") continue;
    if (EqualsIgnoreAsciiCase(key, name)) return FromUtf8(eq + 1);
  }
  if (askedPath) {
    Posix::KeepEnvironmentAsAtStart();
    return KeptPath();
  }
  return std::nullopt;
}

}  // namespace Platform

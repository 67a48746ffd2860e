#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "platform/posix/Prefix.h"

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

// The text of a string value of an open key; empty for a missing value or another type.
std::u16string StringValue(const TRegKey& key, std::u16string_view name) {
  std::optional<TRegData> data = key.QueryValue(name);
  std::u16string text;
  if (!data || (data->Type != kRegSz && data->Type != kRegExpandSz)) return text;
  for (size_t i = 0; i + 1 < data->Bytes.size(); i += 2) {
    auto c = char16_t(static_cast<unsigned char>(data->Bytes[i]) |
                      (static_cast<unsigned char>(data->Bytes[i + 1]) << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

// The Path a Windows program of the prefix gets: the system environment's PATH with its
// %VAR% references expanded from the same key (unknown ones stay as they are).
std::u16string WinePath() {
  auto key = OpenRegKey(TRegRoot::LocalMachine,
                        u"System\\CurrentControlSet\\Control\\Session Manager\\Environment");
  if (!key) return std::u16string();
  std::u16string path = StringValue(*key, u"PATH"), expanded;
  for (size_t i = 0; i < path.size();) {
    size_t end = path[i] == u'%' ? path.find(u'%', i + 1) : std::u16string::npos;
    if (end == std::u16string::npos || end == i + 1) {
      expanded.push_back(path[i++]);
      continue;
    }
    std::u16string name = path.substr(i + 1, end - i - 1);
    if (key->QueryValue(name)) {
      expanded += StringValue(*key, name);
    } else {
      expanded += path.substr(i, end - i + 1);
    }
    i = end + 1;
  }
  return expanded;
}

}  // namespace

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
  if (askedPath) return WinePath();
  return std::nullopt;
}

}  // namespace Platform

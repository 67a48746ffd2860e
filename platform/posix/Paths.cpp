#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/TextCodec.h"
#include "platform/posix/Prefix.h"

namespace Platform::Posix {
namespace {

bool PathExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home ? home : "/";
}

char32_t FoldChar(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  return c;
}

bool EqualsFolded(const std::string& a, const std::string& b) {
  std::u16string ua = FromUtf8(a), ub = FromUtf8(b);
  if (ua.size() != ub.size()) return false;
  for (size_t i = 0; i < ua.size(); ++i)
    if (FoldChar(ua[i]) != FoldChar(ub[i])) return false;
  return true;
}

// The entry of `folder` whose name equals `name` ignoring case, or `name` itself.
std::string MatchComponent(const std::string& folder, const std::string& name) {
  if (name == "." || name == ".." || PathExists(folder + "/" + name)) return name;
  DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
  if (!dir) return name;
  std::string found = name;
  while (dirent* entry = ::readdir(dir)) {
    if (EqualsFolded(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

// Resolves each component case-insensitively when the whole path does not exist.
std::string MatchCase(const std::string& path) {
  if (path.empty() || PathExists(path)) return path;
  std::string result = path[0] == '/' ? "" : ".";
  size_t start = path[0] == '/' ? 1 : 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string name = path.substr(start, end - start);
    if (!name.empty()) {
      std::string matched = MatchComponent(result, name);
      result += '/';
      result += matched;
    }
    start = end + 1;
  }
  if (path[0] != '/') result.erase(0, 2);
  return result.empty() ? path : result;
}

std::string DriveFolder(char16_t letter) {
  char lower = char(letter | 0x20);
  std::string link = PrefixFolder() + "/dosdevices/" + lower + ":";
  if (PathExists(link)) return link;
  return lower == 'z' ? std::string() : std::string("\x01");  // \x01: unknown drive.
}

}  // namespace

const std::string& PrefixFolder() {
  static const std::string folder = [] {
    if (const char* p = std::getenv("WINEPREFIX"); p && *p) return std::string(p);
    std::string wine = HomeFolder() + "/.wine";
    if (PathExists(wine + "/system.reg")) return wine;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string data = (xdg && *xdg) ? xdg : HomeFolder() + "/.local/share";
    return data + "/tessik/prefix";
  }();
  return folder;
}

std::string ToUnixPath(std::u16string_view path) {
  std::string unix = ToUtf8(path);
  for (char& c : unix)
    if (c == '\\') c = '/';
  bool drive =
      unix.size() >= 2 && unix[1] == ':' && ((unix[0] | 0x20) >= 'a' && (unix[0] | 0x20) <= 'z');
  if (drive) {
    std::string folder = DriveFolder(path[0]);
    if (folder == "\x01") return std::string();
    std::string rest = unix.substr(2);
    unix = folder;
    if (!rest.empty() && rest[0] != '/') unix += '/';  // C:foo: relative to the drive root.
    unix += rest;
    if (unix.empty()) unix.push_back('/');
  } else if (unix.rfind("//", 0) == 0) {
    return std::string();  // UNC paths have no Unix counterpart here.
  }
  return MatchCase(unix);
}

std::u16string ToWindowsPath(const std::string& unixPath) {
  std::string best = "/";
  char bestLetter = 'z';
  std::string dosdevices = PrefixFolder() + "/dosdevices";
  if (DIR* dir = ::opendir(dosdevices.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name.size() != 2 || name[1] != ':' || name[0] < 'a' || name[0] > 'z') continue;
      char resolved[PATH_MAX];
      if (!::realpath((dosdevices + "/" + name).c_str(), resolved)) continue;
      std::string target = resolved;
      bool under = unixPath == target || (unixPath.rfind(target, 0) == 0 &&
                                          (target == "/" || unixPath[target.size()] == '/'));
      if (under && IsDirectory(target) && target.size() > best.size())
        best = target, bestLetter = name[0];
    }
    ::closedir(dir);
  }
  std::string rest = unixPath.substr(best == "/" ? 0 : best.size());
  std::u16string result;
  result.push_back(char16_t(bestLetter - 32));
  result.push_back(u':');
  for (char16_t c : FromUtf8(rest))
    result.push_back(c == u'/' ? u'\\' : c);
  if (result.size() == 2) result.push_back(u'\\');
  return result;
}

}  // namespace Platform::Posix

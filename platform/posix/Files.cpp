#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/TextCodec.h"
#include "platform/posix/Prefix.h"

namespace Platform {
namespace {

// What the lookups found while a TFileLookupCache lives: for each path as asked, its mode, or
// nothing for a path that does not exist.
struct TLookups {
  int Users = 0;
  std::unordered_map<std::u16string, std::optional<mode_t>> Found;
};

TLookups& Lookups() {
  static TLookups lookups;
  return lookups;
}

// This process changed a file: what was looked up may no longer hold.
void ForgetLookups() {
  Lookups().Found.clear();
}

std::optional<mode_t> ModeOf(std::u16string_view path) {
  TLookups& lookups = Lookups();
  if (lookups.Users > 0)
    if (auto known = lookups.Found.find(std::u16string(path)); known != lookups.Found.end())
      return known->second;
  std::string unix = Posix::ToUnixPath(path);
  struct stat st;
  std::optional<mode_t> mode;
  if (!unix.empty() && ::stat(unix.c_str(), &st) == 0) mode = st.st_mode;
  if (lookups.Users > 0) lookups.Found.emplace(path, mode);
  return mode;
}

[[noreturn]] void FailOpen(std::u16string_view path, int error) {
  std::u16string reason = error == ENOENT   ? u"No such file or folder"
                          : error == EACCES ? u"Access is denied"
                                            : FromUtf8(std::strerror(error));
  throw EFOpenError(u"Cannot open file \"" + std::u16string(path) + u"\". " + reason);
}

}  // namespace

TFileLookupCache::TFileLookupCache() {
  ++Lookups().Users;
}

TFileLookupCache::~TFileLookupCache() {
  if (--Lookups().Users == 0) ForgetLookups();
}

bool FileExists(std::u16string_view path) {
  std::optional<mode_t> mode = ModeOf(path);
  return mode && !S_ISDIR(*mode);
}

bool DirectoryExists(std::u16string_view path) {
  std::optional<mode_t> mode = ModeOf(path);
  return mode && S_ISDIR(*mode);
}

std::string ReadFileBytes(std::u16string_view path) {
  std::string unix = Posix::ToUnixPath(path);
  int fd = unix.empty() ? -1 : ::open(unix.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) FailOpen(path, unix.empty() ? ENOENT : errno);
  // One buffer of the file's size; a file that grows meanwhile is read to its end anyway.
  struct stat st;
  std::string bytes(::fstat(fd, &st) == 0 && st.st_size > 0 ? size_t(st.st_size) : 0, '\0');
  size_t done = 0;
  for (;;) {
    if (done == bytes.size()) bytes.resize(bytes.size() + (1 << 16));
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int error = errno;
      ::close(fd);
      FailOpen(path, error);
    }
    if (n == 0) break;
    done += size_t(n);
  }
  ::close(fd);
  bytes.resize(done);
  return bytes;
}

std::u16string ReadTextFile(std::u16string_view path) {
  return DecodeTextFile(ReadFileBytes(path), FromUtf8);
}

}  // namespace Platform

namespace Platform {
namespace {

// Splits a Windows-form path into its root ("C:\\", "\\", "C:" or empty) and the rest.
std::u16string_view PathRoot(std::u16string_view path) {
  if (path.size() >= 2 && path[1] == u':')
    return path.substr(0, path.size() >= 3 && path[2] == u'\\' ? 3 : 2);
  if (!path.empty() && path[0] == u'\\') return path.substr(0, 1);
  return path.substr(0, 0);
}

std::u16string CurrentFolder() {
  char buffer[4096];
  if (!::getcwd(buffer, sizeof buffer)) return u"Z:\\";
  return Posix::ToWindowsPath(buffer);
}

}  // namespace

std::u16string FullPathName(std::u16string_view path) {
  std::u16string full(path);
  for (auto& c : full)
    if (c == u'/') c = u'\\';
  std::u16string_view root = PathRoot(full);
  if (root.empty()) {
    full = CurrentFolder() + u"\\" + full;
  } else if (root == u"\\") {
    full = CurrentFolder().substr(0, 2) + full;
  }
  root = PathRoot(full);
  std::u16string result(root.substr(0, 2));
  std::vector<std::u16string_view> parts;
  std::u16string_view rest = std::u16string_view(full).substr(root.size());
  while (!rest.empty()) {
    size_t cut = rest.find(u'\\');
    std::u16string_view part = rest.substr(0, cut);
    rest = cut == std::u16string_view::npos ? std::u16string_view() : rest.substr(cut + 1);
    if (part.empty() || part == u".") continue;
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  for (auto part : parts)
    result += u"\\" + std::u16string(part);
  bool trailing = !path.empty() && (path.back() == u'\\' || path.back() == u'/');
  if (parts.empty() || trailing) result += u"\\";
  return result;
}

std::u16string ShortPathName(std::u16string_view path) {
  return FileExists(path) || DirectoryExists(path) ? std::u16string(path) : std::u16string();
}

}  // namespace Platform

namespace Platform {
namespace {

char32_t FoldName(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return char32_t(c - 32);
  return c;
}

// Windows wildcard matching, letter case ignored: "*" any run, "?" any one character.
bool MatchesWildcard(std::u16string_view name, std::u16string_view pattern) {
  size_t n = 0, p = 0, star = std::u16string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || FoldName(pattern[p]) == FoldName(name[n]))) {
      ++n, ++p;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      star = p++, mark = n;
    } else if (star != std::u16string_view::npos) {
      p = star + 1, n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*')
    ++p;
  return p == pattern.size();
}

[[noreturn]] void FailWrite(std::u16string_view path, int error) {
  throw EFOpenError(u"Cannot create file \"" + std::u16string(path) + u"\". " +
                    FromUtf8(std::strerror(error)));
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(size_t(n));
  }
  return true;
}

}  // namespace

std::vector<std::u16string> FindFiles(std::u16string_view folder, std::u16string_view pattern) {
  std::vector<std::u16string> names;
  std::string unix = Posix::ToUnixPath(folder);
  DIR* dir = unix.empty() ? nullptr : ::opendir(unix.c_str());
  if (!dir) return names;
  while (dirent* entry = ::readdir(dir)) {
    std::u16string name = FromUtf8(entry->d_name);
    struct stat st;
    if (!MatchesWildcard(name, pattern)) continue;
    if (::stat((unix + "/" + entry->d_name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
      names.push_back(std::move(name));
  }
  ::closedir(dir);
  return names;
}

bool CopyFileReplacing(std::u16string_view source, std::u16string_view destination) {
  try {
    std::string bytes = ReadFileBytes(source);
    WriteFileAtomically(destination, bytes);
    return true;
  } catch (const EFOpenError&) {
    return false;
  }
}

bool RemoveFile(std::u16string_view path) {
  ForgetLookups();
  std::string unix = Posix::ToUnixPath(path);
  struct stat st;
  if (unix.empty() || ::stat(unix.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(unix.c_str()) == 0;
}

void WriteFileAtomically(std::u16string_view path, std::string_view bytes) {
  ForgetLookups();
  std::string unix = Posix::ToUnixPath(path);
  if (unix.empty()) FailWrite(path, ENOENT);
  std::string temporary = unix + ".tessik-XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) FailWrite(path, errno);
  struct stat st;
  if (::stat(unix.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);  // Keep its mode.
  bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int error = errno;
  ::close(fd);
  if (!written || ::rename(temporary.c_str(), unix.c_str()) != 0) {
    if (written) error = errno;
    ::unlink(temporary.c_str());
    FailWrite(path, error);
  }
}

}  // namespace Platform

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/QO_Errors.h"
#include "platform/Files.h"
#include "platform/TextCodec.h"
#include "platform/posix/Prefix.h"

namespace Platform {
namespace {

bool StatPath(std::u16string_view path, struct stat& st) {
  std::string unix = Posix::ToUnixPath(path);
  return !unix.empty() && ::stat(unix.c_str(), &st) == 0;
}

[[noreturn]] void FailOpen(std::u16string_view path, int error) {
  std::u16string reason = error == ENOENT   ? u"The system cannot find the file specified"
                          : error == EACCES ? u"Access is denied"
                                            : FromUtf8(std::strerror(error));
  throw EFOpenError(u"Cannot open file \"" + std::u16string(path) + u"\". " + reason);
}

}  // namespace

bool FileExists(std::u16string_view path) {
  struct stat st;
  return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::u16string_view path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

std::u16string ReadTextFile(std::u16string_view path) {
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
  return DecodeTextFile(bytes, FromUtf8);
}

}  // namespace Platform

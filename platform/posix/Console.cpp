#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/ConsoleStream.h"
#include "platform/TextCodec.h"

namespace Platform {
namespace {

std::string& OutBuffer() {
  static std::string buffer;
  return buffer;
}

void WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // A closed pipe or full disk: the output is lost, the run goes on.
    done += size_t(n);
  }
}

}  // namespace

namespace ConsoleStream {

const size_t kFlushThreshold = 1 << 16;

size_t Buffer(std::u16string_view text) {
  std::string& buffer = OutBuffer();
  AppendUtf8(text, buffer);
  return buffer.size();
}

void WriteBuffer() {
  std::string& buffer = OutBuffer();
  WriteAll(1, buffer);
  buffer.clear();
}

void WriteError(std::u16string_view text) {
  WriteAll(2, ToUtf8(text));
}

}  // namespace ConsoleStream
}  // namespace Platform

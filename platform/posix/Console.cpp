#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/Console.h"
#include "platform/TextCodec.h"

namespace Platform {
namespace {

constexpr size_t kFlushThreshold = 1 << 16;

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

std::u16string* gCapture = nullptr;

}  // namespace

std::u16string* CaptureStdOut(std::u16string* capture) {
  std::u16string* previous = gCapture;
  FlushOutput();
  gCapture = capture;
  return previous;
}

void WriteStdOut(std::u16string_view text) {
  if (gCapture) {
    gCapture->append(text);
    return;
  }
  std::string& buffer = OutBuffer();
  AppendUtf8(text, buffer);
  if (buffer.size() >= kFlushThreshold) FlushOutput();
}

void WriteStdErr(std::u16string_view text) {
  FlushOutput();
  WriteAll(2, ToUtf8(text));
}

void FlushOutput() {
  std::string& buffer = OutBuffer();
  WriteAll(1, buffer);
  buffer.clear();
}

}  // namespace Platform

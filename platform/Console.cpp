#include "platform/Console.h"

#include "platform/ConsoleStream.h"

namespace Platform {
namespace {

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
  if (ConsoleStream::Buffer(text) >= ConsoleStream::kFlushThreshold) FlushOutput();
}

void WriteStdErr(std::u16string_view text) {
  FlushOutput();
  ConsoleStream::WriteError(text);
}

void FlushOutput() {
  ConsoleStream::WriteBuffer();
}

}  // namespace Platform

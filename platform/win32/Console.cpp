#include <windows.h>

#include <string>

#include "platform/ConsoleStream.h"

namespace Platform {
namespace {

std::u16string& OutBuffer() {
  static std::u16string buffer;
  return buffer;
}

// A console gets the text as it is; a redirected stream gets it in the console output
// code page, which is what `for /f` in a batch file reads.
void WriteHandle(DWORD which, std::u16string_view text) {
  if (text.empty()) return;
  HANDLE handle = GetStdHandle(which);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return;
  DWORD mode, written;
  auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  if (GetConsoleMode(handle, &mode)) {
    WriteConsoleW(handle, wide, static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  UINT codePage = GetConsoleOutputCP();
  if (codePage == 0) codePage = GetACP();
  int size = WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()), bytes.data(), size, nullptr,
                      nullptr);
  size_t done = 0;
  while (done < bytes.size()) {
    if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr) ||
        written == 0)
      return;
    done += written;
  }
}

}  // namespace

namespace ConsoleStream {

const size_t kFlushThreshold = 1 << 15;

size_t Buffer(std::u16string_view text) {
  std::u16string& buffer = OutBuffer();
  buffer += text;
  return buffer.size();
}

void WriteBuffer() {
  std::u16string& buffer = OutBuffer();
  WriteHandle(STD_OUTPUT_HANDLE, buffer);
  buffer.clear();
}

void WriteError(std::u16string_view text) {
  WriteHandle(STD_ERROR_HANDLE, text);
}

}  // namespace ConsoleStream
}  // namespace Platform

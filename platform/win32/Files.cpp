#include <windows.h>

#include <string>

#include "common/QO_Errors.h"
#include "platform/Files.h"
#include "platform/TextCodec.h"

namespace Platform {
namespace {

std::wstring Wide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

DWORD Attributes(std::u16string_view path) {
  return GetFileAttributesW(Wide(path).c_str());
}

std::u16string FromAnsi(std::string_view bytes) {
  if (bytes.empty()) return std::u16string();
  int size =
      MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), size);
  return std::u16string(wide.begin(), wide.end());
}

[[noreturn]] void FailOpen(std::u16string_view path) {
  DWORD error = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string reason = text ? std::u16string(text, text + wcslen(text)) : u"";
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() <= u' ' || reason.back() == u'.'))
    reason.pop_back();
  throw EFOpenError(u"Cannot open file \"" + std::u16string(path) + u"\". " + reason);
}

}  // namespace

bool FileExists(std::u16string_view path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::u16string_view path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::u16string ReadTextFile(std::u16string_view path) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) FailOpen(path);
  std::string bytes;
  char chunk[1 << 16];
  DWORD n;
  for (;;) {
    if (!ReadFile(file, chunk, sizeof chunk, &n, nullptr)) {
      CloseHandle(file);
      FailOpen(path);
    }
    if (n == 0) break;
    bytes.append(chunk, n);
  }
  CloseHandle(file);
  return DecodeTextFile(bytes, FromAnsi);
}

}  // namespace Platform

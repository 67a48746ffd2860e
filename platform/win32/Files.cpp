#include <windows.h>

#include <string>

#include "platform/Errors.h"
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

TFileLookupCache::TFileLookupCache() = default;
TFileLookupCache::~TFileLookupCache() = default;

bool FileExists(std::u16string_view path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::u16string_view path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(std::u16string_view path) {
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
  return bytes;
}

std::u16string ReadTextFile(std::u16string_view path) {
  return DecodeTextFile(ReadFileBytes(path), FromAnsi);
}

}  // namespace Platform

namespace Platform {

std::u16string FullPathName(std::u16string_view path) {
  std::wstring wide = Wide(path);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::u16string(path);
  std::wstring full(size, L'\0');
  DWORD n = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  full.resize(n < size ? n : 0);
  return std::u16string(full.begin(), full.end());
}

std::u16string ShortPathName(std::u16string_view path) {
  std::wstring wide = Wide(path);
  std::wstring buffer(MAX_PATH, L'\0');
  DWORD n = GetShortPathNameW(wide.c_str(), buffer.data(), MAX_PATH);
  // A short form longer than the buffer is reported by its size: ask again with room for it
  // rather than reading past the buffer.
  if (n >= MAX_PATH) {
    buffer.assign(n, L'\0');
    n = GetShortPathNameW(wide.c_str(), buffer.data(), n);
    if (n >= buffer.size()) n = 0;
  }
  buffer.resize(n);
  return std::u16string(buffer.begin(), buffer.end());
}

}  // namespace Platform

namespace Platform {

std::vector<std::u16string> FindFiles(std::u16string_view folder, std::u16string_view pattern) {
  std::vector<std::u16string> names;
  std::u16string search(folder);
  if (search.empty() || (search.back() != u'\\' && search.back() != u'/')) search += u'\\';
  search += pattern;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(search).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      names.emplace_back(reinterpret_cast<const char16_t*>(data.cFileName));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

bool CopyFileReplacing(std::u16string_view source, std::u16string_view destination) {
  return CopyFileW(Wide(source).c_str(), Wide(destination).c_str(), FALSE) != 0;
}

bool RemoveFile(std::u16string_view path) {
  return DeleteFileW(Wide(path).c_str()) != 0;
}

void WriteFileAtomically(std::u16string_view path, std::string_view bytes) {
  std::wstring target = Wide(path);
  std::wstring temporary = target + L".tessik-new";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) FailOpen(path);
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size() && FlushFileBuffers(file);
  CloseHandle(file);
  if (!ok || !MoveFileExW(temporary.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    SetLastError(error);
    FailOpen(path);
  }
}

}  // namespace Platform

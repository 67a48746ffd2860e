#include <windows.h>

#include <string>

#include "platform/Process.h"

namespace Platform {

std::u16string CommandLine() {
  return std::u16string(reinterpret_cast<const char16_t*>(GetCommandLineW()));
}

void SetArguments(int, char**) {}

std::u16string ProgramFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::u16string(path.begin(), path.end());
}

std::optional<std::u16string> EnvironmentVariable(std::u16string_view name) {
  std::wstring wname(name.begin(), name.end());
  DWORD size = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  DWORD n = GetEnvironmentVariableW(wname.c_str(), value.data(), size);
  value.resize(n);
  return std::u16string(value.begin(), value.end());
}

}  // namespace Platform

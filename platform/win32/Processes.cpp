#include <windows.h>
// tlhelp32.h needs the declarations of windows.h first.
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "platform/Processes.h"

namespace Platform {
namespace {

// The full image name of a process; empty when it cannot be opened (another user's, a
// system process) or has exited meanwhile.
std::u16string ImageName(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return u"";
  std::wstring name(1024, L'\0');
  std::u16string result;
  for (;;) {
    DWORD size = static_cast<DWORD>(name.size());
    if (QueryFullProcessImageNameW(process, 0, name.data(), &size)) {
      result.assign(name.begin(), name.begin() + size);
      break;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || name.size() >= 32768) break;
    name.resize(name.size() * 2);
  }
  CloseHandle(process);
  return result;
}

}  // namespace

std::vector<std::u16string> RunningImageNames() {
  std::vector<std::u16string> names;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return names;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    std::u16string name = ImageName(entry.th32ProcessID);
    if (!name.empty()) names.push_back(std::move(name));
  }
  CloseHandle(snapshot);
  return names;
}

}  // namespace Platform

// The real registry through advapi32, every key in the 32-bit view: the IDEs are 32-bit
// programs and their installers write there.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"

namespace Platform {
namespace {

constexpr REGSAM kView = KEY_WOW64_32KEY;

HKEY RootKey(TRegRoot root) {
  return root == TRegRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// The API reads names up to their first NUL, as the POSIX backend does.
std::wstring Wide(std::u16string_view text) {
  std::wstring wide(text.begin(), text.end());
  wide.resize(wcslen(wide.c_str()));
  return wide;
}

// Windows refuses a path that starts with a backslash; Wine accepts one when it creates a
// key in the 32-bit view. Both builds refuse it.
bool ValidPath(const std::wstring& path) {
  return path.empty() || path[0] != L'\\';
}

std::u16string Narrow(const wchar_t* text, size_t length) {
  return std::u16string(text, text + length);
}

class TWinKey final : public TRegKey {
 public:
  explicit TWinKey(HKEY key) : key_(key) {}
  ~TWinKey() override {
    if (key_) RegCloseKey(key_);
  }
  TWinKey(const TWinKey&) = delete;
  TWinKey& operator=(const TWinKey&) = delete;

  /// Leaves the key open for its owner.
  void Release() { key_ = nullptr; }

  std::vector<std::u16string> ValueNames() const override { return Enumerate(true); }
  std::vector<std::u16string> SubKeyNames() const override { return Enumerate(false); }

  std::optional<TRegData> QueryValue(std::u16string_view name) const override {
    std::wstring wname = Wide(name);
    DWORD type = 0, size = 0;
    LONG r = RegQueryValueExW(key_, wname.c_str(), nullptr, &type, nullptr, &size);
    std::string bytes;
    // The value may grow between the two calls: ask again with the size it reports.
    while (r == ERROR_SUCCESS || r == ERROR_MORE_DATA) {
      bytes.resize(size);
      r = RegQueryValueExW(key_, wname.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(bytes.data()), &size);
      if (r == ERROR_SUCCESS) {
        bytes.resize(size);
        return TRegData{type, std::move(bytes)};
      }
    }
    return std::nullopt;
  }

  bool SetValue(std::u16string_view name, const TRegData& data) override {
    // Two bytes that are not NUL after the data: RegSetValueExW would otherwise count a
    // NUL it finds there as the terminator of an unterminated string.
    std::string buffer = data.Bytes + "\xff\xff";
    return RegSetValueExW(key_, Wide(name).c_str(), 0, data.Type,
                          reinterpret_cast<const BYTE*>(buffer.data()),
                          static_cast<DWORD>(data.Bytes.size())) == ERROR_SUCCESS;
  }

  TRegResult DeleteValue(std::u16string_view name) override {
    LONG r = RegDeleteValueW(key_, Wide(name).c_str());
    if (r == ERROR_SUCCESS) return TRegResult::Ok;
    return r == ERROR_FILE_NOT_FOUND ? TRegResult::NotFound : TRegResult::AccessDenied;
  }

 private:
  std::vector<std::u16string> Enumerate(bool values) const {
    std::vector<std::u16string> names;
    DWORD subKeys = 0, maxSubKey = 0, valueCount = 0, maxValueName = 0;
    if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr,
                         &valueCount, &maxValueName, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return names;
    std::wstring buffer((values ? maxValueName : maxSubKey) + 1, L'\0');
    for (DWORD i = 0;; ++i) {
      DWORD length = static_cast<DWORD>(buffer.size());
      LONG r =
          values
              ? RegEnumValueW(key_, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr)
              : RegEnumKeyExW(key_, i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
      if (r == ERROR_MORE_DATA) {  // a longer name was added meanwhile
        buffer.resize(buffer.size() * 2);
        --i;
        continue;
      }
      if (r != ERROR_SUCCESS) break;
      names.push_back(Narrow(buffer.data(), length));
    }
    return names;
  }

  HKEY key_;
};

}  // namespace

void ExpectRegKeys(TRegRoot, const std::vector<std::u16string>&) {}

std::unique_ptr<TRegKey> OpenRegKey(TRegRoot root, std::u16string_view path) {
  std::wstring wpath = Wide(path);
  if (!ValidPath(wpath)) return nullptr;
  // Some keys grant reading but not change notification, some only the values.
  for (REGSAM access :
       {REGSAM(KEY_READ), REGSAM(KEY_READ & ~KEY_NOTIFY), REGSAM(KEY_QUERY_VALUE)}) {
    HKEY key;
    LONG r = RegOpenKeyExW(RootKey(root), wpath.c_str(), 0, access | kView, &key);
    if (r == ERROR_SUCCESS) return std::make_unique<TWinKey>(key);
    if (r != ERROR_ACCESS_DENIED) break;
  }
  return nullptr;
}

std::unique_ptr<TRegKey> CreateRegKey(TRegRoot root, std::u16string_view path) {
  std::wstring wpath = Wide(path);
  HKEY key;
  if (!ValidPath(wpath) ||
      RegCreateKeyExW(RootKey(root), wpath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS | kView, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<TWinKey>(key);
}

namespace {

TRegResult DeleteResult(LONG error) {
  switch (error) {
    case ERROR_SUCCESS:
      return TRegResult::Ok;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
      return TRegResult::NotFound;
    default:
      return TRegResult::AccessDenied;
  }
}

// Whether the key `name` below `parent` is a link. Wine links keys of the 32-bit view to
// their 64-bit originals, and the API follows a link: a delete through one would delete the
// target's keys and then fail on the link itself.
bool IsLink(HKEY parent, const std::wstring& name) {
  HKEY key;
  if (RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | kView, &key) !=
      ERROR_SUCCESS)
    return false;
  DWORD type = 0;
  LONG r = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
  RegCloseKey(key);
  return r == ERROR_SUCCESS && type == REG_LINK;
}

// Whether the tree below the key `path` holds a link; each subkey is checked before it is
// opened, so that no link is followed.
bool TreeHoldsLink(HKEY root, const std::wstring& path) {
  std::vector<std::pair<HKEY, std::vector<std::u16string>>> levels;
  auto enter = [&](HKEY parent, const std::wstring& name) {
    HKEY key;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return;
    TWinKey reader(key);
    levels.emplace_back(key, reader.SubKeyNames());
    reader.Release();
  };
  enter(root, path);
  bool found = false;
  while (!found && !levels.empty()) {
    HKEY parent = levels.back().first;
    std::vector<std::u16string>& pending = levels.back().second;
    if (pending.empty()) {
      RegCloseKey(parent);
      levels.pop_back();
      continue;
    }
    std::wstring name = Wide(pending.back());
    pending.pop_back();
    found = IsLink(parent, name);
    if (!found) enter(parent, name);
  }
  for (auto& level : levels)
    RegCloseKey(level.first);
  return found;
}

}  // namespace

TRegResult DeleteRegKeyOnly(TRegRoot root, std::u16string_view path) {
  std::wstring wpath = Wide(path);
  if (wpath.empty()) return TRegResult::AccessDenied;  // never the root itself
  if (!ValidPath(wpath)) return TRegResult::NotFound;
  if (IsLink(RootKey(root), wpath)) return TRegResult::AccessDenied;
  return DeleteResult(RegDeleteKeyExW(RootKey(root), wpath.c_str(), kView, 0));
}

namespace {

// Why a tree delete must not start: the root itself, an invalid path, a link or a tree
// that holds one; nothing when it may go ahead.
std::optional<TRegResult> TreeDeleteRefused(TRegRoot root, const std::wstring& wpath) {
  if (wpath.empty()) return TRegResult::AccessDenied;
  if (!ValidPath(wpath)) return TRegResult::NotFound;
  if (IsLink(RootKey(root), wpath) || TreeHoldsLink(RootKey(root), wpath))
    return TRegResult::AccessDenied;
  return std::nullopt;
}

}  // namespace

TRegResult CheckRegTreeDelete(TRegRoot root, std::u16string_view path) {
  std::wstring wpath = Wide(path);
  if (auto refused = TreeDeleteRefused(root, wpath)) return *refused;
  HKEY key;
  if (RegOpenKeyExW(RootKey(root), wpath.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS)
    return TRegResult::NotFound;
  RegCloseKey(key);
  return TRegResult::Ok;
}

TRegResult DeleteRegTree(TRegRoot root, std::u16string_view path) {
  std::wstring wpath = Wide(path);
  if (auto refused = TreeDeleteRefused(root, wpath)) return *refused;
  // Depth first without recursion; each level holds its key open, so that a subkey is
  // opened and deleted by its name below its parent.
  struct TLevel {
    HKEY Parent;
    std::wstring Name;
    HKEY Key = nullptr;  // null when it could not be opened: then it has no subkeys to visit
    std::vector<std::u16string> Pending;
  };
  std::vector<TLevel> levels;
  auto enter = [&](HKEY parent, std::wstring name) {
    TLevel level{parent, std::move(name), nullptr, {}};
    HKEY key;
    if (RegOpenKeyExW(parent, level.Name.c_str(), 0, KEY_READ | kView, &key) == ERROR_SUCCESS) {
      level.Key = key;
      TWinKey reader(key);
      level.Pending = reader.SubKeyNames();
      reader.Release();
    }
    levels.push_back(std::move(level));
  };
  enter(RootKey(root), std::move(wpath));
  for (;;) {
    TLevel& top = levels.back();
    if (!top.Pending.empty() && top.Key) {
      std::wstring name = Wide(top.Pending.back());
      top.Pending.pop_back();
      enter(top.Key, std::move(name));
      continue;
    }
    if (top.Key) RegCloseKey(top.Key);
    TRegResult result = DeleteResult(RegDeleteKeyExW(top.Parent, top.Name.c_str(), kView, 0));
    levels.pop_back();
    // A subkey that is gone already is no reason to stop; one that stays is.
    if (levels.empty() || result == TRegResult::AccessDenied) {
      for (TLevel& level : levels)
        if (level.Key) RegCloseKey(level.Key);
      return result;
    }
  }
}

void CommitRegistry() {}

void BroadcastSettingsChanged() {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                      SMTO_NORMAL, 4000, &result);
}

}  // namespace Platform

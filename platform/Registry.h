// The registry: keys below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, values as raw data.
// Windows reaches the real registry in the 32-bit view; POSIX reads and writes the
// Wine-format registry files of a prefix.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

enum class TRegRoot { CurrentUser, LocalMachine };

// Value type codes, as the registry stores them.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

/// A value as the registry stores it: its type and its bytes (strings in UTF-16 LE with
/// their terminating NUL, a DWORD as four bytes little-endian).
struct TRegData {
  uint32_t Type = kRegNone;
  std::string Bytes;

  bool operator==(const TRegData&) const = default;
};

enum class TRegResult { Ok, NotFound, AccessDenied };

/// The longest value name the registry takes, in UTF-16 units.
inline constexpr size_t kMaxValueNameLength = 16383;

/// A key path or value name as the registry reads it: a NUL ends it.
inline std::u16string_view CutAtNul(std::u16string_view name) {
  return name.substr(0, name.find(u'\0'));
}

/// The names of a key path as the registry reads it: a NUL ends the path and empty names
/// (a doubled or trailing backslash) are skipped. Nothing for a path the registry refuses:
/// one that begins with a backslash, a name over 255 units, or more than 512 levels (the
/// depth Windows keeps trees to, so that no lookup along a path grows slow).
inline std::optional<std::vector<std::u16string>> SplitRegKeyPath(std::u16string_view path) {
  constexpr size_t kMaxKeyNameLength = 255, kMaxKeyDepth = 512;
  path = CutAtNul(path);
  if (!path.empty() && path[0] == u'\\') return std::nullopt;
  std::vector<std::u16string> parts;
  for (size_t start = 0; start <= path.size();) {
    size_t end = std::min(path.find(u'\\', start), path.size());
    if (end - start > kMaxKeyNameLength) return std::nullopt;
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    if (parts.size() > kMaxKeyDepth) return std::nullopt;
    start = end + 1;
  }
  return parts;
}

/// Text as string data holds it: UTF-16 LE, two bytes a unit (no terminating NUL added).
inline std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2 + 2);
  for (char16_t c : text) {
    bytes.push_back(char(c & 0xFF));
    bytes.push_back(char(c >> 8));
  }
  return bytes;
}

/// The UTF-16 units of data bytes, NULs included; an odd last byte is left out.
inline std::u16string Utf16Of(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    text.push_back(char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
  return text;
}

/// An open key. Names compare case-insensitively and keep their case.
class TRegKey {
 public:
  virtual ~TRegKey() = default;

  /// The value names in the registry's enumeration order ("" for the unnamed value).
  virtual std::vector<std::u16string> ValueNames() const = 0;
  /// The subkey names in the registry's enumeration order.
  virtual std::vector<std::u16string> SubKeyNames() const = 0;
  /// The value's type and data, or nothing when the key has no such value.
  virtual std::optional<TRegData> QueryValue(std::u16string_view name) const = 0;
  /// Stores a value (key opened with CreateRegKey); false when the system refuses it.
  virtual bool SetValue(std::u16string_view name, const TRegData& data) = 0;
  /// Deletes a value (key opened with CreateRegKey).
  virtual TRegResult DeleteValue(std::u16string_view name) = 0;
};

/// Announces that the run is about to read the keys at `paths` (and the keys on their way),
/// so that they cost one pass over the registry. POSIX scans a registry file it has not
/// read whole yet for all of them at once (and, for HKLM, for the machine environment that
/// the run's Path comes from); Windows has nothing to prepare. Reads nothing else.
void ExpectRegKeys(TRegRoot root, const std::vector<std::u16string>& paths);

/// Opens an existing key for reading; nullptr when it does not exist, the path is not a
/// valid key path, or reading is refused. Fails with ERegistryException when the registry
/// itself cannot be read (POSIX: a registry file whose header is not Wine's).
std::unique_ptr<TRegKey> OpenRegKey(TRegRoot root, std::u16string_view path);

/// Opens a key for writing, creating it and its missing parents; nullptr when refused or
/// when the path is not a valid key path. Fails with ERegistryException when the registry
/// cannot be written at all (POSIX: a wineserver holds the prefix, the lock cannot be had,
/// the prefix folder cannot be created).
std::unique_ptr<TRegKey> CreateRegKey(TRegRoot root, std::u16string_view path);

/// Deletes one key that has no subkeys (callers delete subkeys first); NotFound when it
/// does not exist. Refused (AccessDenied): an empty path (the root itself), and a key that
/// is a link (Wine links keys of the 32-bit view to their 64-bit originals; deleting
/// through a link would delete its target). POSIX also refuses HKLM\Software\Wow6432Node
/// (the whole 32-bit view) and any key of the 64-bit HKLM\Software that the path reaches
/// through a link or a missing Wow6432Node; Windows under Wine deletes such a key.
TRegResult DeleteRegKeyOnly(TRegRoot root, std::u16string_view path);

/// Deletes the key and everything below it, the last subkey first; stops at the first key
/// the system refuses to delete (AccessDenied), with the keys before it deleted. Subkeys are
/// reached from their parent, not by their whole path, so that deep trees cost no more than
/// flat ones. Refused as DeleteRegKeyOnly refuses its key, and when the tree holds a link,
/// before anything is deleted.
TRegResult DeleteRegTree(TRegRoot root, std::u16string_view path);

/// What DeleteRegTree would answer before it deletes anything, deleting nothing: Ok, NotFound
/// or AccessDenied. For runs that hold their changes back and must fail where a real run
/// fails.
TRegResult CheckRegTreeDelete(TRegRoot root, std::u16string_view path);

/// Makes the run's changes durable: POSIX writes the changed registry files back
/// atomically (once per run, also after a failure); Windows has nothing to do. Fails with
/// ERegistryException when a file cannot be written; the old file then stays intact.
void CommitRegistry();

/// Tells running programs that environment settings changed (WM_SETTINGCHANGE with
/// "Environment"); POSIX has no counterpart and does nothing.
void BroadcastSettingsChanged();

}  // namespace Platform

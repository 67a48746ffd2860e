#include "tool/RegOp.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>

#include "common/QO_Utils.h"
#include "platform/Collation.h"
#include "platform/Errors.h"
#include "tool/Staging.h"

using Platform::TRegData;
using Platform::TRegKey;
using Platform::TRegResult;
using Platform::TRegRoot;

namespace {

struct TRootPrefix {
  std::u16string_view Prefix;
  TRegRoot Root;
};

constexpr std::array<TRootPrefix, 4> kCurrentUserPrefixes = {{
    {u"HKCU\\", TRegRoot::CurrentUser},
    {u"HKCU", TRegRoot::CurrentUser},
    {u"HKEY_CURRENT_USER\\", TRegRoot::CurrentUser},
    {u"HKEY_CURRENT_USER", TRegRoot::CurrentUser},
}};

constexpr std::array<TRootPrefix, 4> kLocalMachinePrefixes = {{
    {u"HKLM\\", TRegRoot::LocalMachine},
    {u"HKLM", TRegRoot::LocalMachine},
    {u"HKEY_LOCAL_MACHINE\\", TRegRoot::LocalMachine},
    {u"HKEY_LOCAL_MACHINE", TRegRoot::LocalMachine},
}};

bool RemovePrefix(std::u16string& keyPath, const std::array<TRootPrefix, 4>& prefixes) {
  for (const auto& p : prefixes) {
    if (keyPath.compare(0, p.Prefix.size(), p.Prefix) == 0) {
      keyPath.erase(0, p.Prefix.size());
      return true;
    }
  }
  return false;
}

std::unique_ptr<TRegKey> OpenForReading(std::u16string_view keyPath) {
  std::u16string path(keyPath);
  TRegRoot root = ParseRootKey(path);
  return Staging::OpenRegKey(root, path);
}

std::unique_ptr<TRegKey> OpenForWriting(std::u16string_view keyPath) {
  std::u16string path(keyPath);
  TRegRoot root = ParseRootKey(path);
  return Staging::CreateRegKey(root, path);
}

std::u16string Quoted(std::u16string_view name) {
  return u"'" + std::u16string(name) + u"'";
}

// The stored text of a string value: UTF-16 LE, cut at the first NUL.
std::u16string StringOf(const std::string& bytes) {
  return std::u16string(Platform::CutAtNul(Platform::Utf16Of(bytes)));
}

std::string StringBytes(std::u16string_view text) {
  return Platform::Utf16Bytes(text) + std::string(2, '\0');
}

std::string DwordBytes(int32_t value) {
  auto bits = static_cast<uint32_t>(value);
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[size_t(i)] = char((bits >> (8 * i)) & 0xFF);
  return bytes;
}

// A DWORD as the classic runtime reads it: fewer bytes are zero-extended, more do not fit.
int32_t DwordOf(const TRegData& data, std::u16string_view name) {
  if (data.Bytes.size() > 4) throw ERegistryException(u"Failed to get data for " + Quoted(name));
  uint32_t bits = 0;
  for (size_t i = 0; i < data.Bytes.size(); ++i)
    bits |= uint32_t(static_cast<unsigned char>(data.Bytes[i])) << (8 * i);
  return static_cast<int32_t>(bits);
}

// The value's text form; false for REG_NONE. Types without a text form fail.
bool TextForm(const TRegData& data, std::u16string_view name, std::u16string& text) {
  text.clear();
  switch (data.Type) {
    case Platform::kRegNone:
      return false;
    case Platform::kRegDword:
      text = IntToStr(DwordOf(data, name));
      return true;
    case Platform::kRegSz:
    case Platform::kRegExpandSz:
      text = QuoteText(StringOf(data.Bytes), kQuoteDouble);
      return true;
    default:
      throw ERegistryException(u"Invalid data type for " + Quoted(name));
  }
}

// The type code a type name writes (without its "REG_" prefix).
uint32_t TypeForName(std::u16string_view typeName) {
  if (typeName == u"NONE") return Platform::kRegNone;
  if (typeName.empty() || typeName == u"SZ") return Platform::kRegSz;
  if (typeName == u"EXPAND_SZ") return Platform::kRegExpandSz;
  if (typeName == u"MULTI_SZ") return Platform::kRegMultiSz;
  if (typeName == u"DWORD") return Platform::kRegDword;
  if (typeName == u"BINARY") return Platform::kRegBinary;
  throw Exception(u"Unknown registry entry data type: " + std::u16string(typeName));
}

// Splits a "name=data" line at the first "=" outside double quotes (an apostrophe in a
// folder name must not hide it); without one the name is empty and the line is the data.
void SplitValueLine(std::u16string_view line, std::u16string& name, std::u16string& data) {
  size_t eq = PosOutsideQuotes(u'=', line, 1, false, true);
  if (eq == 0) {
    name.clear();
    data = std::u16string(line);
    return;
  }
  name = StripQuotes(line.substr(0, eq - 1), kQuoteDouble, true);
  data = StripQuotes(line.substr(eq), kQuoteDouble, true);
}

}  // namespace

TRegRoot ParseRootKey(std::u16string& keyPath) {
  RemovePrefix(keyPath, kCurrentUserPrefixes);
  if (RemovePrefix(keyPath, kLocalMachinePrefixes)) return TRegRoot::LocalMachine;
  return TRegRoot::CurrentUser;
}

std::u16string RegTypeName(uint32_t type) {
  switch (type) {
    case Platform::kRegNone:
      return u"REG_NONE";
    case Platform::kRegSz:
      return u"REG_SZ";
    case Platform::kRegExpandSz:
      return u"REG_EXPAND_SZ";
    case Platform::kRegBinary:
      return u"REG_BINARY";
    case Platform::kRegDword:
      return u"REG_DWORD";
    case Platform::kRegMultiSz:
      return u"REG_MULTI_SZ";
    default:
      return u"Unknown: " + IntToStr(type);
  }
}

uint32_t GetRegValueTypeName(const TRegKey& key, std::u16string_view name,
                             std::u16string& typeName) {
  std::optional<TRegData> data = key.QueryValue(name);
  typeName = data ? RegTypeName(data->Type) : std::u16string();
  return data ? data->Type : Platform::kRegNone;
}

bool GetRegValueNames(std::u16string_view keyPath, TStringList& names) {
  auto key = OpenForReading(keyPath);
  if (!key) return false;
  std::vector<std::u16string> found = key->ValueNames();
  names.BeginUpdate();
  names.Clear();
  for (auto& name : found)
    names.Add(std::move(name));
  names.EndUpdate();
  return true;
}

namespace {

// ReadRegValue for a key that is open already.
bool ReadValue(const TRegKey& key, std::u16string_view name, std::u16string& data,
               std::u16string& typeName) {
  data.clear();
  typeName.clear();
  std::optional<TRegData> value = key.QueryValue(name);
  if (!value) return false;
  typeName = RegTypeName(value->Type);
  return TextForm(*value, name, data);
}

}  // namespace

bool ReadRegValue(std::u16string_view keyPath, std::u16string_view name, std::u16string& data,
                  std::u16string& typeName) {
  data.clear();
  typeName.clear();
  auto key = OpenForReading(keyPath);
  return key && ReadValue(*key, name, data, typeName);
}

bool ForEachRegValue(
    std::u16string_view keyPath,
    const std::function<void(const std::u16string&, const std::u16string&)>& visit) {
  auto key = OpenForReading(keyPath);
  if (!key) return false;
  std::u16string data, typeName;
  for (const std::u16string& name : key->ValueNames()) {
    ReadValue(*key, name, data, typeName);
    visit(name, data);
  }
  return true;
}

bool RegKeyExists(std::u16string_view keyPath) {
  return OpenForReading(keyPath) != nullptr;
}

bool ReadRegString(std::u16string_view keyPath, std::u16string_view name, std::u16string& text) {
  text.clear();
  auto key = OpenForReading(keyPath);
  std::optional<TRegData> value = key ? key->QueryValue(name) : std::nullopt;
  if (!value || (value->Type != Platform::kRegSz && value->Type != Platform::kRegExpandSz))
    return false;
  text = StringOf(value->Bytes);
  return true;
}

bool ReadRegValues(std::u16string_view keyPath, TStringList& lines) {
  lines.Clear();
  auto key = OpenForReading(keyPath);
  if (!key) return false;
  std::u16string data, typeName;
  for (const std::u16string& name : key->ValueNames()) {
    ReadValue(*key, StripQuotes(name, kQuoteDouble, true), data, typeName);
    lines.Add(name + u"=" + data);
  }
  return true;
}

bool WriteRegValue(std::u16string_view keyPath, std::u16string_view name, std::u16string_view data,
                   std::u16string_view typeName) {
  // Everything that can fail is settled before the key is created, so that a refused write
  // leaves no new key behind.
  std::u16string type(typeName);
  if (type.empty())
    if (auto existing = OpenForReading(keyPath)) GetRegValueTypeName(*existing, name, type);
  if (type.compare(0, 4, u"REG_") == 0) type.erase(0, 4);
  TRegData value;
  value.Type = TypeForName(type);
  switch (value.Type) {
    case Platform::kRegSz:
    case Platform::kRegExpandSz:
      value.Bytes = StringBytes(data);
      break;
    case Platform::kRegDword:
      value.Bytes = DwordBytes(StrToInt(data));
      break;
    default:
      throw Exception(u"Unsupported registry entry data type");
  }
  if (Platform::CutAtNul(name).size() > Platform::kMaxValueNameLength)
    throw ERegistryException(u"Failed to set data for " + Quoted(name));
  auto key = OpenForWriting(keyPath);
  if (!key) return false;
  if (!key->SetValue(name, value))
    throw ERegistryException(u"Failed to set data for " + Quoted(name));
  return true;
}

namespace {

// The case-insensitive identity of a value name, for matching names as the registry does.
std::u16string NameKey(std::u16string_view name) {
  return Platform::UpperCase(name);
}

// The line ReadRegValues gives for each value that has a text form, by value name.
std::multimap<std::u16string, std::u16string> CurrentLines(const TRegKey& key) {
  std::multimap<std::u16string, std::u16string> lines;
  for (const auto& name : key.ValueNames()) {
    std::optional<TRegData> value = key.QueryValue(StripQuotes(name, kQuoteDouble, true));
    std::u16string text;
    try {
      if (value) TextForm(*value, name, text);
    } catch (const ERegistryException&) {
      continue;  // No text form: no line can stand for it, so no change touches it.
    }
    lines.emplace(name + u"=" + text, name);
  }
  return lines;
}

}  // namespace

bool WriteRegValues(std::u16string_view keyPath, const TStringList& lines) {
  std::multimap<std::u16string, std::u16string> unchanged;
  if (auto key = OpenForReading(keyPath)) unchanged = CurrentLines(*key);
  std::set<std::u16string> written;
  std::u16string name, data;
  // Write first and delete after, so that a value still listed is never missing.
  for (const auto& line : lines.Items()) {
    auto same = unchanged.find(line);
    if (same != unchanged.end()) {
      written.insert(NameKey(same->second));
      unchanged.erase(same);
      continue;
    }
    SplitValueLine(line, name, data);
    WriteRegValue(keyPath, name, data, u"REG_SZ");
    written.insert(NameKey(name));
  }
  if (unchanged.empty()) return true;
  auto key = OpenForWriting(keyPath);
  if (!key) return true;
  for (const auto& [line, gone] : unchanged)
    if (!written.count(NameKey(gone))) key->DeleteValue(gone);
  return true;
}

size_t RegKeyDepth(std::u16string_view keyPath) {
  std::u16string path(Platform::CutAtNul(keyPath));
  ParseRootKey(path);
  size_t names = 0;
  for (size_t start = 0; start < path.size();) {
    size_t end = std::min(path.find(u'\\', start), path.size());
    if (end > start) ++names;
    start = end + 1;
  }
  return names;
}

TRegResult DeleteRegKeyTree(std::u16string_view keyPath) {
  std::u16string path(keyPath);
  TRegRoot root = ParseRootKey(path);
  // A root, or a key right below one (HKCU\Software, HKLM\System), is a whole branch that
  // other programs and the system live in: deleting it is never meant, however the path
  // came about (an empty variable in "HKCU\Software\%VENDOR%").
  if (RegKeyDepth(keyPath) < 2) return TRegResult::AccessDenied;
  return Staging::DeleteRegTree(root, path);
}

bool DeleteRegKey(std::u16string_view keyPath) {
  return DeleteRegKeyTree(keyPath) == TRegResult::Ok;
}

bool DeleteRegValue(std::u16string_view keyPath, std::u16string_view name) {
  auto key = OpenForWriting(keyPath);
  if (!key) return false;
  key->DeleteValue(name);
  return true;
}

namespace {

void SplitPathList(std::u16string_view text, TStringList& entries) {
  TSplitSettings settings;
  settings.Delimiters = u";";
  settings.TrimItems = true;
  SplitText(text, entries, settings);
}

}  // namespace

void AppendRegPathEntries(std::u16string_view keyPath, std::u16string_view name,
                          const TStringList& entries) {
  if (name.empty()) return;
  std::u16string data, typeName;
  ReadRegValue(keyPath, name, data, typeName);
  TStringList all;
  SplitPathList(StripQuotes(data, kQuoteAny, true), all);
  all.AddStrings(entries);
  WriteRegValue(keyPath, name, JoinList(all, u';'), typeName);
}

void AppendRegPathList(std::u16string_view keyPath, std::u16string_view name,
                       std::u16string_view entries) {
  TStringList list;
  SplitPathList(entries, list);
  AppendRegPathEntries(keyPath, name, list);
}

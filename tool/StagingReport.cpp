// What a staged run changed, net: the "Would ..." lines of a dry run and the undo file.
#include <algorithm>
#include <map>

#include "common/QO_Utils.h"
#include "platform/Collation.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "tool/RegOp.h"
#include "tool/StagingState.h"

using Platform::TRegData;
using Platform::TRegRoot;

namespace Staging {
namespace {

// One net difference: a key created or deleted, or a value whose data differs.
struct TDifference {
  size_t Order;
  const TKeyChange* Key = nullptr;      // a key that exists now and did not, or the reverse
  const TValueChange* Value = nullptr;  // a value set, changed or deleted
  std::optional<TRegData> After;
};

std::vector<TDifference> Differences(const TState& state) {
  std::vector<TDifference> found;
  for (const auto& [id, key] : state.Keys)
    if (KeyExists(key.Root, key.Path) != key.Existed)
      found.push_back({key.Order, &key, nullptr, std::nullopt});
  for (const auto& [id, value] : state.Values) {
    auto after = KeyExists(value.Root, value.Path) ? ValueOf(value.Root, value.Path, value.Name)
                                                   : std::nullopt;
    if (after != value.Before) found.push_back({value.Order, nullptr, &value, std::move(after)});
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.Order < b.Order; });
  return found;
}

std::u16string HexBytes(const std::string& bytes) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) text.push_back(u',');
    text.push_back(kDigits[uint8_t(bytes[i]) >> 4]);
    text.push_back(kDigits[uint8_t(bytes[i]) & 15]);
  }
  return text;
}

// A string value's text when its bytes are exactly one NUL-terminated UTF-16 string.
std::optional<std::u16string> PlainString(const TRegData& data) {
  std::u16string text = Platform::Utf16Of(data.Bytes);
  if (data.Bytes.size() % 2 || text.empty() || text.back() != 0) return std::nullopt;
  text.pop_back();
  if (text.find(u'\0') != std::u16string::npos) return std::nullopt;
  return text;
}

// The data as a person reads it: strings quoted, numbers in decimal, other bytes in hex;
// every type but REG_SZ named after it.
std::u16string ShownData(const TRegData& data) {
  auto text = PlainString(data);
  if (data.Type == Platform::kRegSz && text) return QuoteText(*text, kQuoteDouble);
  std::u16string shown;
  if (text && data.Type == Platform::kRegExpandSz) {
    shown = QuoteText(*text, kQuoteDouble);
  } else if (data.Type == Platform::kRegDword && data.Bytes.size() == 4) {
    shown =
        IntToStr(int64_t(uint8_t(data.Bytes[0]) | uint8_t(data.Bytes[1]) << 8 |
                         uint8_t(data.Bytes[2]) << 16 | uint32_t(uint8_t(data.Bytes[3])) << 24));
  } else {
    shown = u"hex:" + HexBytes(data.Bytes);
  }
  return shown + u" (" + RegTypeName(data.Type) + u")";
}

std::u16string Would(std::u16string_view verb, std::u16string_view what) {
  std::u16string line = u"Would " + std::u16string(verb);
  line.resize(14, u' ');
  return line + std::u16string(what);
}

size_t LineCount(const std::string& bytes) {
  size_t lines = 0;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
      ++lines;
  bool unbroken = !bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r';
  return lines + (unbroken ? 1 : 0);
}

// Whether a copy leaves the destination as it was. The platform's files are still as
// before the run when this is asked.
bool SameContents(std::u16string_view source, std::u16string_view destination) {
  try {
    return Platform::ReadFileBytes(source) == Platform::ReadFileBytes(destination);
  } catch (const Exception&) {
    return false;
  }
}

std::u16string FileLine(const TFileChange& file) {
  switch (file.Action) {
    case TFileAction::Copy:
      return file.Existed && SameContents(file.Source, file.Path)
                 ? u""
                 : Would(u"copy", file.Source + u" -> " + file.Path);
    case TFileAction::Remove:
      return file.Existed ? Would(u"delete", file.Path) : u"";
    case TFileAction::Write: {
      size_t before = LineCount(file.Original), after = LineCount(file.Bytes);
      if (!file.Existed || after >= before) return Would(u"write", file.Path);
      size_t removed = before - after;
      return Would(u"edit", file.Path + u" (remove " + IntToStr(int64_t(removed)) +
                                (removed == 1 ? u" line)" : u" lines)"));
    }
  }
  return u"";
}

}  // namespace

std::vector<std::u16string> WouldLines(const TState& state) {
  std::vector<std::pair<size_t, std::u16string>> lines;
  for (const auto& difference : Differences(state)) {
    if (const TKeyChange* key = difference.Key) {
      lines.emplace_back(
          key->Order, Would(key->Existed ? u"delete" : u"create", ShownKey(key->Root, key->Path)));
      continue;
    }
    const TValueChange& value = *difference.Value;
    std::u16string named = ShownKey(value.Root, value.Path) + u" [" + value.Name + u"]";
    lines.emplace_back(
        value.Order, difference.After ? Would(u"set", named + u" = " + ShownData(*difference.After))
                                      : Would(u"delete", named));
  }
  for (const auto& [id, file] : state.Files)
    if (auto line = FileLine(file); !line.empty()) lines.emplace_back(file.Order, line);
  std::stable_sort(lines.begin(), lines.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::u16string> text;
  for (auto& [order, line] : lines)
    text.push_back(std::move(line));
  return text;
}

namespace {

// Whether HKLM\Software of this machine has a 32-bit view apart from the 64-bit one; the
// undo file is imported in the 64-bit view, so it names the 32-bit keys by their real place.
bool SoftwareIsRedirected() {
  return Platform::OpenRegKey(TRegRoot::LocalMachine, u"Software\\Wow6432Node") != nullptr;
}

std::u16string ExportedKey(TRegRoot root, const TPath& path, bool redirected) {
  if (root == TRegRoot::CurrentUser) {
    std::u16string name = u"HKEY_CURRENT_USER";
    for (const auto& part : path)
      name += u"\\" + part;
    return name;
  }
  std::u16string name = u"HKEY_LOCAL_MACHINE";
  for (size_t i = 0; i < path.size(); ++i) {
    bool software = i == 0 && path.size() > 1 && Platform::UpperCase(path[0]) == u"SOFTWARE" &&
                    Platform::UpperCase(path[1]) != u"WOW6432NODE";
    name += software && redirected ? u"\\SOFTWARE\\Wow6432Node" : u"\\" + path[i];
  }
  return name;
}

std::u16string Escaped(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) {
    if (c == u'\\' || c == u'"') out.push_back(u'\\');
    out.push_back(c);
  }
  return out;
}

// One value line of a reg export: long hex data continues on lines of about 80 columns.
std::u16string ExportedValue(std::u16string_view name, const std::optional<TRegData>& data) {
  std::u16string line = name.empty() ? u"@=" : u"\"" + Escaped(name) + u"\"=";
  if (!data) return line + u"-";
  auto text = PlainString(*data);
  if (data->Type == Platform::kRegSz && text &&
      text->find_first_of(u"\r\n") == std::u16string::npos)
    return line + u"\"" + Escaped(*text) + u"\"";
  if (data->Type == Platform::kRegDword && data->Bytes.size() == 4) {
    std::u16string hex;
    for (int i = 3; i >= 0; --i)
      hex += HexBytes(data->Bytes.substr(size_t(i), 1));
    return line + u"dword:" + hex;
  }
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  if (data->Type == Platform::kRegBinary) {
    line += u"hex:";
  } else {
    std::u16string type;
    for (uint32_t t = data->Type; t || type.empty(); t >>= 4)
      type.insert(type.begin(), kDigits[t & 15]);
    line += u"hex(" + type + u"):";
  }
  size_t column = line.size();
  for (size_t i = 0; i < data->Bytes.size(); ++i) {
    std::u16string byte = HexBytes(data->Bytes.substr(i, 1));
    if (i + 1 < data->Bytes.size()) byte += u",";
    if (column + byte.size() > 78 && i + 1 < data->Bytes.size()) {
      line += u"\\\r\n  ";
      column = 2;
    }
    line += byte;
    column += byte.size();
  }
  return line;
}

bool IsBelow(const TKeyChange& key, const std::vector<const TKeyChange*>& removed) {
  for (const TKeyChange* gone : removed) {
    if (gone->Root != key.Root || gone->Path.size() > key.Path.size()) continue;
    bool below = true;
    for (size_t i = 0; i < gone->Path.size() && below; ++i)
      below = Platform::UpperCase(gone->Path[i]) == Platform::UpperCase(key.Path[i]);
    if (below) return true;
  }
  return false;
}

}  // namespace

std::string UndoFileBytes(const TState& state) {
  bool redirected = SoftwareIsRedirected();
  // The keys in the order of their first difference, each with its differing values.
  struct TKeyBlock {
    TKeyChange Key;
    std::u16string Values;
  };
  std::vector<TKeyBlock> blocks;
  std::map<std::u16string, size_t> blockOf;
  auto block = [&](TRegRoot root, const TPath& path, bool existed, size_t order) -> TKeyBlock& {
    std::u16string id = ExportedKey(root, path, redirected);
    id = Platform::UpperCase(id);
    auto [at, added] = blockOf.emplace(id, blocks.size());
    if (added) blocks.push_back({TKeyChange{root, path, existed, order}, u""});
    return blocks[at->second];
  };
  for (const auto& difference : Differences(state)) {
    if (const TKeyChange* key = difference.Key) {
      block(key->Root, key->Path, key->Existed, key->Order).Key.Existed = key->Existed;
      continue;
    }
    const TValueChange& value = *difference.Value;
    block(value.Root, value.Path, true, value.Order).Values +=
        ExportedValue(value.Name, value.Before) + u"\r\n";
  }
  std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n";
  std::vector<const TKeyChange*> removed;
  for (const auto& each : blocks) {
    if (IsBelow(each.Key, removed)) continue;  // goes with the new key above it
    std::u16string name = ExportedKey(each.Key.Root, each.Key.Path, redirected);
    if (!each.Key.Existed) {
      removed.push_back(&each.Key);
      text += u"[-" + name + u"]\r\n\r\n";
    } else {
      text += u"[" + name + u"]\r\n" + each.Values + u"\r\n";
    }
  }
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text)
    bytes.push_back(char(c & 0xFF)), bytes.push_back(char(c >> 8));
  return bytes;
}

}  // namespace Staging

#include "platform/posix/registry/KeyBlock.h"

#include <algorithm>
#include <cstdio>

namespace Platform::WineReg {

size_t TKeyContent::FindValue(std::u16string_view name) const {
  auto it = std::lower_bound(Values.begin(), Values.end(), name, [](const TStoredValue& v, auto n) {
    return CompareNames(v.Name, n) < 0;
  });
  return it != Values.end() && CompareNames(it->Name, name) == 0 ? size_t(it - Values.begin())
                                                                 : Values.size();
}

void TKeyContent::SetValue(std::u16string_view name, const TRegData& data) {
  size_t i = FindValue(name);
  if (i == Values.size()) {
    auto it =
        std::lower_bound(Values.begin(), Values.end(), name,
                         [](const TStoredValue& v, auto n) { return CompareNames(v.Name, n) < 0; });
    it = Values.insert(it, TStoredValue{std::u16string(name), data, true});
    return;
  }
  Values[i].Data = data;
  Values[i].Changed = true;
}

bool TKeyContent::DeleteValue(std::u16string_view name) {
  size_t i = FindValue(name);
  if (i == Values.size()) return false;
  Values.erase(Values.begin() + std::ptrdiff_t(i));
  return true;
}

bool TKeyContent::HasOwnLines() const {
  for (const TKeyLine& line : Lines) {
    std::string_view t = TrimLeft(line.Raw);
    if (!line.IsValue && !t.empty() && !t.starts_with("#time=")) return true;
  }
  return false;
}

void ReadKeyBlock(std::string_view block, TKeyContent& content) {
  TLineReader reader(block);
  std::string_view line;
  if (!reader.Next(line)) return;
  std::string_view header = TrimLeft(line).substr(1);
  size_t used = DecodeEscaped(header, ']', [](char16_t, size_t, size_t) {});
  if (content.PathText.empty() && used != std::string_view::npos)
    content.PathText = std::string(header.substr(0, used - 1));
  for (size_t begin = reader.Pos(); reader.Next(line); begin = reader.Pos()) {
    std::string_view t = TrimLeft(line);
    TKeyLine kept;
    TValueLine value;
    if (!t.empty() && (t[0] == '"' || t[0] == '@') && ReadValue(t, reader, &value)) {
      kept.IsValue = true;
      kept.Name = value.Name;
      size_t i = content.FindValue(value.Name);
      if (i == content.Values.size()) {
        content.SetValue(value.Name, value.Data);
        i = content.FindValue(value.Name);
      }
      content.Values[i].Data = value.Data;
      content.Values[i].Changed = false;
    }
    kept.Raw = std::string(block.substr(begin, reader.Pos() - begin));
    if (kept.Raw.empty() || kept.Raw.back() != '\n') kept.Raw.push_back('\n');
    content.Lines.push_back(std::move(kept));
  }
}

std::string WriteKey(const TKeyContent& content, uint64_t filetime) {
  char buf[64];
  std::string out = "[" + content.PathText;
  std::snprintf(buf, sizeof buf, "] %u\n#time=%x%08x\n",
                unsigned((filetime - kFiletimeOf1970) / 10000000), unsigned(filetime >> 32),
                unsigned(filetime & 0xFFFFFFFF));
  out += buf;
  std::vector<bool> written(content.Values.size());
  for (const TKeyLine& line : content.Lines) {
    std::string_view t = TrimLeft(line.Raw);
    if (!line.IsValue) {
      if (!t.empty() && !t.starts_with("#time=")) out += line.Raw;
      continue;
    }
    size_t i = content.FindValue(line.Name);
    if (i == content.Values.size()) continue;  // deleted
    if (!content.Values[i].Changed) {
      out += line.Raw;
    } else if (!written[i]) {
      AppendValue(content.Values[i].Name, content.Values[i].Data, out);
      written[i] = true;
    }
  }
  for (size_t i = 0; i < content.Values.size(); ++i)
    if (content.Values[i].Changed && !written[i])
      AppendValue(content.Values[i].Name, content.Values[i].Data, out);
  out.push_back('\n');
  return out;
}

std::string EscapePath(const TPath& path) {
  std::string out;
  for (size_t i = 0; i < path.size(); ++i) {
    if (i) out += "\\\\";
    AppendEscaped(path[i], "[]", out);
  }
  return out;
}

std::string NewFileText(const TPath& root, TArch arch) {
  TPath full = {u"REGISTRY"};
  full.insert(full.end(), root.begin(), root.end());
  std::string out = std::string(kSignature) + "\n;; All keys relative to ";
  out += EscapePath(full);
  out += "\n";
  if (arch == TArch::Win64) out += "\n#arch=win64\n";
  if (arch == TArch::Win32) out += "\n#arch=win32\n";
  return out;
}

}  // namespace Platform::WineReg

// A small program that runs registry commands through the platform interface, built for
// both backends: the tests run it natively and under Wine and compare what it prints, and
// start several at once (or kill them) to test locking and atomic replacement.
//
// Commands, one per line on standard input, fields separated by TABs; texts may use
// \uXXXX and \\ escapes; data is hexadecimal bytes:
//   set ROOT PATH NAME TYPE HEX   get ROOT PATH NAME     values ROOT PATH   keys ROOT PATH
//   create ROOT PATH              open ROOT PATH         delval ROOT PATH NAME
//   delkey ROOT PATH              fill ROOT PATH PREFIX COUNT             commit
// ROOT is HKCU or HKLM. Each command prints one line (or one per value/key).
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/Registry.h"

namespace {

using Platform::TRegRoot;

std::u16string Unescape(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 5 < s.size() && s[i + 1] == 'u') {
      out.push_back(char16_t(std::stoul(s.substr(i + 2, 4), nullptr, 16)));
      i += 5;
    } else if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\\') {
      out.push_back(u'\\');
      ++i;
    } else {
      out.push_back(char16_t(static_cast<unsigned char>(s[i])));
    }
  }
  return out;
}

std::string Escape(std::u16string_view s) {
  std::string out;
  char buf[8];
  for (char16_t c : s) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(char(c));
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
      out += buf;
    }
  }
  return out;
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (unsigned char b : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    out += buf;
  }
  return out;
}

std::string Bytes(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(char(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == '\t')
      fields.emplace_back();
    else if (c != '\r')
      fields.back().push_back(c);
  }
  return fields;
}

const char* ResultName(Platform::TRegResult r) {
  return r == Platform::TRegResult::Ok         ? "ok"
         : r == Platform::TRegResult::NotFound ? "notfound"
                                               : "denied";
}

std::string Fill(TRegRoot root, const std::u16string& path, const std::u16string& prefix,
                 int count) {
  auto key = Platform::CreateRegKey(root, path);
  if (!key) return "fill failed";
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    std::u16string name = prefix + std::u16string(n.begin(), n.end());
    std::string data = Platform::Utf16Bytes(name + u'\0');
    if (!key->SetValue(name, {Platform::kRegSz, data})) return "set failed";
  }
  Platform::CommitRegistry();
  return "filled";
}

// Runs one command; returns the lines it prints.
std::string Run(const std::vector<std::string>& f) {
  if (f[0] == "commit") return Platform::CommitRegistry(), "committed";
  if (f.size() < 3) return "bad command";
  TRegRoot root = f[1] == "HKLM" ? TRegRoot::LocalMachine : TRegRoot::CurrentUser;
  std::u16string path = Unescape(f[2]);
  std::u16string name = f.size() > 3 ? Unescape(f[3]) : u"";
  const std::string& cmd = f[0];
  if (cmd == "create") return Platform::CreateRegKey(root, path) ? "created" : "refused";
  if (cmd == "delkey") return ResultName(Platform::DeleteRegKeyOnly(root, path));
  if (cmd == "fill") return Fill(root, path, name, std::stoi(f.at(4)));
  auto key = cmd == "set" || cmd == "delval" ? Platform::CreateRegKey(root, path)
                                             : Platform::OpenRegKey(root, path);
  if (!key) return "nokey";
  if (cmd == "open") return "opened";
  if (cmd == "set")
    return key->SetValue(
               name, {uint32_t(std::stoul(f.at(4), nullptr, 16)), Bytes(f.size() > 5 ? f[5] : "")})
               ? "set"
               : "refused";
  if (cmd == "delval") return ResultName(key->DeleteValue(name));
  if (cmd == "get") {
    auto data = key->QueryValue(name);
    return data ? std::to_string(data->Type) + " " + Hex(data->Bytes) : "novalue";
  }
  std::string out;
  if (cmd == "values") {
    for (const std::u16string& v : key->ValueNames()) {
      auto data = key->QueryValue(v);
      out += "[" + Escape(v) + "] " +
             (data ? std::to_string(data->Type) + " " + Hex(data->Bytes) : "?") + "\n";
    }
  } else if (cmd == "keys") {
    for (const std::u16string& k : key->SubKeyNames())
      out += "[" + Escape(k) + "]\n";
  } else {
    return "bad command";
  }
  if (!out.empty()) out.pop_back();
  return out.empty() ? "(none)" : out;
}

}  // namespace

int main() {
  std::string line;
  int status = 0;
  while (std::getline(std::cin, line)) {
    std::vector<std::string> fields = Fields(line);
    if (fields[0].empty()) continue;
    try {
      std::printf("%s\n", Run(fields).c_str());
    } catch (const Exception& e) {
      std::printf("error %s\n", e.what());
      status = 1;
    }
    std::fflush(stdout);
  }
  try {
    Platform::CommitRegistry();
  } catch (const Exception& e) {
    std::printf("error %s\n", e.what());
    status = 1;
  }
  return status;
}

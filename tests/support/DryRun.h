// A dry run's registry lines against the changes the real run made: both named alike.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>

/// Registry entries: "ROOT\KEY" -> "(key)", "ROOT\KEY [NAME]" -> the value's data.
using TRegEntries = std::map<std::string, std::string>;

inline std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), ::toupper);
  return text;
}

/// The differences as a dry run names them, without the data: "CREATE KEY", "SET KEY [NAME]",
/// "DELETE KEY", "DELETE KEY [NAME]"; in upper case, as names compare.
inline std::multiset<std::string> Differences(const TRegEntries& before, const TRegEntries& after) {
  std::multiset<std::string> found;
  for (const auto& [entry, data] : after)
    if (!before.count(entry) || before.at(entry) != data)
      found.insert(Upper((data == "(key)" ? "create " : "set ") + entry));
  for (const auto& [entry, data] : before)
    if (!after.count(entry)) found.insert(Upper("delete " + entry));
  return found;
}

/// The registry lines of a dry run's report ("Would set     KEY [NAME] = DATA") as
/// Differences names them; the lines about files are counted in `*files`.
inline std::multiset<std::string> WouldLines(const std::string& report, size_t* files = nullptr) {
  std::multiset<std::string> found;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string verb = line.substr(6, line.find(' ', 6) - 6), what = line.substr(14);
    if (verb == "copy" || verb == "edit" || what.rfind("HK", 0) != 0) {
      if (files) ++*files;
      continue;
    }
    if (size_t data = what.find("] = "); data != std::string::npos) what.resize(data + 1);
    found.insert(Upper(verb + " " + what));
  }
  return found;
}

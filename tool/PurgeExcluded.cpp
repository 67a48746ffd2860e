#include "tool/PurgeExcluded.h"

#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/TextCodec.h"
#include "tool/Output.h"
#include "tool/Staging.h"

namespace {

enum class TEncoding { Bytes, Utf8Bom, Utf16Le, Utf16Be };

// One line of the file: where its bytes lie (with and without its line break) and its text.
struct TLine {
  size_t Begin;
  size_t TextEnd;
  size_t End;
  std::u16string Text;
};

TEncoding EncodingOf(const std::string& bytes) {
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return TEncoding::Utf8Bom;
  if (bytes.rfind("\xFF\xFE", 0) == 0) return TEncoding::Utf16Le;
  if (bytes.rfind("\xFE\xFF", 0) == 0) return TEncoding::Utf16Be;
  return TEncoding::Bytes;
}

char16_t UnitAt(const std::string& bytes, size_t at, TEncoding encoding) {
  auto lo = static_cast<unsigned char>(bytes[encoding == TEncoding::Utf16Le ? at : at + 1]);
  auto hi = static_cast<unsigned char>(bytes[encoding == TEncoding::Utf16Le ? at + 1 : at]);
  return char16_t(lo | (hi << 8));
}

// Cuts the file into lines at CR LF, LF or CR, keeping the byte ranges, so that removing a
// line leaves every other byte of the file as it was.
std::vector<TLine> SplitFileLines(const std::string& bytes, TEncoding encoding) {
  bool wide = encoding == TEncoding::Utf16Le || encoding == TEncoding::Utf16Be;
  size_t unit = wide ? 2 : 1;
  size_t start = encoding == TEncoding::Utf8Bom ? 3 : wide ? 2 : 0;
  auto at = [&](size_t i) -> char16_t {
    return wide ? UnitAt(bytes, i, encoding) : char16_t(static_cast<unsigned char>(bytes[i]));
  };
  std::vector<TLine> lines;
  size_t begin = start, i = start;
  auto decode = [&](size_t from, size_t to) {
    std::string part = bytes.substr(from, to - from);
    if (!wide) return Platform::DecodeTextFile(part, Platform::FromUtf8);
    std::u16string text;
    for (size_t k = from; k + 1 < to; k += 2)
      text.push_back(UnitAt(bytes, k, encoding));
    return text;
  };
  while (i + unit <= bytes.size()) {
    char16_t c = at(i);
    if (c != u'\r' && c != u'\n') {
      i += unit;
      continue;
    }
    size_t textEnd = i;
    i += unit;
    if (c == u'\r' && i + unit <= bytes.size() && at(i) == u'\n') i += unit;
    lines.push_back({begin, textEnd, i, decode(begin, textEnd)});
    begin = i;
  }
  if (begin < bytes.size())
    lines.push_back({begin, bytes.size(), bytes.size(), decode(begin, bytes.size())});
  return lines;
}

// The bytes without line `k`; a last line without a break takes the break before it along,
// so the file keeps ending the way it did.
std::string WithoutLine(const std::string& bytes, const std::vector<TLine>& lines, size_t k) {
  size_t from = lines[k].Begin, to = lines[k].End;
  bool lastUnbroken = k + 1 == lines.size() && lines[k].TextEnd == lines[k].End;
  if (lastUnbroken && k > 0) from = lines[k - 1].TextEnd;
  return bytes.substr(0, from) + bytes.substr(to);
}

void Dashes() {
  WriteLine(std::u16string(49, u'-'));
}

}  // namespace

void RunPurgeExcluded(TStringList& params) {
  if (params.Count() != 2) throw Exception(u"Incorrect number of parameters passed in.");
  PurgeExcluded(params[0], params[1]);
}

void PurgeExcluded(std::u16string_view file, std::u16string_view package) {
  Dashes();
  WriteLine(u"PurgeExcluded: ");
  WriteLine(u"  File: " + std::u16string(file));
  WriteLine(u"  Package: " + std::u16string(package));
  std::string bytes = Staging::ReadFileBytes(file);
  std::vector<TLine> lines = SplitFileLines(bytes, EncodingOf(bytes));
  bool inSection = false;
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::u16string& line = lines[k].Text;
    if (!inSection) {
      if (line == u"[Excluded Packages]") {
        WriteLine(u"found excluded packages section.");
        inSection = true;
      }
      continue;
    }
    if (line.empty()) {
      WriteLine(u"Breaking out due to a blank line.");
      break;
    }
    // An empty name occurs nowhere, as the classic substring search has it.
    if (package.empty() || line.find(package) == std::u16string::npos) continue;
    WriteLine(u"Discovered entry.");
    Staging::WriteFileAtomically(file, WithoutLine(bytes, lines, k));
    WriteLine(u"Item found and purged.");
    break;
  }
  Dashes();
}

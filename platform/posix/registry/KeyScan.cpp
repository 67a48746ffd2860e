#include "platform/posix/registry/KeyScan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <future>
#include <memory>
#include <system_error>

namespace Platform::WineReg {
namespace {

constexpr std::u16string_view kWow64Node = u"wow6432node";
// Wineserver refuses longer key names in a file (one more than the API allows).
constexpr size_t kMaxFileNameLength = 256;
constexpr size_t kHeadBytes = 4096;
// A piece of a megabyte: the program's allocator puts it on huge pages, so that filling it
// costs one page fault instead of 256.
constexpr size_t kChunk = size_t(1) << 20;

// A "[path]" line after its "[", decoded as TFileIndex reads it.
struct TKeyLine {
  bool Valid = true;
  TPath Names;
  // For each name, the bytes that decide it: up to the end of the separator or "]" after it;
  // npos for a name that nothing ends.
  std::vector<size_t> Decided;
};

TKeyLine DecodeKeyLine(std::string_view afterBracket) {
  TKeyLine line;
  size_t length = 0;
  size_t used = DecodeEscaped(afterBracket, ']', [&](char16_t c, size_t b, size_t e) {
    if (c == u'\\') {
      if (line.Names.empty() && length == 0 && b == 0) line.Valid = false;  // a leading backslash
      if (length) line.Decided.back() = e;
      length = 0;
      return;
    }
    if (length == 0) {
      line.Names.emplace_back();
      line.Decided.push_back(std::string_view::npos);
    }
    line.Names.back().push_back(c);
    if (++length > kMaxFileNameLength) line.Valid = false;
  });
  if (used == std::string_view::npos)
    line.Valid = false;
  else if (length)
    line.Decided.back() = used;
  return line;
}

class TScanner {
 public:
  /// `start` not 0: the text is the part of a file from that byte on, which starts with a
  /// "[path]" line; the file's first line was read before it.
  TScanner(const TKeyFamily& family, TKeyScan& out, size_t start = 0)
      : family_(family),
        out_(out),
        signature_(start != 0),
        headOpen_(start <= kHeadBytes),
        headFrom_(kHeadBytes - std::min(start, kHeadBytes)) {}
  void Run(const TReadAt& read);

 private:
  bool Process(bool atEnd);
  size_t Classify(size_t s, bool atEnd);
  void KeyLine(size_t s, std::string_view afterBracket);
  bool LeavesAsBefore(std::string_view afterBracket) const;
  void OpenBlock(size_t s);
  bool Live();
  void CloseBlock(size_t end) {
    if (capture_) capture_->Blocks.emplace_back(buf_.get() + block_, end - block_);
    capture_ = nullptr;
  }

  const TKeyFamily& family_;
  TKeyScan& out_;
  std::unique_ptr<char[]> buf_;
  size_t size_ = 0, capacity_ = 0;
  size_t pos_ = 0;                         // the next line to look at, in buf_
  size_t block_ = std::string_view::npos;  // the current block's start in buf_
  int live_ = 0;                           // the current block's: 0, 1, or -1 not known yet
  TScannedKey* capture_ = nullptr;         // the key whose block this is
  bool signature_;
  // Whether the text still has bytes of the file's head, and from which of its bytes on a
  // line end closes the head.
  bool headOpen_;
  const size_t headFrom_;
  // The last "[path]" line that was read: the bytes that decided it left the family. A line
  // that starts with the same bytes leaves it at the same name and adds nothing.
  std::string decided_;
  bool skip_ = false;
  std::vector<size_t> states_, next_;
};

void TScanner::Run(const TReadAt& read) {
  size_t offset = 0;
  for (bool atEnd = false; !atEnd;) {
    // Keep the current block (for its "[path]" line and its capture) and the unread lines.
    size_t keep = std::min(pos_, block_);
    if (keep) std::memmove(buf_.get(), buf_.get() + keep, size_ - keep);
    size_ -= keep, pos_ -= keep;
    if (block_ != std::string_view::npos) block_ -= keep;
    if (capacity_ - size_ < kChunk / 2) {  // the buffer grows only for a long block
      size_t capacity = std::max(capacity_ * 2, size_ + kChunk);
      std::unique_ptr<char[]> larger(new char[capacity]);
      if (size_) std::memcpy(larger.get(), buf_.get(), size_);
      buf_ = std::move(larger), capacity_ = capacity;
    }
    size_t n = read(offset, buf_.get() + size_, capacity_ - size_);
    if (headOpen_) {
      std::string_view piece(buf_.get() + size_, n);
      size_t need = out_.Head.size() < headFrom_ ? headFrom_ - out_.Head.size() : 0;
      size_t nl = piece.find('\n', need);
      out_.Head.append(piece.substr(0, nl == std::string_view::npos ? n : nl + 1));
      headOpen_ = nl == std::string_view::npos;
    }
    offset += n, size_ += n;
    atEnd = n == 0;
    if (!Process(atEnd)) return;
  }
  CloseBlock(size_);
  out_.Readable = signature_ && out_.Arch != TArch::Unknown;
}

// Looks at the lines from pos_ on; false when the file is not one to read further.
bool TScanner::Process(bool atEnd) {
  const char* p = buf_.get();
  if (!signature_) {
    TLineReader reader(std::string_view(p, size_));
    std::string_view line;
    if (!atEnd && std::string_view(p, size_).find('\n') == std::string_view::npos)
      return true;  // the first line is not complete yet
    if (!reader.Next(line) || line != kSignature) return false;
    signature_ = true;
    pos_ = reader.Pos();
  }
  TLineEnds ends(p, size_);
  for (size_t s = pos_, e;;) {
    s = ends.JumpToMarkedLine(s);
    if (s < size_ && p[s] == '[' && LeavesAsBefore(std::string_view(p + s + 1, size_ - s - 1))) {
      // A key of no interest, the most common line a jump lands on: no need to find its end
      // before the bytes that decide it.
      const size_t nl = FindNewline(p, s + 1 + decided_.size(), size_);
      if (nl != std::string_view::npos) {
        OpenBlock(s);
        s = nl + 1;
        continue;
      }
    }
    s = ends.SkipPlainLines(s, e);
    if (e < size_ && p[e] == '\n') {
      if (p[s] == '[') {  // the common "[path]" line, without a blank before it
        std::string_view line(p + s, e - s);
        if (line.back() == '\r') line.remove_suffix(1);
        KeyLine(s, line.substr(1));
        s = e + 1;
        continue;
      }
      if ((p[s] == '"' || p[s] == '@') && !MayContinue(std::string_view(p + s, e - s))) {
        s = e + 1;  // a value on one line, most often a text with backslashes in it
        continue;
      }
    }
    if (s == size_ || (e == size_ && !atEnd)) {
      pos_ = s;
      return true;
    }
    size_t next = Classify(s, atEnd);
    if (next == std::string_view::npos) {  // needs lines not read yet
      pos_ = s;
      return true;
    }
    s = next;
  }
}

// The line at `s` as TFileIndex::ScanLines takes it; where the next line starts, or npos
// when the line or a value it starts goes on past the text read so far.
size_t TScanner::Classify(size_t s, bool atEnd) {
  std::string_view text(buf_.get(), size_);
  TLineReader reader(text, s);
  std::string_view line;
  reader.Next(line);
  if (!atEnd && text.find('\n', s + line.size()) == std::string_view::npos)
    return std::string_view::npos;
  std::string_view t = TrimLeft(line);
  if (t.empty()) return reader.Pos();
  if (t[0] == '[') {
    KeyLine(s, t.substr(1));
  } else if ((t[0] == '"' || t[0] == '@') && MayContinue(t) && Live()) {
    ReadValue(t, reader, nullptr);  // for the continuation lines it takes
    if (!atEnd && reader.Pos() >= size_) return std::string_view::npos;
  } else if (t[0] == '#' && t.substr(0, 6) == "#arch=" && !Live()) {
    std::string_view a = t.substr(6);
    TArch arch = a == "win32" ? TArch::Win32 : a == "win64" ? TArch::Win64 : TArch::Unknown;
    out_.Arch = out_.Arch == TArch::None || out_.Arch == arch ? arch : TArch::Unknown;
  }
  return reader.Pos();
}

// Whether the current block is one wineserver reads; its "[path]" line is decoded only now
// when the scan skipped it.
bool TScanner::Live() {
  if (block_ == std::string_view::npos) return false;
  if (live_ < 0) {
    TLineReader reader(std::string_view(buf_.get(), size_), block_);
    std::string_view line;
    reader.Next(line);
    live_ = DecodeKeyLine(TrimLeft(line).substr(1)).Valid;
  }
  return live_ == 1;
}

// Whether a "[path]" line (from after its "[" on) starts with the bytes that took the line
// before it out of the family, so that it leaves the family at the same name: those bytes end
// with "\\" or "]", before any line end.
bool TScanner::LeavesAsBefore(std::string_view afterBracket) const {
  return skip_ && afterBracket.size() >= decided_.size() &&
         std::memcmp(afterBracket.data(), decided_.data(), decided_.size()) == 0;
}

void TScanner::OpenBlock(size_t s) {
  CloseBlock(s);
  block_ = s;
  live_ = -1;
}

void TScanner::KeyLine(size_t s, std::string_view afterBracket) {
  OpenBlock(s);
  if (LeavesAsBefore(afterBracket)) return;
  TKeyLine line = DecodeKeyLine(afterBracket);
  live_ = line.Valid;
  states_.assign(1, 0);
  std::u16string folded;
  bool known = true;  // every key the line reaches was known before
  size_t k = 0;
  for (; k < line.Names.size(); ++k) {
    std::u16string name = Fold(line.Names[k]);
    family_.Step(states_, name, next_);
    if (next_.empty()) break;
    states_.swap(next_);
    if (k) folded.push_back(u'\\');
    folded += name;
    if (out_.Keys.count(folded)) continue;
    if (line.Valid)
      out_.Keys[folded].Path.assign(line.Names.begin(), line.Names.begin() + ptrdiff_t(k) + 1);
    else
      known = false;
  }
  skip_ = false;
  if (k == line.Names.size()) {  // the line names a key of the family
    if (line.Valid) capture_ = &out_.Keys[folded];
    return;
  }
  if (known && line.Decided[k] != std::string_view::npos) {
    skip_ = true;
    decided_.assign(afterBracket.substr(0, line.Decided[k]));
  }
}

}  // namespace

TKeyFamily::TKeyFamily(const std::vector<TPath>& queries) : nodes_(1) {
  for (const TPath& query : queries) {
    size_t node = 0;
    for (const std::u16string& name : query) {
      std::u16string folded = Fold(name);
      auto& children = nodes_[node].Children;
      auto child = std::find_if(children.begin(), children.end(),
                                [&](const auto& c) { return c.first == folded; });
      if (child != children.end()) {
        node = child->second;
        continue;
      }
      children.emplace_back(std::move(folded), nodes_.size());
      node = nodes_.size();
      nodes_.emplace_back();
    }
  }
}

// A state is 2 * (the node of the names matched) + (whether the last name was a Wow6432Node
// the redirection added).
void TKeyFamily::Step(const std::vector<size_t>& from, std::u16string_view name,
                      std::vector<size_t>& to) const {
  to.clear();
  auto add = [&](size_t state) {
    if (std::find(to.begin(), to.end(), state) == to.end()) to.push_back(state);
  };
  for (size_t state : from) {
    size_t node = state / 2;
    for (const auto& [child, next] : nodes_[node].Children)
      if (name == child) add(2 * next);
    if (state % 2 == 0 && name == kWow64Node) add(2 * node + 1);
  }
}

bool TKeyFamily::Covers(const TPath& path) const {
  std::vector<size_t> states{0}, next;
  for (const std::u16string& name : path) {
    Step(states, Fold(name), next);
    if (next.empty()) return false;
    states.swap(next);
  }
  return true;
}

namespace {

// A file this large is scanned in two parts at once, on two processors where there are.
constexpr size_t kScanInPartsBytes = size_t(4) << 20;
// How far from the middle the second part's first line is looked for.
constexpr size_t kSplitWindow = size_t(1) << 20;

// Where a later part may start: a "[path]" line right after an empty line, which every
// reading takes as a key line whatever came before (an empty line ends a value that goes
// on over lines, and no other line goes on). npos when the window from `from` has none.
size_t FindSplit(const TReadAt& read, size_t from, size_t size) {
  constexpr size_t kPiece = 8192;
  char buf[kPiece];
  const size_t end = std::min(size, from + kSplitWindow);
  for (size_t at = from; at < end;) {  // pieces that overlap by the two bytes before a "["
    size_t n = read(at, buf, std::min(kPiece, end - at));
    if (n < 3) break;
    std::string_view piece(buf, n);
    size_t found = piece.find("\n\n[");
    if (found != std::string_view::npos) return at + found + 2;
    at += n - 2;
  }
  return std::string::npos;
}

// The scan of a whole file from the scans of its two parts.
TKeyScan Join(TKeyScan first, TKeyScan second) {
  if (!first.Readable && first.Arch != TArch::Unknown) return first;  // a bad first line
  TArch later = second.Arch;
  if (later != TArch::None && first.Arch != later)
    first.Arch = first.Arch == TArch::None ? later : TArch::Unknown;
  first.Readable = first.Readable && first.Arch != TArch::Unknown;
  first.Head += second.Head;  // the rest of a head that goes on into the second part
  for (auto& [folded, key] : second.Keys) {
    auto [it, added] = first.Keys.try_emplace(folded, std::move(key));
    if (!added)  // the path as first written stays; the blocks follow in file order
      for (std::string& block : key.Blocks)
        it->second.Blocks.push_back(std::move(block));
  }
  return first;
}

}  // namespace

TKeyScan ScanForKeys(const TKeyFamily& family, const TReadAt& read, size_t size) {
  return ScanForKeysInParts(family, read, size,
                            size >= kScanInPartsBytes ? size / 2 : std::string::npos);
}

TKeyScan ScanForKeysInParts(const TKeyFamily& family, const TReadAt& read, size_t size,
                            size_t splitFrom) {
  const size_t split = splitFrom < size ? FindSplit(read, splitFrom, size) : std::string::npos;
  TKeyScan first, second;
  std::future<void> later;
  if (split != std::string::npos) {
    try {
      later = std::async(std::launch::async, [&] {
        TScanner(family, second, split).Run([&](size_t offset, char* out, size_t n) {
          return read(split + offset, out, n);
        });
      });
    } catch (const std::system_error&) {  // no thread to be had: one part after all
    }
  }
  if (!later.valid()) {
    TScanner(family, first).Run(read);
    return first;
  }
  TScanner(family, first).Run([&](size_t offset, char* out, size_t n) {
    return offset >= split ? 0 : read(offset, out, std::min(n, split - offset));
  });
  later.get();
  return Join(std::move(first), std::move(second));
}

}  // namespace Platform::WineReg

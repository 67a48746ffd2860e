// The text of a registry file as the backend holds it, in memory that the backend chose; a
// file that can also be read in pieces; and a new text made of pieces, most of them still in
// the old one.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace Platform::Posix {

class TRegText {
 public:
  using TRelease = void (*)(const char* memory, size_t capacity);

  TRegText() = default;
  explicit TRegText(std::string text) : owned_(std::move(text)), view_(owned_) {}
  /// Text in memory of `capacity` bytes that `release` frees when this object ends.
  TRegText(std::string_view text, size_t capacity, TRelease release)
      : view_(text), capacity_(capacity), release_(release) {}
  TRegText(TRegText&& other) noexcept { *this = std::move(other); }
  TRegText& operator=(TRegText&& other) noexcept {
    if (this == &other) return *this;
    Release();
    owned_ = std::move(other.owned_);
    view_ = other.release_ ? other.view_ : std::string_view(owned_);
    capacity_ = other.capacity_;
    release_ = other.release_;
    other.release_ = nullptr;
    other.view_ = {};
    return *this;
  }
  ~TRegText() { Release(); }

  std::string_view View() const { return view_; }

 private:
  void Release() {
    if (release_) release_(view_.data(), capacity_);
    release_ = nullptr;
  }

  std::string owned_;
  std::string_view view_;
  size_t capacity_ = 0;
  TRelease release_ = nullptr;
};

/// A registry file that can be read in pieces, or whole.
class TTextSource {
 public:
  virtual ~TTextSource() = default;
  /// Reads up to `size` bytes at `offset` into `out`: the count read, 0 at the end. May be
  /// called from two threads at once.
  virtual size_t ReadAt(size_t offset, char* out, size_t size) = 0;
  /// The text's size as it was when opened; 0 when not known.
  virtual size_t Size() const { return 0; }
  /// The whole text.
  virtual TRegText ReadAll() = 0;
};

/// A file's new text as a sequence of pieces: views into the old text, and new lines.
class TComposed {
 public:
  /// Adds a piece of the old text (which must outlive this object).
  void Add(std::string_view piece) {
    if (piece.empty()) return;
    if (!pieces_.empty() && pieces_.back().data() + pieces_.back().size() == piece.data())
      pieces_.back() =
          std::string_view(pieces_.back().data(), pieces_.back().size() + piece.size());
    else
      pieces_.push_back(piece);
  }
  /// Adds new text.
  void AddOwned(std::string text) {
    if (text.empty()) return;
    owned_.push_back(std::move(text));
    pieces_.push_back(owned_.back());
  }
  /// Whether the text so far ends with `end`.
  bool EndsWith(std::string_view end) const {
    std::string tail;
    for (auto it = pieces_.rbegin(); it != pieces_.rend() && tail.size() < end.size(); ++it)
      tail.insert(0, *it);
    return tail.size() >= end.size() &&
           tail.compare(tail.size() - end.size(), end.size(), end) == 0;
  }
  bool Empty() const { return pieces_.empty(); }
  const std::vector<std::string_view>& Pieces() const { return pieces_; }
  std::string Joined() const {
    std::string text;
    for (std::string_view p : pieces_)
      text += p;
    return text;
  }

 private:
  std::vector<std::string_view> pieces_;
  std::deque<std::string> owned_;  // a deque keeps the texts where the views point
};

}  // namespace Platform::Posix

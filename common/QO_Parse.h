// The search word parser: turns a free text (a name, a title, an address line) into the
// upper-case words and word variants under which that text can be found.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/QO_StringList.h"

/// True for every code up to 32 and for ! ( ) * , / ; < = > ? : (what ends a word).
bool IsWordBreak(char16_t c);

/// The text without any occurrence of `c`.
std::u16string RemoveChar(std::u16string_view text, char16_t c);

/// The text without the leading (trailing) run of characters that belong to `chars`.
std::u16string StripLeadingChars(std::u16string_view text, std::u16string_view chars);
std::u16string StripTrailingChars(std::u16string_view text, std::u16string_view chars);

/// Replaces every occurrence of `find` in one left-to-right pass; what a replacement
/// produced is never searched again, so three spaces with "  " -> " " give two.
void ReplaceAllText(std::u16string& text, std::u16string_view find,
                    std::u16string_view replacement);

/// Puts a "." after every one-character word that a space follows: "U S A" -> "U. S. A".
std::u16string MarkInitials(std::u16string_view text);

/// The text as the word scan reads it: trimmed, in upper case, with single spaces, "&", "-"
/// and "+" pulled tight to the words around them ("SMITH & JONES" -> "SMITH&JONES"), no
/// space before a ".", initials marked, and a final space.
std::u16string PrepareWordText(std::u16string_view text);

/// Parses texts into search words. One parse at a time per instance: the target list and
/// the words seen so far are instance state while Parse runs.
class TQO_ParseWordList {
 public:
  TQO_ParseWordList();
  virtual ~TQO_ParseWordList();
  TQO_ParseWordList(const TQO_ParseWordList&) = delete;
  TQO_ParseWordList& operator=(const TQO_ParseWordList&) = delete;

  /// Adds one word and the words derived from it to Target, each word once per parse.
  /// Does nothing outside Parse, where there is no Target.
  virtual void AddWord(std::u16string_view word);
  /// The distinct symbol characters of `text`, in the order of their first appearance.
  virtual std::u16string CollectSymbols(std::u16string_view text) const;
  /// Clears `target` and fills it with the search words of `text`; nothing without a
  /// target. An error of the target list ends the parse; the words added so far stay.
  virtual void Parse(std::u16string_view text, TStringList* target);

  /// The longest word Target receives; longer words are cut. 0 or less means no limit.
  int32_t WordLengthLimit() const { return wordLengthLimit_; }
  void SetWordLengthLimit(int32_t limit) { wordLengthLimit_ = limit; }

  /// The word each ordinal token "1ST".."10TH" adds; an empty entry adds nothing.
  std::array<std::u16string, 10>& OrdinalWords() { return ordinalWords_; }

  /// The symbol substitutions in name=value form, sorted; for the owner, not the parse.
  const TQO_StringList& SymbolWords() const { return symbolWords_; }
  /// The list receiving words while Parse runs, otherwise null.
  TStringList* Target() const { return target_; }

 private:
  // The normalized words handled in the running parse. A word counts as seen when the
  // list comparison (case ignored) finds it equal to one seen before, as a sorted list
  // with duplicates ignored would; plain ASCII words are told apart without collating.
  class TSeenWords {
   public:
    void Clear();
    /// True when `word` is new to this parse; it counts as seen from now on. `hash` is
    /// the word's hash, `plainAscii` whether it is printable ASCII without lower case.
    bool Add(std::u16string_view word, uint32_t hash, bool plainAscii);

   private:
    struct TEntry {
      size_t Offset;  // in chars_
      size_t Length;
      size_t Slot;  // in slots_
    };
    struct TSlot {
      uint32_t Hash;
      uint32_t Entry;  // the position of the word in entries_ plus one; 0 for a free slot
    };
    std::u16string_view WordAt(const TEntry& e) const {
      return std::u16string_view(chars_.data() + e.Offset, e.Length);
    }
    void Grow();
    bool AddCollated(std::u16string_view word, bool plainAscii);
    void KeyWordsUpTo(size_t end);

    // The words seen, one after the other in chars_, and an index of them by hash (open
    // addressing). Between parses only the sizes go back and the used slots are freed, so
    // that a parse allocates nothing here; the storage is freed after a parse of more than
    // kKeptWords words.
    static constexpr size_t kInitialSlots = 64;
    static constexpr size_t kKeptWords = 4096;
    std::vector<char16_t> chars_;  // the first used_ are words; the rest is room for more
    size_t used_ = 0;
    std::vector<TEntry> entries_;
    std::vector<TSlot> slots_ = std::vector<TSlot>(kInitialSlots, TSlot{0, 0});
    // Once a word other than plain ASCII turns up, the words are also told apart by the
    // list comparison, through sort keys (case ignored), which are equal for the words it
    // finds equal: collated_ holds the keys of the first keyed_ words. While few words
    // need it, a word is compared with them directly instead: a plain ASCII word with
    // others_ (the new words other than plain ASCII: no other word can equal it), another
    // word, while none is keyed yet, with the few words before it.
    static constexpr size_t kComparedWords = 2;
    std::unordered_set<std::string> collated_;
    std::vector<size_t> others_;  // positions in entries_
    size_t keyed_ = 0;
  };

  void AddUpperCase(std::u16string_view word, bool derived);
  void AddExamined(std::u16string_view word, uint32_t hash, bool plainAscii, bool hasSymbols,
                   bool derived);
  /// Adds the words derived from the symbols `word` holds; false when it holds none.
  bool AddSymbolForms(std::u16string_view word);
  void SplitOnSymbol(char16_t c, std::u16string_view word);
  size_t ReplaceFirstSymbol(std::u16string_view word, std::u16string_view find,
                            std::u16string_view replacement);
  void Output(std::u16string_view word, bool hasSymbols);
  void AddNumberForms(std::u16string_view word);
  void SpellNumber(std::u16string_view digits);
  std::u16string_view SpellGroup(std::u16string_view digits, size_t count,
                                 std::u16string_view scale);
  void SpellHundreds(std::u16string_view digits);
  void ScanWords(std::u16string_view prepared);

  TStringList* target_ = nullptr;
  TQO_StringList symbolWords_;
  std::array<std::u16string, 10> ordinalWords_;
  int32_t wordLengthLimit_ = 0;
  TSeenWords seenWords_;
  std::u16string prepared_;   // the prepared text's storage, kept between parses
  std::u16string tightened_;  // room for preparing, which runs without notifications
  static constexpr int kMaxDerivedWords = 1024;
  int depth_ = 0;        // how deep AddWord is in deriving words from one word of the text
  int derivedLeft_ = 0;  // how many new words it may still derive from that word
};

/// The program's shared parser, built on the first call (building sorts its symbol list
/// by the collation, which start-up should not pay for) and freed at exit.
TQO_ParseWordList& DefaultParseWordList();

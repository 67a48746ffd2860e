// Single lines of Wine's registry format: escapes, value lines, the way wineserver writes
// values. Expected texts come from files that Wine 8 wrote.
#include <gtest/gtest.h>

#include <random>

#include "platform/posix/registry/LineFormat.h"
#include "tests/support/RegTestData.h"

namespace Platform::WineReg {
namespace {

TValueLine Read(std::string_view text) {
  TLineReader reader(text);
  std::string_view line;
  reader.Next(line);
  TValueLine value;
  ReadValue(TrimLeft(line), reader, &value);
  return value;
}

std::string Write(std::u16string_view name, const TRegData& data) {
  std::string out;
  AppendValue(name, data, out);
  return out;
}

TEST(WineRegEscapes, WrittenAsWineWritesThem) {
  struct {
    std::u16string Text;
    std::string Escaped;
  } cases[] = {
      {u"a\"b\\c", "a\\\"b\\\\c"},
      {u"\x01\a\b\t\n\v\f\r\x1b", "\\1\\a\\b\\t\\n\\v\\f\\r\\e"},
      {u"\x1f"
       u"0\x1f"
       u"8",
       "\\0370\\378"},  // three octal digits before an octal digit
      {u"\x7f\x80\xe9"
       u"a\xe9g\x4e2d\xffff",
       "\x7f\\x80\\x00e9a\\xe9g\\x4e2d\\xffff"},
      {u"[]", "[]"},
      {u"", ""},
  };
  for (const auto& c : cases) {
    std::string out;
    AppendEscaped(c.Text, "\"", out);
    EXPECT_EQ(out, c.Escaped);
    std::u16string back;
    EXPECT_EQ(ParseEscaped(out + "\"", '"', back), out.size() + 1);
    EXPECT_EQ(back, c.Text) << out;
  }
  std::string path;
  AppendEscaped(u"k[]\"x", "[]", path);
  EXPECT_EQ(path, "k\\[\\]\"x");
}

TEST(WineRegEscapes, ReadAsWineReadsThem) {
  struct {
    std::string Escaped;
    std::u16string Text;
  } cases[] = {
      {"\\x41\\x4e2d9\\xg",
       u"A\x4e2d"
       u"9xg"},  // at most four hex digits; \x alone is x
      {"\\101\\60\\0609", u"A009"},
      {"\\q\\[\\]", u"q[]"},
      {"caf\xc3\xa9", u"caf\xe9"},  // raw UTF-8
      {"a\xe9"
       "b|x\xc3|\xc0\xafz",
       u"ab|x|z"},  // bytes that are not UTF-8 are dropped
      {"\xf0\x9f\x98\x80", u"\xd83d\xde00"},
  };
  for (const auto& c : cases) {
    std::u16string text;
    ParseEscaped(c.Escaped + "\"", '"', text);
    EXPECT_EQ(text, c.Text) << c.Escaped;
  }
  std::u16string text;
  EXPECT_EQ(ParseEscaped("no end", '"', text), std::string_view::npos);
  EXPECT_EQ(ParseEscaped("ends in a backslash\\", '"', text), std::string_view::npos);
}

TEST(WineRegValues, ReadLikeWineserver) {
  struct {
    std::string Line;
    bool NameOk;
    std::u16string Name;
    uint32_t Type;
    std::string Bytes;
  } cases[] = {
      {"\"a\"=\"x\"", true, u"a", kRegSz, Utf16(u"x")},
      {"\"a\"=str:\"x\"", true, u"a", kRegSz, Utf16(u"x")},
      {"\"e\"=str(2):\"%P%\"", true, u"e", kRegExpandSz, Utf16(u"%P%")},
      {"\"m\"=str(7):\"a\\0b\\0\"", true, u"m", kRegMultiSz, Utf16(std::u16string(u"a\0b\0", 4))},
      {"@=\"d\"", true, u"", kRegSz, Utf16(u"d")},
      {"  \"sp\" =  dword:0000000c  ", true, u"sp", kRegDword, std::string("\x0c\0\0\0", 4)},
      {"\"big\"=dword:123456789", true, u"big", kRegDword, "\x89\x67\x45\x23"},
      {"\"neg\"=dword:-1", true, u"neg", kRegDword, "\xff\xff\xff\xff"},
      {"\"junk\"=dword:zz", true, u"junk", kRegDword, std::string(4, '\0')},
      {"\"b\"=hex:01,02,ff", true, u"b", kRegBinary, "\x01\x02\xff"},
      {"\"b\"=hex:0x12 3", true, u"b", kRegBinary, "\x12\x03"},  // strtoul's reading
      {"\"b\"=hex:Ab,0F ,c,001,0x1f", true, u"b", kRegBinary, "\xab\x0f\x0c\x01\x1f"},
      {"\"q\"=hex(b):01,02,03,04,05,06,07,08", true, u"q", kRegQword,
       "\x01\x02\x03\x04\x05\x06\x07\x08"},
      {"\"n\"=hex(0):", true, u"n", kRegNone, ""},
      {"\"u\"=hex(12345678):01", true, u"u", 0x12345678, "\x01"},
      {"\"s\"=\"abc\" trailing", true, u"s", kRegSz, Utf16(u"abc")},
      // Unreadable data: the value exists without data, as in wineserver.
      {"\"bad\"=bogus:12", true, u"bad", kRegNone, ""},
      {"\"bad\"=hex:1ff,02", true, u"bad", kRegNone, ""},
      {"\"bad\"=hex: 01", true, u"bad", kRegNone, ""},
      {"\"bad\"=HEX:01", true, u"bad", kRegNone, ""},
      {"\"bad\"=str(a):\"x\"", true, u"bad", kRegNone, ""},
      {"\"bad\"=\"open", true, u"bad", kRegNone, ""},
      // Unreadable names: no value at all.
      {"\"noeq\" \"x\"", false, u"", kRegNone, ""},
      {"\"open=\"x", false, u"", kRegNone, ""},
  };
  for (const auto& c : cases) {
    TValueLine v = Read(c.Line);
    EXPECT_EQ(v.NameOk, c.NameOk) << c.Line;
    if (!c.NameOk) continue;
    EXPECT_EQ(v.Name, c.Name) << c.Line;
    EXPECT_EQ(v.Data.Type, c.Type) << c.Line;
    EXPECT_EQ(v.Data.Bytes, c.Bytes) << c.Line;
  }
}

TEST(WineRegValues, HexDataGoesOnOverContinuationLines) {
  TValueLine v = Read("\"h\"=hex:01,\\\r\n  02,\\\n 03\n\"next\"=\"x\"\n");
  EXPECT_EQ(v.Data.Bytes, "\x01\x02\x03");
  // A backslash in the middle also continues: the next line is then data, not a value.
  TLineReader reader("\"h\"=hex:01\\ junk\n\"next\"=\"x\"\n[Key]\n");
  std::string_view line;
  reader.Next(line);
  TValueLine broken;
  EXPECT_TRUE(ReadValue(line, reader, &broken));
  EXPECT_EQ(broken.Data.Type, kRegNone);
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line, "[Key]");
}

TEST(WineRegValues, WrittenAsWineWritesThem) {
  struct {
    std::u16string Name;
    TRegData Data;
    std::string Line;
  } cases[] = {
      {u"a", {kRegSz, Utf16(u"x\"\\")}, "\"a\"=\"x\\\"\\\\\"\n"},
      {u"", {kRegSz, Utf16(u"d")}, "@=\"d\"\n"},
      {u"e", {kRegExpandSz, Utf16(u"%PATH%")}, "\"e\"=str(2):\"%PATH%\"\n"},
      {u"m", {kRegMultiSz, Utf16(std::u16string(u"a\0b\0", 4))}, "\"m\"=str(7):\"a\\0b\\0\"\n"},
      {u"d", {kRegDword, std::string("\x0c\0\0\0", 4)}, "\"d\"=dword:0000000c\n"},
      {u"d3", {kRegDword, "abc"}, "\"d3\"=hex(4):61,62,63\n"},
      {u"nt", {kRegSz, Utf16(u"ab", false)}, "\"nt\"=hex(1):61,00,62,00\n"},
      {u"odd", {kRegSz, "abc"}, "\"odd\"=hex(1):61,62,63\n"},
      {u"empty", {kRegSz, ""}, "\"empty\"=hex(1):\n"},
      {u"n", {kRegNone, ""}, "\"n\"=hex(0):\n"},
      {u"q",
       {kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"},
       "\"q\"=hex(b):01,02,03,04,05,06,07,08\n"},
      {u"u", {0x12345678, "\x01"}, "\"u\"=hex(12345678):01\n"},
      // Wrapped where Wine wraps it (this very text came from Wine 8).
      {u"longbinary",
       {kRegBinary, Utf16(std::u16string(50, u'\x01'), false)},
       "\"longbinary\"=hex:01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,\\\n"
       "  01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,\\\n"
       "  00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,\\\n"
       "  01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,00,01,\\\n"
       "  00,01,00,01,00\n"},
  };
  for (const auto& c : cases) {
    std::string line = Write(c.Name, c.Data);
    EXPECT_EQ(line, c.Line);
    TValueLine back = Read(line);
    EXPECT_EQ(back.Name, c.Name) << line;
    EXPECT_EQ(back.Data, c.Data) << line;
  }
}

TEST(WineRegNames, FoldAndOrderAsWineserver) {
  EXPECT_EQ(Fold(u"ABC\xc9\x3a3\xff21"), u"abc\xe9\x3c3\xff41");
  // Letters compare as lower case, so '_' and '[' come before them; then the shorter first.
  std::vector<std::u16string> names = {u"b",     u"_",     u"A",   u"[",  u"z",    u"^",
                                       u"~",     u"a1",    u"a10", u"a2", u"\xe9", u"\xdf",
                                       u"\x131", u"\x17f", u"{",   u"`"};
  std::sort(names.begin(), names.end(),
            [](const auto& a, const auto& b) { return CompareNames(a, b) < 0; });
  std::vector<std::u16string> wine = {u"[", u"^", u"_", u"`", u"A",    u"a1",   u"a10",   u"a2",
                                      u"b", u"z", u"{", u"~", u"\xdf", u"\xe9", u"\x131", u"\x17f"};
  EXPECT_EQ(names, wine);
  EXPECT_EQ(CompareNames(u"\xc9t\xe9", u"\xe9T\xc9"), 0);
}

TEST(WineRegText, LinesAsWineserverReadsThem) {
  TLineReader reader(std::string_view("a\r\nb\rc\nd\0e\nlast", 15));
  std::vector<std::string> lines;
  for (std::string_view line; reader.Next(line);)
    lines.emplace_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b\rc", "d", "last"}));
}

// The lines a key scan must look at, found line by line with PlainLine: the blocked search
// must stop at exactly these, from every line start, also when lines cross its blocks.
TEST(WineRegText, ScansStopAtEveryLineThatIsNotPlain) {
  auto expected = [](std::string_view t, size_t s, size_t& end) {
    for (;; s = end + 1) {
      end = s;
      while (end < t.size() && t[end] != '\n' && t[end] != '\0')
        ++end;
      bool backslash = t.substr(s, end - s).find('\\') != std::string_view::npos;
      if (end == t.size() || t[end] != '\n' || !PlainLine(t.data(), s, end, backslash)) return s;
    }
  };
  std::mt19937 random(7);
  const std::string alphabet("aaaaxl#[\\ \t\r\v\n\n\0", 15);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const size_t length = random() % 400;
    const size_t lineLength = 1 + random() % 90;  // lines long and short against the blocks
    for (size_t i = 0; i < length; ++i)
      text.push_back(random() % lineLength == 0 ? '\n' : alphabet[random() % alphabet.size()]);
    TLineEnds ends(text.data(), text.size());
    for (size_t from = 0; from <= text.size();) {
      size_t end = 0, wantEnd = 0;
      size_t got = ends.SkipPlainLines(from, end);
      ASSERT_EQ(got, expected(text, from, wantEnd)) << round << " from " << from;
      ASSERT_EQ(end, wantEnd) << round << " from " << from;
      size_t next = text.find('\n', from);  // every line start, one object as callers use it
      from = next == std::string::npos ? text.size() + 1 : next + 1;
    }
  }
}

// Where a jump must land, found line by line: the first line that, after blanks, starts with
// "[", "#a" or "#l" ("#" at the very end may be either), else the last line; then back over
// the lines with a backslash right before it.
size_t ExpectedJump(std::string_view t, size_t from) {
  std::vector<size_t> starts{from};  // the lines from `from` on
  for (size_t nl = t.find('\n', from); nl != std::string_view::npos; nl = t.find('\n', nl + 1))
    starts.push_back(nl + 1);
  auto marked = [&](size_t s) {
    while (s < t.size() && std::string_view(" \t\v\f\r").find(t[s]) != std::string_view::npos)
      ++s;
    if (s == t.size()) return false;
    if (t[s] == '[') return true;
    return t[s] == '#' && (s + 1 == t.size() || t[s + 1] == 'a' || t[s + 1] == 'l');
  };
  size_t k = 0;
  while (k + 1 < starts.size() && !marked(starts[k]))
    ++k;
  auto backslashBefore = [&](size_t k) {
    return t.substr(starts[k - 1], starts[k] - starts[k - 1]).find('\\') != std::string_view::npos;
  };
  while (k > 0 && backslashBefore(k))
    --k;
  return starts[k];
}

TEST(WineRegText, JumpsLandWhereALineByLineScanWouldStop) {
  std::mt19937 random(11);
  const std::string alphabet("aaaaxlt#[\\ \t\r\v\n\n\0", 17);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const size_t length = random() % 400;
    const size_t lineLength = 1 + random() % 90;
    for (size_t i = 0; i < length; ++i)
      text.push_back(random() % lineLength == 0 ? '\n' : alphabet[random() % alphabet.size()]);
    // From every line start, on a new object: exactly where the line-by-line search lands.
    for (size_t from = 0; from <= text.size();) {
      TLineEnds ends(text.data(), text.size());
      ASSERT_EQ(ends.JumpToMarkedLine(from), ExpectedJump(text, from)) << round << " from " << from;
      size_t next = text.find('\n', from);
      from = next == std::string::npos ? text.size() + 1 : next + 1;
    }
    // One object, one line further after each jump, as a scan goes on after the line it
    // landed on: never past that place, and never onto a line a value may go on over into.
    TLineEnds ends(text.data(), text.size());
    for (size_t from = 0; from <= text.size();) {
      const size_t got = ends.JumpToMarkedLine(from);
      ASSERT_GE(got, from);
      ASSERT_LE(got, ExpectedJump(text, from)) << round << " from " << from;
      if (got > from) {  // the line before got, which ends with the "\n" at got - 1
        const size_t nl = got >= 2 ? text.rfind('\n', got - 2) : std::string::npos;
        const size_t begin = nl == std::string::npos ? 0 : nl + 1;
        ASSERT_EQ(text.substr(begin, got - 1 - begin).find('\\'), std::string::npos)
            << round << " from " << from;
      }
      size_t next = text.find('\n', got);
      from = next == std::string::npos ? text.size() + 1 : next + 1;
    }
  }
}

}  // namespace
}  // namespace Platform::WineReg

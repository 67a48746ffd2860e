#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include "tests/support/TestText.h"

namespace {

TEST(TextCodec, Utf8RoundTripsEveryValidText) {
  // Runs of ASCII of eight bytes and more, between other characters and at the end.
  std::u16string text = u"a\u00e9\u4e2d\U0001F600\r\n12345678\u00e9123456789abcdefg\u4e2dxyz";
  EXPECT_EQ(Platform::FromUtf8(Platform::ToUtf8(text)), text);
}

TEST(TextCodec, InvalidUtf8BytesReadAsWindows1252) {
  EXPECT_EQ(Platform::FromUtf8("caf\xe9"), u"caf\u00e9");
  EXPECT_EQ(Platform::FromUtf8("12345678caf\xe9"), u"12345678caf\u00e9");
  EXPECT_EQ(Platform::FromUtf8("\x80x"), u"\u20acx");
  EXPECT_EQ(Platform::FromUtf8("\xc3"), u"\u00c3");                      // Truncated sequence.
  EXPECT_EQ(Platform::FromUtf8("\xed\xa0\x80"), u"\u00ed\u00a0\u20ac");  // Encoded surrogate.
}

TEST(TextCodec, UnpairedSurrogateBecomesReplacementCharacter) {
  EXPECT_EQ(Platform::ToUtf8(std::u16string(1, char16_t(0xD800))), "\xef\xbf\xbd");
}

TEST(TextCodec, DecodeTextFileHonoursByteOrderMarks) {
  auto fallback = Platform::FromWindows1252;
  EXPECT_EQ(Platform::DecodeTextFile("\xEF\xBB\xBF\xC3\xA9", fallback), u"\u00e9");
  EXPECT_EQ(Platform::DecodeTextFile(std::string("\xFF\xFE"
                                                 "a\0",
                                                 4),
                                     fallback),
            u"a");
  EXPECT_EQ(Platform::DecodeTextFile(std::string("\xFE\xFF\0a", 4), fallback), u"a");
  EXPECT_EQ(Platform::DecodeTextFile("\xE9", fallback), u"\u00e9");
}

}  // namespace

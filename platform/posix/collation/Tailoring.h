// Changes to ICU's root order that bring it to the Windows sort order (as CompareStringW
// sorts with the default table). Shared by the build-time generator of the collator
// image and by the run-time fallback that builds from rules.
#pragma once

namespace Platform {

// ICU rule syntax: a backslash quotes the next character; rules have no code point escapes.
// Hyphen, apostrophe and the control characters are not here: they are taken out of the
// text before ICU sees it and weighed after everything else (see WeighLast.h).
inline constexpr char16_t kTailoringRules[] =
    // Spaces, punctuation and symbols of ASCII and Latin-1 in the Windows order, ahead of
    // every other symbol (ICU sorts them in other groups and orders).
    u"&[before 1]\\\t"
    u"<\\ <\\\u00A0<\\\t<\\\n<\\\v<\\\f<\\\r<\\!<\\\"<\\#<\\$<\\%<\\&<\\(<\\)<\\*<\\,"
    u"<\\.<\\/<\\:<\\;<\\?<\\@<\\[<\\\\<\\]<\\^<\\_<\\`<\\{<\\|<\\}<\\~<\\\u00A1"
    u"<\\\u00A6<\\\u00A8<\\\u00AF<\\\u00B4<\\\u00B8<\\\u00BF<\\\u00A2<\\\u00A3"
    u"<\\\u00A4<\\\u00A5<\\+<\\<<\\=<\\><\\\u00B1<\\\u00AB<\\\u00BB<\\\u00D7<\\\u00F7"
    u"<\\\u00A7<\\\u00A9<\\\u00AC<\\\u00AE<\\\u00B0<\\\u00B5<\\\u00B6<\\\u00B7"
    // The vulgar fractions are digits between 0 and 1, not expansions such as 1/4.
    u"&0<\u00BC<\u00BD<\u00BE"
    // Latin-1 letters that Windows weighs as base letter plus accent, or as two letters;
    // the accents in the Windows order (ring after tilde, ordinal indicators first).
    u"&a<<\u00AA<<\u00E1<<<\u00C1<<\u00E0<<<\u00C0<<\u00E2<<<\u00C2<<\u00E4<<<\u00C4"
    u"<<\u00E3<<<\u00C3<<\u00E5<<<\u00C5"
    u"&o<<\u00BA<<\u00F3<<<\u00D3<<\u00F2<<<\u00D2<<\u00F4<<<\u00D4<<\u00F6<<<\u00D6"
    u"<<\u00F5<<<\u00D5<<\u00F8<<<\u00D8"
    u"&d<<\u00F0<<<\u00D0"
    u"&ae=\u00E6&AE=\u00C6&ss=\u00DF&th=\u00FE&TH=\u00DE"
    // Final sigma is a lower-case form of sigma, before the capital (ICU puts it after).
    u"&\u03C3<<<\u03C2"
    // ICU weighs a middle dot after l as an accent (for Catalan); Windows keeps it a
    // symbol, so l and middle dot are l followed by that symbol.
    u"&l=l\\\u00B7/\\\u00B7&L=L\\\u00B7/\\\u00B7";

}  // namespace Platform

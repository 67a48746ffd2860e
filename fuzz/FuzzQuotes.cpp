// The quoting helpers in every quote kind, and the promise that StripQuotes reads back what
// QuoteText wrote for a text that was not quoted already.
#include <cstdlib>

#include "common/QO_Utils.h"
#include "fuzz/FuzzInput.h"
#include "platform/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = FuzzText(data, size);
  for (char16_t kind : {kQuoteDouble, kQuoteCoded, kQuoteAny}) {
    for (bool trim : {true, false}) {
      try {
        StripQuotes(text, kind, trim);
      } catch (const EConvertError&) {
        // A character code beyond 32 bits: the documented failure.
      }
    }
    IsQuoted(text, kind);
    PosOutsideQuotes(u'=', text, 1, kind == kQuoteCoded, true);
  }
  for (char16_t kind : {kQuoteDouble, kQuoteCoded}) {
    if (IsQuoted(text, kind)) continue;
    std::u16string quoted = QuoteText(text, kind);
    if (StripQuotes(quoted, kind, true) != text) std::abort();
  }
  return 0;
}

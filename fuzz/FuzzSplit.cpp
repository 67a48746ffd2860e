// SplitText and NextToken with settings taken from the first byte and delimiters from the
// next few: items must lie within the text and cover it in order.
#include <cstdlib>

#include "common/QO_Utils.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  TSplitSettings settings;
  settings.SpaceSeparates = data[0] & 1;
  settings.TrimItems = data[0] & 2;
  settings.SingleQuotesGroup = data[0] & 4;
  settings.LineBreaksSeparate = data[0] & 8;
  size_t delimiters = (data[0] >> 4) % 4;
  settings.Delimiters.assign(
      reinterpret_cast<const char*>(data + 1),
      reinterpret_cast<const char*>(data + 1) + std::min(delimiters, size - 1));
  std::u16string text = FuzzText(data + 1 + delimiters, size - 1 - std::min(delimiters, size - 1));
  std::vector<TTokenSpan> spans = SplitSpans(text, settings);
  size_t position = 0;
  for (const auto& span : spans) {
    if (span.Begin != position || span.End < span.Begin || span.Next < span.End ||
        span.Next > text.size())
      std::abort();
    position = span.Next;
  }
  if (!text.empty() && position != text.size()) std::abort();
  size_t p = 1;
  for (size_t k = 0; k < spans.size(); ++k)
    if (NextToken(text, p, settings) != spans[k].Item) std::abort();
  return 0;
}

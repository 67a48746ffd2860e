// The search word parser on any text, with the limit taken from the first byte. The work
// grows with the square of a word's joined parts: run it with -max_len=256.
#include "common/QO_Parse.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static TQO_ParseWordList parser;
  parser.SetWordLengthLimit(data[0] % 32);
  TStringList target;
  parser.Parse(FuzzText(data + 1, size - 1), &target);
  return 0;
}

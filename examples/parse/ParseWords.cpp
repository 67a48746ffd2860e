// Prints the search words of each line of standard input, one word a line, with a blank
// line after each text.
//
//   echo "Smith & Jones" | parse_words [WORD_LENGTH_LIMIT]     (default 20; 0: no limit)
#include <cstdlib>
#include <iostream>
#include <string>

#include "common/QO_Parse.h"
#include "platform/Console.h"
#include "platform/TextCodec.h"

int main(int argc, char** argv) {
  TQO_ParseWordList parser;
  parser.SetWordLengthLimit(argc > 1 ? std::atoi(argv[1]) : 20);
  TStringList words;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    parser.Parse(Platform::FromUtf8(line), &words);
    Platform::WriteStdOut(words.Text() + u"\r\n");
  }
  Platform::FlushOutput();
  return 0;
}

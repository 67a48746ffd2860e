// The options-file purge on random files: the file either stays as it was or loses exactly
// one run of bytes (a line with its break), whatever its encoding and line breaks.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/Console.h"
#include "platform/Errors.h"
#include "tool/PurgeExcluded.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte gives the package name's length; the name follows as ASCII-like bytes,
  // the rest is the file.
  if (size == 0) return 0;
  size_t nameLength = std::min<size_t>(data[0] % 16, size - 1);
  std::u16string package;
  for (size_t i = 1; i <= nameLength; ++i)
    package.push_back(char16_t(data[i]));
  std::string before(reinterpret_cast<const char*>(data + 1 + nameLength), size - 1 - nameLength);

  static const std::string path = (std::filesystem::temp_directory_path() /
                                   ("tessik-fuzz-purge-" + std::to_string(getpid()) + ".dof"))
                                      .string();
  { std::ofstream(path, std::ios::binary | std::ios::trunc) << before; }
  std::u16string log;
  std::u16string* previous = Platform::CaptureStdOut(&log);
  try {
    PurgeExcluded(std::u16string(path.begin(), path.end()), package);
  } catch (const Exception&) {
    std::abort();  // the file was there and writable: nothing may fail
  }
  Platform::CaptureStdOut(previous);

  std::string after = ReadAll(path);
  bool purged = log.find(u"Item found and purged.") != std::u16string::npos;
  Check(purged == (after != before));
  if (purged) {
    Check(after.size() < before.size());
    size_t same = 0;
    while (same < after.size() && after[same] == before[same])
      ++same;
    Check(before.compare(before.size() - (after.size() - same), std::string::npos, after, same) ==
          0);
  }
  return 0;
}

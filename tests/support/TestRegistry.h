// A part of the registry that a test owns: a temporary prefix on POSIX, a key of a random
// name below HKCU\Software\TessikTest and HKLM\Software\TessikTest in the real (Wine's)
// registry on Windows. Everything below it is removed when the test ends.
#pragma once

#include <string>

#include "platform/Registry.h"

class TTestRegistry {
 public:
  TTestRegistry();
  ~TTestRegistry();
  TTestRegistry(const TTestRegistry&) = delete;
  TTestRegistry& operator=(const TTestRegistry&) = delete;

  /// The test's own key path, "Software\TessikTest\<random>", under either root.
  const std::u16string& Base() const { return base_; }
  /// Base() followed by "\" and `relative`.
  std::u16string Path(std::u16string_view relative) const;

 private:
  std::u16string base_;
  std::string folder_;  // POSIX: the temporary prefix
};

/// Deletes the key with everything below it (the test's cleanup; also used by tests).
void DeleteTree(Platform::TRegRoot root, const std::u16string& path);

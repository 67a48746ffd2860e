#include "tests/support/TestRegistry.h"

std::u16string TTestRegistry::Path(std::u16string_view relative) const {
  return base_ + u"\\" + std::u16string(relative);
}

void DeleteTree(Platform::TRegRoot root, const std::u16string& path) {
  if (auto key = Platform::OpenRegKey(root, path))
    for (const std::u16string& sub : key->SubKeyNames())
      DeleteTree(root, path + u"\\" + sub);
  Platform::DeleteRegKeyOnly(root, path);
}

#include <random>
#include <string>

#include "tests/support/TestRegistry.h"

TTestRegistry::TTestRegistry() {
  std::random_device device;
  std::string id = std::to_string(device()) + std::to_string(device());
  base_ = u"Software\\TessikTest\\" + std::u16string(id.begin(), id.end());
}

TTestRegistry::~TTestRegistry() {
  for (auto root : {Platform::TRegRoot::CurrentUser, Platform::TRegRoot::LocalMachine}) {
    DeleteTree(root, base_);
    Platform::DeleteRegKeyOnly(root, u"Software\\TessikTest");  // only when it is empty
  }
}

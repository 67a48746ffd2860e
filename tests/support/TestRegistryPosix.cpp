#include <ftw.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/posix/registry/UsePrefix.h"
#include "tests/support/TestRegistry.h"

TTestRegistry::TTestRegistry() : base_(u"Software\\TessikTest\\T") {
  const char* tmp = std::getenv("TMPDIR");
  folder_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessik-regtest-XXXXXX";
  if (!::mkdtemp(folder_.data())) std::perror("mkdtemp");
  Platform::Posix::UseRegistryPrefix(folder_);
}

TTestRegistry::~TTestRegistry() {
  Platform::Posix::UseRegistryPrefix(folder_);  // drops what the test left uncommitted
  ::nftw(
      folder_.c_str(),
      [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

// POSIX only: where the emulated registry lives, for tests that use a prefix of their own.
#pragma once

#include <string>

namespace Platform::Posix {

/// Points the registry at the prefix `folder` and forgets all that was read from the
/// previous one; changes not yet committed are dropped and the lock is released.
void UseRegistryPrefix(const std::string& folder);

}  // namespace Platform::Posix

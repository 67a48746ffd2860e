// The programs running on the machine.
#pragma once

#include <string>
#include <vector>

namespace Platform {

/// The full image file names (Windows form) of the running processes that the system lets
/// this one see. POSIX has no Windows processes to look at: always empty.
std::vector<std::u16string> RunningImageNames();

}  // namespace Platform

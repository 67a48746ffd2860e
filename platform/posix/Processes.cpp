#include "platform/Processes.h"

namespace Platform {

// A Wine program running in the prefix holds it through its wineserver, and the registry
// refuses every write while one does; that check names the cause.
std::vector<std::u16string> RunningImageNames() {
  return {};
}

}  // namespace Platform

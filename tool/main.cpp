// Tessik: prepares the developer's IDEs for the component library, and batch-file tools.
#include "platform/Process.h"
#include "tool/TessikEx.h"

int main(int argc, char** argv) {
  Platform::SetArguments(argc, argv);
  return RunTessik(Platform::CommandLine());
}

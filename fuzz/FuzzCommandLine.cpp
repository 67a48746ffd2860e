// A raw command line through splitting, switch lifting and MakeList with whatever switches
// it holds; the output goes to a sink. Only MakeList runs: no registry, no file writes.
#include "fuzz/FuzzInput.h"
#include "platform/Console.h"
#include "platform/Errors.h"
#include "tool/MakeList.h"
#include "tool/Switches.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string line = u"Tessik.exe MakeList " + FuzzText(data, size);
  std::u16string sink;
  std::u16string* previous = Platform::CaptureStdOut(&sink);
  try {
    TStringList params;
    SplitCommandLine(line, params);
    params.Delete(0);
    params.Delete(0);
    TSwitchInfo switches;
    LiftSwitches(params, switches);
    MakeList(params, switches);
  } catch (const Exception&) {
    // Reported failures ("Missing file name", conversion errors) are answers too.
  }
  Platform::CaptureStdOut(previous);
  return 0;
}

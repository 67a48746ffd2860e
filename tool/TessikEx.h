// The program entry, the operations table and the two drivers.
#pragma once

#include "common/QO_StringList.h"
#include "tool/Switches.h"

/// Operation codes; the usage screen walks them in this order.
enum class TOperationCode {
  MakeList = 0,
  RegAdd = 1,
  RegDelete = 2,
  RegQuery = 3,
  PurgeExcluded = 4,
  Report = 5,
  Install = 6,
  Uninstall = 7,
  None = 8,
  SettingsChanged = 9,
};

/// Runs one command line: parses it, dispatches the operation, prints a failure as
/// "Kind: message" on standard error. Returns the exit code (0 or 1).
int RunTessik(std::u16string_view commandLine);

/// MakeList, the registry tools, PurgeExcluded and SettingsChanged.
void RunListOperation(TOperationCode code, TStringList& params, TSwitchInfo options);

/// Report, Install and Uninstall for one version or all of them.
void RunIdeOperation(TOperationCode code, TStringList& params, TSwitchInfo options);

/// Prints the usage screen.
void ShowUsage();

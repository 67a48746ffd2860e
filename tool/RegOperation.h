// RegQuery, RegAdd and RegDelete from the command line, and SettingsChanged.
#pragma once

#include "common/QO_StringList.h"
#include "tool/Switches.h"
#include "tool/TessikEx.h"

/// Runs RegAdd, RegDelete or RegQuery with the positional parameters (key path, then the
/// value name unless /v gave one).
void RegOperation(TOperationCode code, TStringList& params, TSwitchInfo options);

/// Prints one value of `keyPath` as a TAB-separated line, or its items in the List format.
void PrintRegValue(std::u16string_view keyPath, std::u16string_view name, int headerFlag,
                   const TSwitchInfo& options);

/// Tells running programs that the environment settings changed. Prints nothing.
void BroadcastSettingsChanged();

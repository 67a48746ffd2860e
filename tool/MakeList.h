// MakeList: splits, cleans, combines, sorts, quotes and prints delimited lists.
#pragma once

#include <string_view>

#include "common/QO_StringList.h"
#include "tool/Switches.h"

/// Joins the positional parameters (each stripped of double quotes) with ";" and prints
/// them through ProcessList; prints nothing without parameters.
void MakeList(TStringList& params, const TSwitchInfo& options);

/// Cuts `text` into items by the options, prepends and appends, removes, intersects,
/// de-duplicates, sorts and quotes them, and prints them one a line or joined on one
/// line. With a positive header flag and a name, a "name<TAB>type:" line comes first.
void ProcessList(std::u16string_view name, std::u16string_view type, std::u16string_view text,
                 int headerFlag, const TSwitchInfo& options);

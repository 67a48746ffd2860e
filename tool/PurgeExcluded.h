// PurgeExcluded: removes a package from the "[Excluded Packages]" section of an old IDE's
// default project options file.
#pragma once

#include <string_view>

#include "common/QO_StringList.h"

/// The command-line form: exactly two positional parameters, the file and the package.
void RunPurgeExcluded(TStringList& params);

/// Prints its log and removes the first entry of the section that names `package`. The file
/// is replaced atomically and keeps its encoding and line breaks.
void PurgeExcluded(std::u16string_view file, std::u16string_view package);

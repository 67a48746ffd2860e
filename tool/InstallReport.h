// Report: what the installer knows and has configured for one IDE version.
#pragma once

#include <string_view>

enum class TListStyle { Name, Block };

/// Prints the whole report for the version at `index` of DelphiVersions.
void ReportVersion(int index);

/// Prints every value of a key: "name=text" lines (Name), or one block of items per value
/// (Block). Prints nothing when the key cannot be opened.
void ListRegistryValues(std::u16string_view keyPath, TListStyle style);

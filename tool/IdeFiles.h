// The file tests and unit file transfers of the install and uninstall steps.
#pragma once

#include <string_view>

/// Whether a folder of the system Path stays when the Path moves into the IDE of version
/// `index`: it must exist and must not belong to another IDE version.
bool KeepSystemPathFolder(int index, std::u16string_view folder);

/// Whether every runtime package that the library's package `code` needs exists in the IDE.
bool PackageRequirementsMet(int index, std::u16string_view code);

/// Whether the IDE has the required package `name` (its .dcp file, or the "vcl" form).
bool RequiredPackageExists(int index, std::u16string_view name);

/// Copies (or with `remove`, deletes) every *.<extension> file of the library folder of
/// (index, platform, configuration) into (from) `destination`. Single failures are skipped.
void TransferUnitFiles(int index, bool remove, std::u16string_view platform,
                       std::u16string_view destination, std::u16string_view extension,
                       std::u16string_view configuration);

/// The compiled units of the oldest IDEs: RootDir\lib\Debug.
void TransferDCUFiles(int index, bool remove);

/// The C++ headers of the oldest C++Builders: RootDir\Include.
void TransferHPPFiles(int index, bool remove);

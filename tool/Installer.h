// Install and Uninstall: registering the library with an IDE version and removing it again.
#pragma once

#include <string_view>

/// Install: prints its banner, removes what an earlier installation left, then installs.
void RunInstall(int index);
/// Command-line builds read the library paths from the IDE's EnvOptions.proj, which the IDE
/// rewrites at its next start when asked to: asks it, for an installed version that has one.
void RequestEnvOptionsUpdate(int index);
/// Every install step for one version, in order.
void InstallVersion(int index);
/// The path settings and unit copies of one personality ('d' or 'c') and platform.
void InstallPlatform(int index, char16_t personality, std::u16string_view platform);

/// Uninstall: removes the library when it runs from the folder recorded for the version.
void RunUninstall(int index);
/// Every removal step for one version, in order (also the first half of Install).
void FlushVersion(int index);
void FlushPlatform(int index, char16_t personality, std::u16string_view platform);

/// Removes the library's items from a path-list value, each with one adjacent separator,
/// leaving the rest of the value's text as it was. With `unitsTest`, folders holding the
/// library's units count as library items too.
void RemoveLibraryEntries(std::u16string_view keyPath, std::u16string_view valueName, int index,
                          bool unitsTest);
/// Whether a path item points into the library's folders (current, short or recorded).
bool IsLibraryEntry(int index, std::u16string_view item);
/// Whether a folder holds QO_Components.pas or QO_Components.dcu.
bool HasLibraryUnits(std::u16string_view folder);

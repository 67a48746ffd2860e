// The IDE environment model: version detection, operation parameters, version codes,
// package descriptions, the library's environment variable, the IDE path settings and the
// library's folder layout.
#pragma once

#include <string>
#include <string_view>

#include "common/QO_StringList.h"

/// Finds the library root, prints "CurQORDir=", detects the versions of the table into
/// DelphiVersions and reads the operation parameters (consuming them all).
void InitInstallEnvironment(TStringList& params);

/// Detects one version into DelphiVersions[index] from the registry and the disk.
void DetectVersion(int index);

/// The table index of a version code ("c" codes of RAD Studio map to their "d" entry);
/// fails with "Invalid version: ".
int VersionIndex(std::u16string_view code);
std::u16string VersionRootKey(std::u16string_view code);
/// The IDE's name for a version code, e.g. "Delphi 7" or "RAD Studio XE8".
std::u16string VersionDisplayName(std::u16string_view code);

/// The 8.3 form of an existing path, empty when it does not exist.
std::u16string ShortPathName(std::u16string_view path);
/// Removes enclosing double quotes, trailing blanks and one trailing backslash.
std::u16string NormalizeDirName(std::u16string_view text);

/// "Qorvium " and the package's description, or "Unknown Package Description for: ".
std::u16string PackageDescription(std::u16string_view code);
/// The key and name of the library's environment variable for a version.
std::u16string EnvVarKey(int index);
std::u16string EnvVarName(int index);
/// The variable key of the 64-bit IDE (RootDir\bin64\bds.exe): RootKey\Environment Variables x64.
std::u16string EnvVarKey64(int index);
/// The variable's current value without enclosing double quotes; empty when absent.
std::u16string ReadEnvVarValue(int index);

/// The key that holds a version's path settings for a personality ('d', 'c' or ' ') and a
/// platform (empty: "$(Platform)").
std::u16string LibraryKey(int index, char16_t personality, std::u16string_view platform);
std::u16string SearchPathName(int index, char16_t personality);
std::u16string PackageSearchPathName();
/// Empty when the version and personality have no such setting.
std::u16string IncludePathName(int index, char16_t personality);
std::u16string BrowsingPathName(int index, char16_t personality);
std::u16string DebugDCUPathName(int index, char16_t personality);

/// QORDir\lib\<code>\<platform>\<configuration> (empty configuration: the version's LibConfig).
std::u16string LibraryFolder(int index, std::u16string_view platform,
                             std::u16string_view configuration);
/// Appends root\source\<name> for each source folder.
void AddSourceFolders(TStringList& list, std::u16string_view root);
/// Appends the source folders below `root` (empty: the version's default) to a path value.
void AppendSourceFolderPaths(std::u16string_view keyPath, std::u16string_view valueName, int index,
                             std::u16string_view root);

/// Joins a folder and a name with one backslash between them.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

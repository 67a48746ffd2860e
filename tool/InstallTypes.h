// The IDE version table, the library's package tables and the program-wide values of the
// IDE operations.
#pragma once

#include <array>
#include <string>
#include <string_view>

/// One IDE version as detected at the start of an IDE operation.
struct TDelphiInfo {
  std::u16string VerName;
  bool IsInstalled = false;
  bool AllUsers = false;
  bool CurUser = false;
  std::u16string DelphiPlatforms;
  std::u16string CPPBPlatforms;
  std::u16string VerVersion;
  std::u16string RootKey;
  std::u16string RootDir;
  std::u16string QORInstalledDir;
  std::u16string LibConfig;
  /// RootDir\bin64\bds.exe exists: the 64-bit IDE, with its own package and variable keys.
  bool HasIde64 = false;
};

/// The fixed part of each version: its code, its registry key below the root, the IDE's
/// name, and the numbers in the names of its core package ("coreide<n>.bpl") and its package
/// output folder ("<n>.0\Bpl"); an empty number: the version has no such file or folder.
struct TVersionEntry {
  std::u16string_view VerName;
  std::u16string_view RootKey;
  std::u16string_view DisplayName;
  std::u16string_view CoreIdeNumber;
  std::u16string_view BplFolderNumber;
};

inline constexpr std::array kVersionTable = {
    TVersionEntry{u"c5", u"Software\\Borland\\C++Builder\\5.0", u"C++ Builder 5", u"", u""},
    TVersionEntry{u"c6", u"Software\\Borland\\C++Builder\\6.0", u"C++ Builder 6", u"", u""},
    TVersionEntry{u"d5", u"Software\\Borland\\Delphi\\5.0", u"Delphi 5", u"", u""},
    TVersionEntry{u"d6", u"Software\\Borland\\Delphi\\6.0", u"Delphi 6", u"", u""},
    TVersionEntry{u"d7", u"Software\\Borland\\Delphi\\7.0", u"Delphi 7", u"70", u""},
    TVersionEntry{u"d2005", u"Software\\Borland\\BDS\\3.0", u"RAD Studio 2005", u"90", u"3"},
    TVersionEntry{u"d2006", u"Software\\Borland\\BDS\\4.0", u"RAD Studio 2006", u"100", u"4"},
    TVersionEntry{u"d2007", u"Software\\Borland\\BDS\\5.0", u"RAD Studio 2007", u"110", u"5"},
    TVersionEntry{u"d2009", u"Software\\CodeGear\\BDS\\6.0", u"RAD Studio 2009", u"120", u"6"},
    TVersionEntry{u"d2010", u"Software\\CodeGear\\BDS\\7.0", u"RAD Studio 2010", u"140", u"7"},
    TVersionEntry{u"d2011", u"Software\\Embarcadero\\BDS\\8.0", u"RAD Studio XE", u"150", u"8"},
    TVersionEntry{u"d2012", u"Software\\Embarcadero\\BDS\\9.0", u"RAD Studio XE2", u"160", u"9"},
    TVersionEntry{u"d2013", u"Software\\Embarcadero\\BDS\\10.0", u"RAD Studio XE3", u"170", u"10"},
    TVersionEntry{u"d2014", u"Software\\Embarcadero\\BDS\\11.0", u"RAD Studio XE4", u"180", u"11"},
    TVersionEntry{u"dxe5", u"Software\\Embarcadero\\BDS\\12.0", u"RAD Studio XE5", u"190", u"12"},
    TVersionEntry{u"dxe6", u"Software\\Embarcadero\\BDS\\14.0", u"RAD Studio XE6", u"200", u"14"},
    TVersionEntry{u"dxe7", u"Software\\Embarcadero\\BDS\\15.0", u"RAD Studio XE7", u"210", u"15"},
    TVersionEntry{u"dxe8", u"Software\\Embarcadero\\BDS\\16.0", u"RAD Studio XE8", u"220", u"16"},
    TVersionEntry{u"d10", u"Software\\Embarcadero\\BDS\\17.0", u"RAD Studio 10 Seattle", u"230",
                  u"17"},
    TVersionEntry{u"d10_1", u"Software\\Embarcadero\\BDS\\18.0", u"RAD Studio 10.1 Berlin", u"240",
                  u"18"},
    // The versions after these twenty run with "All" only where they are installed.
    TVersionEntry{u"d10_2", u"Software\\Embarcadero\\BDS\\19.0", u"RAD Studio 10.2 Tokyo", u"250",
                  u"19"},
    TVersionEntry{u"d10_3", u"Software\\Embarcadero\\BDS\\20.0", u"RAD Studio 10.3 Rio", u"260",
                  u"20"},
    TVersionEntry{u"d10_4", u"Software\\Embarcadero\\BDS\\21.0", u"RAD Studio 10.4 Sydney", u"270",
                  u"21"},
    TVersionEntry{u"d11", u"Software\\Embarcadero\\BDS\\22.0", u"RAD Studio 11 Alexandria", u"280",
                  u"22"},
    TVersionEntry{u"d12", u"Software\\Embarcadero\\BDS\\23.0", u"RAD Studio 12 Athens", u"290",
                  u"23"},
    TVersionEntry{u"d13", u"Software\\Embarcadero\\BDS\\37.0", u"RAD Studio 13 Florence", u"370",
                  u"37"},
};

inline constexpr int kVersionCount = int(kVersionTable.size());

// The rules that depend on the version, by table index. Each names the first (or only)
// versions it selects; every later version follows the newest one.

/// "All" visits these versions whether or not they are installed; later ones only when they are.
inline constexpr bool AlwaysVisitedByAll(int index) {
  return index < 20;
}
/// c5 and c6: the C++Builder personality only, with its header and unit copies.
inline constexpr bool IsBuilderOnly(int index) {
  return index < 2;
}
/// c5 and d5 keep the library's variable and Path in the user's Windows environment.
inline constexpr bool UsesUserEnvironment(int index) {
  return index == 0 || index == 2;
}
/// c5 and d5 name their packages with the version: vcl50.dcp.
inline constexpr bool HasVersionedPackageNames(int index) {
  return index == 0 || index == 2;
}
/// c5 to d7 get the library's compiled units copied into the IDE's own folder.
inline constexpr bool CopiesUnitFiles(int index) {
  return index < 5;
}
/// From d2005 on the Delphi personality has a debug unit path.
inline constexpr bool HasDebugDCUPath(int index) {
  return index >= 5;
}
/// From d2006 on the IDE has a C++Builder personality beside Delphi (c5 and c6 have only it).
inline constexpr bool HasBuilderPersonality(int index) {
  return IsBuilderOnly(index) || index >= 6;
}
/// d2006 and d2007 keep the C++ paths in "CppPaths" with their own value names.
inline constexpr bool UsesCppPathsKey(int index) {
  return index == 6 || index == 7;
}
/// From d2007 on, command-line builds read the library paths from the IDE's EnvOptions.proj.
inline constexpr bool BuildsFromEnvOptions(int index) {
  return index >= 7;
}
/// From d2011 on the IDE's units lie in lib\win32\release.
inline constexpr bool HasPlatformUnitFolders(int index) {
  return index >= 10;
}
/// From d2012 on the path settings have one key per target platform, and Delphi can
/// build for Win64.
inline constexpr bool HasPlatformKeys(int index) {
  return index >= 11;
}
/// From d2013 on an IDE's first own Path starts from "$(PATH)" instead of a copy of the
/// system Path.
inline constexpr bool StartsPathFromSystemMacro(int index) {
  return index >= 12;
}
/// From d2014 on C++Builder can build for Win64.
inline constexpr bool BuilderHasWin64(int index) {
  return index >= 13;
}
/// 10 and 10.1, whose C++Builder paths earlier releases wrote into the Delphi key.
inline constexpr bool HadBuilderPathsInDelphiKey(int index) {
  return index == 18 || index == 19;
}
/// From dxe6 on the package output folder is "...\Studio\<n>.0\Bpl" rather than
/// "...\RAD Studio\<n>.0\Bpl".
inline constexpr bool KeepsPackagesInStudioFolder(int index) {
  return index >= 15;
}

/// The versions of kVersionTable, in its order, filled by InitInstallEnvironment.
extern std::array<TDelphiInfo, kVersionCount> DelphiVersions;

/// The library's root folder: two levels above the program's own folder.
extern std::u16string QORDir;
/// The short (8.3) form of QORDir; empty when the system gives none.
extern std::u16string QORDirShort;
/// "Binary" (default) or "Source".
extern std::u16string DevMode;
/// "All" (default) or the version code given on the command line.
extern std::u16string RequestedVersion;

/// Runtime package codes, in installation order.
inline constexpr std::array<std::u16string_view, 14> RuntimePackageCodes = {
    u"crt", u"art",  u"trt",  u"vrt",   u"frt",   u"xrt",   u"xiprt",
    u"wrt", u"wxrt", u"wsrt", u"ftsrt", u"rplrt", u"admrt", u"svcrt"};

/// Design-time package codes, in installation order.
inline constexpr std::array<std::u16string_view, 14> DesignPackageCodes = {
    u"cdt", u"adt",  u"tdt",  u"vdt",   u"fdt",   u"xdt",   u"xipdt",
    u"wdt", u"wxdt", u"wsdt", u"ftsdt", u"rpldt", u"admdt", u"edt"};

/// Package codes of the earlier product generation, removed on uninstall.
inline constexpr std::array<std::u16string_view, 9> OldRuntimePackageCodes = {
    u"CRT", u"ART", u"TRT", u"VRT", u"FRT", u"XRT", u"WRT", u"WXRT", u"WSRT"};
inline constexpr std::array<std::u16string_view, 12> OldDesignPackageCodes = {
    u"CDT", u"ADT",  u"TDT",  u"VDT", u"FDT", u"XDT",
    u"WDT", u"WXDT", u"WSDT", u"FTS", u"RPL", u"EDT"};

/// The library's source folders below "source", in the order they enter IDE paths.
inline constexpr std::array<std::u16string_view, 15> SourceFolderNames = {
    u"common", u"core", u"access", u"tools",   u"tdataset", u"visual",  u"visual\\delphi", u"forms",
    u"fts",    u"rpl",  u"admin",  u"editors", u"web",      u"service", u"xlsqlrep"};

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
};

inline constexpr int kVersionCount = 20;

/// The fixed part of each version: its code and its registry key below the root.
struct TVersionEntry {
  std::u16string_view VerName;
  std::u16string_view RootKey;
};

inline constexpr std::array<TVersionEntry, kVersionCount> kVersionTable = {{
    {u"c5", u"Software\\Borland\\C++Builder\\5.0"},
    {u"c6", u"Software\\Borland\\C++Builder\\6.0"},
    {u"d5", u"Software\\Borland\\Delphi\\5.0"},
    {u"d6", u"Software\\Borland\\Delphi\\6.0"},
    {u"d7", u"Software\\Borland\\Delphi\\7.0"},
    {u"d2005", u"Software\\Borland\\BDS\\3.0"},
    {u"d2006", u"Software\\Borland\\BDS\\4.0"},
    {u"d2007", u"Software\\Borland\\BDS\\5.0"},
    {u"d2009", u"Software\\CodeGear\\BDS\\6.0"},
    {u"d2010", u"Software\\CodeGear\\BDS\\7.0"},
    {u"d2011", u"Software\\Embarcadero\\BDS\\8.0"},
    {u"d2012", u"Software\\Embarcadero\\BDS\\9.0"},
    {u"d2013", u"Software\\Embarcadero\\BDS\\10.0"},
    {u"d2014", u"Software\\Embarcadero\\BDS\\11.0"},
    {u"dxe5", u"Software\\Embarcadero\\BDS\\12.0"},
    {u"dxe6", u"Software\\Embarcadero\\BDS\\14.0"},
    {u"dxe7", u"Software\\Embarcadero\\BDS\\15.0"},
    {u"dxe8", u"Software\\Embarcadero\\BDS\\16.0"},
    {u"d10", u"Software\\Embarcadero\\BDS\\17.0"},
    {u"d10_1", u"Software\\Embarcadero\\BDS\\18.0"},
}};

/// The twenty versions, index 0 ("c5") to 19 ("d10_1"), filled by InitInstallEnvironment.
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

#include "tool/InstallUtils.h"

#include <array>
#include <vector>

#include "common/QO_Utils.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "tool/InstallTypes.h"
#include "tool/Output.h"
#include "tool/RegOp.h"

namespace {

struct TPackageArea {
  std::u16string_view Code;
  std::u16string_view Description;
};

constexpr std::array<TPackageArea, 29> kPackageDescriptions = {{
    {u"crt", u"Core Runtime"},
    {u"cdt", u"Core Components"},
    {u"art", u"Native Data Access Runtime"},
    {u"adt", u"Native Data Access Components"},
    {u"trt", u"Tools Runtime"},
    {u"tdt", u"Tools Components"},
    {u"vrt", u"Native Visual Controls Runtime"},
    {u"vdt", u"Native Visual Controls"},
    {u"frt", u"Forms and Dialogs Runtime"},
    {u"fdt", u"Forms and Dialogs"},
    {u"xrt", u"TDataset Runtime"},
    {u"xdt", u"TDataset Components"},
    {u"xiprt", u"InfoPower Runtime"},
    {u"xipdt", u"InfoPower Components"},
    {u"wrt", u"Internet Extensions Runtime"},
    {u"wdt", u"Internet Extensions Components"},
    {u"wxrt", u"TDataset Internet Extensions Runtime"},
    {u"wxdt", u"TDataset Internet Extensions Components"},
    {u"wsrt", u"WebSnap Runtime"},
    {u"wsdt", u"WebSnap Components"},
    {u"ftsrt", u"Full Text Search Runtime"},
    {u"ftsdt", u"Full Text Search Components"},
    {u"rplrt", u"Replication Runtime"},
    {u"rpldt", u"Replication Components"},
    {u"admrt", u"Administration Services Runtime"},
    {u"admdt", u"Administration Services Components"},
    {u"edt", u"Component and Property Editors"},
    {u"xlrt", u"XLSQL Reports Runtime"},
    {u"xldt", u"XLSQL Reports Components"},
}};

struct TDisplayName {
  std::u16string_view Code;
  std::u16string_view Name;
};

// Codes outside the table that still have a name.
constexpr std::array<TDisplayName, 4> kNamedCodes = {{
    {u"dxe", u"RAD Studio XE"},
    {u"dxe2", u"RAD Studio XE2"},
    {u"dxe3", u"RAD Studio XE3"},
    {u"dxe4", u"RAD Studio XE4"},
}};

struct TNumberedName {
  int Number;
  std::u16string_view Name;
};

constexpr std::array<TNumberedName, 12> kNumberedCodes = {{
    {5, u"Delphi 5"},
    {6, u"Delphi 6"},
    {7, u"Delphi 7"},
    {2005, u"RAD Studio 2005"},
    {2006, u"RAD Studio 2006"},
    {2007, u"RAD Studio 2007"},
    {2009, u"RAD Studio 2009"},
    {2010, u"RAD Studio 2010"},
    {2011, u"RAD Studio XE"},
    {2012, u"RAD Studio XE2"},
    {2013, u"RAD Studio XE3"},
    {2014, u"RAD Studio XE4"},
}};

bool EndsWithBackslash(std::u16string_view text) {
  return !text.empty() && text.back() == u'\\';
}

// The value's text without enclosing double quotes; empty when it is missing.
std::u16string ReadUnquoted(std::u16string_view keyPath, std::u16string_view name) {
  std::u16string data, typeName;
  ReadRegValue(keyPath, name, data, typeName);
  return StripQuotes(data, kQuoteDouble, true);
}

// Reads RootDir and the version of an IDE below one root; false when it is not there.
bool ReadInstallation(std::u16string_view rootPrefix, TDelphiInfo& info) {
  std::u16string key = std::u16string(rootPrefix) + info.RootKey;
  std::u16string data, typeName;
  if (!ReadRegValue(key, u"RootDir", data, typeName)) return false;
  info.RootDir = NormalizeDirName(data);
  // An empty "Version" (missing, or an empty text, which reads as two quotes) gives way to
  // the edition.
  info.VerVersion = ReadUnquoted(key, u"Version");
  if (info.VerVersion.empty()) info.VerVersion = ReadUnquoted(key, u"Edition");
  return true;
}

std::u16string PlatformsFor(bool win64) {
  return win64 ? u"Win32,Win64" : u"Win32";
}

void ReadParameters(TStringList& params) {
  RequestedVersion.clear();
  DevMode = u"Binary";
  while (params.Count() > 0) {
    std::u16string p = params[0];
    params.Delete(0);
    if (EqualsIgnoreCase(p, u"All")) {
      RequestedVersion = u"All";
    } else if (EqualsIgnoreCase(p, u"Source")) {
      DevMode = u"Source";
    } else if (EqualsIgnoreCase(p, u"Binary")) {
      DevMode = u"Binary";
    } else if (RequestedVersion.empty()) {
      RequestedVersion = p;
    } else {
      throw Exception(u"Unrecognized parameter: " + p);
    }
  }
  if (RequestedVersion.empty()) RequestedVersion = u"All";
}

}  // namespace

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  if (!EndsWithBackslash(path)) path.push_back(u'\\');
  path += name;
  return path;
}

void DetectVersion(int index) {
  TDelphiInfo& info = DelphiVersions[size_t(index)];
  info.DelphiPlatforms.clear();
  info.CPPBPlatforms.clear();
  info.RootDir.clear();
  info.VerVersion.clear();
  info.AllUsers = ReadInstallation(u"HKLM\\", info);
  info.CurUser = !info.AllUsers && ReadInstallation(u"HKCU\\", info);
  info.IsInstalled = info.AllUsers || info.CurUser;
  // Without a RootDir the files would be looked for at the root of the current drive.
  bool win64 =
      !info.RootDir.empty() && Platform::FileExists(JoinPath(info.RootDir, u"bin\\dcc64.exe"));
  info.HasIde64 =
      !info.RootDir.empty() && Platform::FileExists(JoinPath(info.RootDir, u"bin64\\bds.exe"));
  if (!IsBuilderOnly(index))
    info.DelphiPlatforms = HasPlatformKeys(index) ? PlatformsFor(win64) : u"Win32";
  if (HasBuilderPersonality(index))
    info.CPPBPlatforms = BuilderHasWin64(index) ? PlatformsFor(win64) : u"Win32";
  info.QORInstalledDir = ReadUnquoted(u"HKCU\\Software\\Tolvane\\QOR\\InstallPaths", info.VerName);
  std::u16string lib = JoinPath(QORDir, u"lib\\" + info.VerName + u"\\Win32\\");
  info.LibConfig = Platform::DirectoryExists(lib + u"Release") ? u"Release"
                   : Platform::DirectoryExists(lib + u"Eval")  ? u"Eval"
                                                               : u"";
}

void InitInstallEnvironment(TStringList& params) {
  std::u16string program = Platform::ProgramFileName();
  size_t slash = program.find_last_of(u"\\/");
  std::u16string folder =
      NormalizeDirName(slash == std::u16string::npos ? u"" : program.substr(0, slash));
  QORDir = Platform::FullPathName(folder + u"\\..\\..");
  if (QORDir.size() > 3 && EndsWithBackslash(QORDir)) QORDir.pop_back();
  WriteLine(u"CurQORDir=" + QORDir);
  QORDirShort = ShortPathName(QORDir);
  std::vector<std::u16string> rootKeys;
  for (int i = 0; i < kVersionCount; ++i) {
    DelphiVersions[size_t(i)].VerName = std::u16string(kVersionTable[size_t(i)].VerName);
    DelphiVersions[size_t(i)].RootKey = std::u16string(kVersionTable[size_t(i)].RootKey);
    rootKeys.push_back(DelphiVersions[size_t(i)].RootKey);
  }
  // Every version's installation is looked up for all users first: one pass for all.
  Platform::ExpectRegKeys(Platform::TRegRoot::LocalMachine, rootKeys);
  for (int i = 0; i < kVersionCount; ++i)
    DetectVersion(i);
  ReadParameters(params);
}

int VersionIndex(std::u16string_view code) {
  std::u16string c(code);
  bool builder5or6 = EqualsIgnoreCase(c, u"c5") || EqualsIgnoreCase(c, u"c6");
  if (!c.empty() && (c[0] == u'c' || c[0] == u'C') && !builder5or6) c[0] = u'd';
  for (int i = 0; i < kVersionCount; ++i)
    if (EqualsIgnoreCase(c, kVersionTable[size_t(i)].VerName)) return i;
  throw Exception(u"Invalid version: " + c);
}

std::u16string VersionRootKey(std::u16string_view code) {
  return std::u16string(kVersionTable[size_t(VersionIndex(code))].RootKey);
}

std::u16string VersionDisplayName(std::u16string_view code) {
  for (const auto& entry : kVersionTable)
    if (code == entry.VerName) return std::u16string(entry.DisplayName);
  for (const auto& named : kNamedCodes)
    if (code == named.Code) return std::u16string(named.Name);
  int number = StrToInt(code.empty() ? code : code.substr(1));
  for (const auto& numbered : kNumberedCodes)
    if (number == numbered.Number) return std::u16string(numbered.Name);
  return u"Unrecognized version: " + std::u16string(code);
}

std::u16string ShortPathName(std::u16string_view path) {
  return Platform::ShortPathName(path);
}

std::u16string NormalizeDirName(std::u16string_view text) {
  std::u16string dir(text);
  if (IsQuoted(dir, kQuoteDouble)) dir = StripQuotes(dir, kQuoteDouble, true);
  while (!dir.empty() && dir.back() == u' ')
    dir.pop_back();
  if (EndsWithBackslash(dir)) dir.pop_back();
  return dir;
}

std::u16string PackageDescription(std::u16string_view code) {
  for (const auto& area : kPackageDescriptions)
    if (EqualsIgnoreCase(code, area.Code)) return u"Qorvium " + std::u16string(area.Description);
  return u"Unknown Package Description for: " + std::u16string(code);
}

std::u16string EnvVarKey(int index) {
  if (UsesUserEnvironment(index)) return u"HKCU\\Environment";
  return std::u16string(kVersionTable[size_t(index)].RootKey) + u"\\Environment Variables";
}

std::u16string EnvVarKey64(int index) {
  return std::u16string(kVersionTable[size_t(index)].RootKey) + u"\\Environment Variables x64";
}

std::u16string EnvVarName(int index) {
  if (UsesUserEnvironment(index))
    return u"qor5_" + std::u16string(kVersionTable[size_t(index)].VerName);
  return u"qor5";
}

std::u16string ReadEnvVarValue(int index) {
  return ReadUnquoted(EnvVarKey(index), EnvVarName(index));
}

std::u16string LibraryKey(int index, char16_t personality, std::u16string_view platform) {
  std::u16string subkey = u"Library";  // Delphi's, and that of c5 and c6
  if (personality == u'c' && !IsBuilderOnly(index))
    subkey = UsesCppPathsKey(index) ? u"CppPaths" : u"C++\\Paths";
  if (HasPlatformKeys(index))
    subkey +=
        u"\\" + (platform.empty() ? std::u16string(u"$(Platform)") : std::u16string(platform));
  return std::u16string(kVersionTable[size_t(index)].RootKey) + u"\\" + subkey;
}

std::u16string SearchPathName(int index, char16_t personality) {
  if (personality != u'c' || IsBuilderOnly(index)) return u"Search Path";
  return UsesCppPathsKey(index) ? u"SearchPath" : u"LibraryPath";
}

std::u16string PackageSearchPathName() {
  return u"Package Search Path";
}

std::u16string IncludePathName(int index, char16_t personality) {
  return IsBuilderOnly(index) || personality == u'd' ? u"" : u"IncludePath";
}

std::u16string BrowsingPathName(int index, char16_t personality) {
  bool builderStyle = personality == u'c' && !IsBuilderOnly(index) && !UsesCppPathsKey(index);
  return builderStyle ? u"BrowsingPath" : u"Browsing Path";
}

std::u16string DebugDCUPathName(int index, char16_t personality) {
  return personality == u'd' && HasDebugDCUPath(index) ? u"Debug DCU Path" : u"";
}

std::u16string LibraryFolder(int index, std::u16string_view platform,
                             std::u16string_view configuration) {
  const TDelphiInfo& info = DelphiVersions[size_t(index)];
  std::u16string config(configuration.empty() ? std::u16string_view(info.LibConfig)
                                              : configuration);
  return JoinPath(QORDir, u"lib\\" + std::u16string(kVersionTable[size_t(index)].VerName) + u"\\" +
                              std::u16string(platform) + u"\\" + config);
}

void AddSourceFolders(TStringList& list, std::u16string_view root) {
  for (auto name : SourceFolderNames)
    list.Add(JoinPath(root, u"source\\" + std::u16string(name)));
}

void AppendSourceFolderPaths(std::u16string_view keyPath, std::u16string_view valueName, int index,
                             std::u16string_view root) {
  std::u16string base(root);
  if (base.empty()) base = UsesUserEnvironment(index) ? QORDir : u"$(" + EnvVarName(index) + u")";
  TStringList entries;
  AddSourceFolders(entries, base);
  AppendRegPathEntries(keyPath, valueName, entries);
}

// Install: registers the library with one IDE version. Every step prints its label and the
// version code, so standard output is the installation log.
#include "tool/Installer.h"

#include <string>

#include "common/QO_StringList.h"
#include "common/QO_Utils.h"
#include "platform/Files.h"
#include "tool/IdeFiles.h"
#include "tool/InstallTypes.h"
#include "tool/InstallUtils.h"
#include "tool/Output.h"
#include "tool/PurgeExcluded.h"
#include "tool/RegOp.h"
#include "tool/RegOperation.h"

namespace {

const TDelphiInfo& Info(int index) {
  return DelphiVersions[size_t(index)];
}

void Dashes(size_t count) {
  WriteLine(std::u16string(count, u'-'));
}

void StepHeader(std::u16string_view label, int index, char16_t personality,
                std::u16string_view platform) {
  WriteLine(std::u16string(label) + Info(index).VerName);
  WriteLine(u"   Personality " + std::u16string(1, personality));
  WriteLine(u"   Platform " + std::u16string(platform));
}

std::u16string PackageName(std::u16string_view code, int index) {
  return u"qor5" + std::u16string(code) + u"_" + Info(index).VerName;
}

// The default project options file that lists the excluded packages of c5 and d5.
std::u16string OptionsFile(int index) {
  if (index == 0) return Info(index).RootDir + u"\\bin\\default.bpr";
  if (index == 2) return Info(index).RootDir + u"\\bin\\defproj.dof";
  return u"";
}

void PurgeIfInstalled(int index, std::u16string_view package) {
  std::u16string file = OptionsFile(index);
  if (file.empty()) return;
  // An IDE that is not there has no options file to edit; "All" must not stop at it.
  if (!Info(index).IsInstalled) {
    WriteLine(u"PurgeExcluded skipped: " + Info(index).VerName + u" is not installed");
    return;
  }
  // A removed IDE often leaves its keys behind: without its folder there is nothing to purge.
  // An empty RootDir is never looked up, as the file would be on the current drive's root.
  if (Info(index).RootDir.empty() || !Platform::FileExists(file)) {
    WriteLine(u"PurgeExcluded skipped: " + file + u" does not exist");
    return;
  }
  PurgeExcluded(file, package);
}

// The design packages of one platform's build in one package list of the IDE: "Known
// Packages" (Win32) or the 64-bit IDE's "Known Packages x64" (Win64).
void InstallKnownPackages(int index, std::u16string_view list, std::u16string_view platform) {
  const TDelphiInfo& info = Info(index);
  Dashes(48);
  WriteLine(u"Install " + std::u16string(list) + info.VerName);
  Dashes(48);
  std::u16string key = info.RootKey + u"\\" + std::u16string(list);
  TQO_StringList lines;
  ReadRegValues(key, lines);
  for (auto code : DesignPackageCodes) {
    if (!PackageRequirementsMet(index, code)) continue;
    std::u16string file =
        JoinPath(LibraryFolder(index, platform, u""), PackageName(code, index) + u".bpl");
    if (Platform::FileExists(file))
      lines.Add(QuoteText(file, kQuoteDouble) + u"=" +
                QuoteText(PackageDescription(code), kQuoteDouble));
    if (platform == u"Win32") PurgeIfInstalled(index, PackageName(code, index));
  }
  for (const auto& line : lines.Items())
    WriteLine(line);
  Dashes(48);
  WriteRegValues(key, lines);
}

void InstallRegistryEntry(int index) {
  WriteLine(u"InstallRegistryEntry " + Info(index).VerName);
  WriteRegValue(u"HKCU\\Software\\Tolvane\\QOR\\InstallPaths", Info(index).VerName, QORDir, u"");
  WriteRegValue(u"HKCU\\Software\\Tolvane\\QOR\\DevMode", Info(index).VerName, DevMode, u"");
}

void InstallEnvVarEntry(int index) {
  WriteLine(u"InstallEnvVarEntry " + Info(index).VerName);
  WriteRegValue(EnvVarKey(index), EnvVarName(index), QORDir, u"");
}

void InstallEnvVarEntry64(int index) {
  WriteLine(u"InstallEnvVarEntry x64 " + Info(index).VerName);
  WriteRegValue(EnvVarKey64(index), EnvVarName(index), QORDir, u"");
}

// The system Path without the folders of other IDEs, for an IDE's first own Path.
void MoveSystemPath(int index, TStringList& list) {
  Dashes(33);
  WriteLine(u"Moving system path into IDE path.");
  Dashes(33);
  TSplitSettings settings;
  settings.Delimiters = u";";
  SplitText(GetEnvVar(u"Path"), list, settings);
  for (int i = list.Count() - 1; i >= 0; --i) {
    if (KeepSystemPathFolder(index, list[i])) {
      WriteLine(u"Keeping: " + list[i]);
    } else {
      WriteLine(u"Purging: " + list[i]);
      list.Delete(i);
    }
  }
  Dashes(33);
}

void InstallEnvPathEntry(int index) {
  WriteLine(u"InstallEnvPathEntry " + Info(index).VerName);
  std::u16string key = EnvVarKey(index), data, typeName;
  std::u16string folder = LibraryFolder(index, u"Win32", u"");
  bool userEnvironment = UsesUserEnvironment(index);
  if (ReadRegValue(key, u"Path", data, typeName) || userEnvironment) {
    AppendRegPathList(key, u"Path", folder);
    if (userEnvironment) BroadcastSettingsChanged();
    return;
  }
  TStringList list;
  if (StartsPathFromSystemMacro(index)) {
    list.Add(u"$(PATH)");
  } else {
    MoveSystemPath(index, list);
  }
  list.Add(folder);
  AppendRegPathEntries(key, u"Path", list);
}

// The 64-bit IDE loads the library's Win64 runtime packages through its own Path.
void InstallEnvPathEntry64(int index) {
  WriteLine(u"InstallEnvPathEntry x64 " + Info(index).VerName);
  std::u16string key = EnvVarKey64(index), data, typeName;
  std::u16string folder = LibraryFolder(index, u"Win64", u"");
  if (ReadRegValue(key, u"Path", data, typeName)) {
    AppendRegPathList(key, u"Path", folder);
    return;
  }
  TStringList list;
  list.Add(u"$(PATH)");
  list.Add(folder);
  AppendRegPathEntries(key, u"Path", list);
}

void SplitPlatforms(std::u16string_view platforms, TStringList& list) {
  TSplitSettings settings;
  settings.SpaceSeparates = true;
  settings.TrimItems = true;
  settings.SingleQuotesGroup = true;
  SplitText(platforms, list, settings);
}

}  // namespace

void RunInstall(int index) {
  WriteLine(u"We are here to install " + Info(index).VerName);
  FlushVersion(index);
  InstallVersion(index);
  RequestEnvOptionsUpdate(index);
}

void RequestEnvOptionsUpdate(int index) {
  const TDelphiInfo& info = Info(index);
  if (!info.IsInstalled || !BuildsFromEnvOptions(index)) return;
  WriteRegValue(info.RootKey + u"\\Globals", u"ForceEnvOptionsUpdate", u"1", u"REG_SZ");
}

void InstallVersion(int index) {
  bool ide64 = Info(index).HasIde64;
  InstallKnownPackages(index, u"Known Packages", u"Win32");
  if (ide64) InstallKnownPackages(index, u"Known Packages x64", u"Win64");
  InstallRegistryEntry(index);
  InstallEnvVarEntry(index);
  if (ide64) InstallEnvVarEntry64(index);
  InstallEnvPathEntry(index);
  if (ide64) InstallEnvPathEntry64(index);
  TStringList platforms;
  SplitPlatforms(Info(index).DelphiPlatforms, platforms);
  for (const auto& platform : platforms.Items())
    InstallPlatform(index, u'd', platform);
  SplitPlatforms(Info(index).CPPBPlatforms, platforms);
  for (const auto& platform : platforms.Items())
    InstallPlatform(index, u'c', platform);
}

void InstallPlatform(int index, char16_t personality, std::u16string_view platform) {
  const TDelphiInfo& info = Info(index);
  std::u16string key = LibraryKey(index, personality, platform);
  std::u16string folder = LibraryFolder(index, platform, info.LibConfig);
  StepHeader(u"InstallLibraryEntry ", index, personality, platform);
  if (DevMode == u"Binary") {
    AppendRegPathList(key, SearchPathName(index, personality), folder);
  } else {
    AppendSourceFolderPaths(key, SearchPathName(index, personality), index, u"");
  }
  StepHeader(u"InstallIncludeEntry ", index, personality, platform);
  AppendRegPathList(key, IncludePathName(index, personality), folder);
  StepHeader(u"InstallBrowsingPathEntry ", index, personality, platform);
  if (info.LibConfig != u"Eval")
    AppendSourceFolderPaths(key, BrowsingPathName(index, personality), index, u"");
  StepHeader(u"InstallDebugDCUEntry ", index, personality, platform);
  if (DevMode != u"Source")
    AppendRegPathList(key, DebugDCUPathName(index, personality),
                      LibraryFolder(index, platform, u"Debug"));
  if (CopiesUnitFiles(index) && DevMode != u"Source") {
    StepHeader(u"InstallDCUFiles ", index, personality, platform);
    TransferDCUFiles(index, false);
  }
  if (IsBuilderOnly(index)) {
    StepHeader(u"InstallHPPFiles ", index, personality, platform);
    TransferHPPFiles(index, false);
  }
  WriteLine(u"InstallPkgSearchPathEntry " + info.VerName);
  AppendRegPathList(key, PackageSearchPathName(), folder);
}

#include "tool/IdeFiles.h"

#include <array>
#include <string>

#include "common/QO_StringList.h"
#include "common/QO_Utils.h"
#include "platform/Collation.h"
#include "platform/Files.h"
#include "tool/InstallTypes.h"
#include "tool/InstallUtils.h"
#include "tool/Staging.h"

namespace {

struct TRequirement {
  std::u16string_view Base;
  std::u16string_view Packages;
};

constexpr std::array<TRequirement, 7> kRequirements = {{
    {u"v", u"vcl"},
    {u"f", u"vcl"},
    {u"e", u"vcl"},
    {u"x", u"dbx"},
    {u"xip", u"dbx;infopower"},
    {u"w", u"inet"},
    {u"wx", u"dbx;inet;inetdb"},
}};

constexpr std::u16string_view kWebSnapRequirement = u"websnap;webdsnap;dsnap;inet;inetdb";

bool Exists(std::u16string_view folder, std::u16string_view name) {
  return Platform::FileExists(std::u16string(folder) + std::u16string(name));
}

// Both files of an older IDE's core in the folder itself or in its "bin" subfolder.
bool HoldsCore(std::u16string_view folder, std::u16string_view core, std::u16string_view exe) {
  return (Exists(folder, core) && Exists(folder, exe)) ||
         (Exists(folder, u"\\bin" + std::u16string(core)) &&
          Exists(folder, u"\\bin" + std::u16string(exe)));
}

bool HoldsOlderIde(int index, std::u16string_view folder) {
  for (auto core : {u"\\coride30.bpl", u"\\coride40.bpl"})
    if (Exists(folder, core) || Exists(folder, u"\\..\\..\\bin" + std::u16string(core)))
      return true;
  return (index != 0 && HoldsCore(folder, u"\\coride50.bpl", u"\\bcb.exe")) ||
         (index != 2 && HoldsCore(folder, u"\\coride50.bpl", u"\\delphi32.exe")) ||
         (index != 1 && HoldsCore(folder, u"\\coride60.bpl", u"\\bcb.exe")) ||
         (index != 3 && HoldsCore(folder, u"\\coride60.bpl", u"\\delphi32.exe"));
}

std::u16string_view RequirementsOf(std::u16string_view base) {
  if (base == u"ws") return kWebSnapRequirement;
  for (const auto& r : kRequirements)
    if (base == r.Base) return r.Packages;
  return u"";
}

}  // namespace

bool KeepSystemPathFolder(int index, std::u16string_view folder) {
  std::u16string f(folder);
  if (!f.empty() && f.back() == u'\\') f.pop_back();
  if (!Platform::DirectoryExists(f) || HoldsOlderIde(index, f)) return false;
  std::u16string upper = Platform::UpperCase(f);
  for (int other = 0; other < kVersionCount; ++other) {
    if (other == index) continue;
    const TVersionEntry& entry = kVersionTable[size_t(other)];
    if (!entry.CoreIdeNumber.empty()) {
      std::u16string name = u"coreide" + std::u16string(entry.CoreIdeNumber) + u".bpl";
      if (Exists(f, u"\\" + name) || Exists(f, u"\\..\\..\\bin\\" + name)) return false;
    }
    if (entry.BplFolderNumber.empty()) continue;
    // "Studio\" also matches the older "RAD Studio\" form of the same folder.
    std::u16string marker = (KeepsPackagesInStudioFolder(other) ? u"STUDIO\\" : u"RAD STUDIO\\") +
                            std::u16string(entry.BplFolderNumber) + u".0\\BPL";
    if (upper.find(marker) != std::u16string::npos) return false;
  }
  return true;
}

bool PackageRequirementsMet(int index, std::u16string_view code) {
  std::u16string_view base = code;
  if (code.size() > 2) {
    std::u16string_view tail = code.substr(code.size() - 2);
    if (EqualsIgnoreCase(tail, u"rt") || EqualsIgnoreCase(tail, u"dt")) base.remove_suffix(2);
  }
  TStringList required;
  TSplitSettings settings;
  settings.TrimItems = true;
  settings.SingleQuotesGroup = true;
  SplitText(RequirementsOf(base), required, settings);
  for (const auto& name : required.Items())
    if (!RequiredPackageExists(index, name)) return false;
  return true;
}

bool RequiredPackageExists(int index, std::u16string_view name) {
  if (EqualsIgnoreCase(name, u"infopower"))
    return Platform::FileExists(u"ip2007v7.bpl") || Platform::FileExists(u"ip2009v7.bpl");
  std::u16string folder = JoinPath(DelphiVersions[size_t(index)].RootDir, u"Lib\\");
  std::u16string file =
      std::u16string(name) + (HasVersionedPackageNames(index) ? u"50" : u"") + u".dcp";
  std::u16string sub = IsBuilderOnly(index)            ? u"Obj\\"
                       : HasPlatformUnitFolders(index) ? u"win32\\release\\"
                                                       : u"";
  if (Platform::FileExists(folder + sub + file)) return true;
  return Platform::FileExists(folder + sub + u"vcl" + file);
}

void TransferUnitFiles(int index, bool remove, std::u16string_view platform,
                       std::u16string_view destination, std::u16string_view extension,
                       std::u16string_view configuration) {
  std::u16string source = LibraryFolder(index, platform, configuration);
  if (!Platform::DirectoryExists(source)) return;
  for (const auto& name : Platform::FindFiles(source, u"*." + std::u16string(extension))) {
    std::u16string target = JoinPath(destination, name);
    if (remove) {
      Staging::RemoveFile(target);
    } else {
      Staging::CopyFileReplacing(JoinPath(source, name), target);
    }
  }
}

void TransferDCUFiles(int index, bool remove) {
  // Without a RootDir the destination would be the root of the current drive.
  if (DelphiVersions[size_t(index)].RootDir.empty()) return;
  std::u16string destination = JoinPath(DelphiVersions[size_t(index)].RootDir, u"lib\\Debug");
  std::u16string_view configuration = u"Debug";
  if (!Platform::DirectoryExists(LibraryFolder(index, u"Win32", u"Debug"))) {
    remove = true;  // Without a debug build the release units' names are cleared out.
    configuration =
        Platform::DirectoryExists(LibraryFolder(index, u"Win32", u"Eval")) ? u"Eval" : u"Release";
  }
  TransferUnitFiles(index, remove, u"Win32", destination, u"dcu", configuration);
}

void TransferHPPFiles(int index, bool remove) {
  const TDelphiInfo& info = DelphiVersions[size_t(index)];
  if (info.RootDir.empty()) return;  // The destination would be \Include of the current drive.
  TransferUnitFiles(index, remove, u"Win32", JoinPath(info.RootDir, u"Include"), u"hpp",
                    info.LibConfig);
}

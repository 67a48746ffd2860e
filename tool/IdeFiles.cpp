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

struct TVersionNumber {
  int Index;
  std::u16string_view Number;
};

// "coreide" + number + ".bpl" marks the folders of the IDEs from d7 on.
constexpr std::array<TVersionNumber, 16> kCoreIdeNumbers = {{
    {4, u"70"},
    {5, u"90"},
    {6, u"100"},
    {7, u"110"},
    {8, u"120"},
    {9, u"140"},
    {10, u"150"},
    {11, u"160"},
    {12, u"170"},
    {13, u"180"},
    {14, u"190"},
    {15, u"200"},
    {16, u"210"},
    {17, u"220"},
    {18, u"230"},
    {19, u"240"},
}};

// "RAD Studio\<number>.0\Bpl" is the package output folder of the IDEs from d2005 on.
constexpr std::array<TVersionNumber, 15> kBplFolderNumbers = {{
    {5, u"3"},
    {6, u"4"},
    {7, u"5"},
    {8, u"6"},
    {9, u"7"},
    {10, u"8"},
    {11, u"9"},
    {12, u"10"},
    {13, u"11"},
    {14, u"12"},
    {15, u"14"},
    {16, u"15"},
    {17, u"16"},
    {18, u"17"},
    {19, u"18"},
}};

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
  for (const auto& core : kCoreIdeNumbers) {
    if (core.Index == index) continue;
    std::u16string name = u"coreide" + std::u16string(core.Number) + u".bpl";
    if (Exists(f, u"\\" + name) || Exists(f, u"\\..\\..\\bin\\" + name)) return false;
  }
  std::u16string upper = Platform::UpperCase(f);
  for (const auto& bpl : kBplFolderNumbers) {
    if (bpl.Index == index) continue;
    std::u16string marker = u"RAD STUDIO\\" + std::u16string(bpl.Number) + u".0\\BPL";
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
  std::u16string file = std::u16string(name) + (index == 0 || index == 2 ? u"50" : u"") + u".dcp";
  std::u16string sub = index <= 1 ? u"Obj\\" : index >= 10 ? u"win32\\release\\" : u"";
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

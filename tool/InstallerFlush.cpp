// Uninstall and the removal sequence that Install runs first: everything the library put
// into an IDE's registry settings and folders, also by an older installation.
#include <string>
#include <vector>

#include "common/QO_StringList.h"
#include "common/QO_Utils.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "tool/IdeFiles.h"
#include "tool/InstallTypes.h"
#include "tool/InstallUtils.h"
#include "tool/Installer.h"
#include "tool/Output.h"
#include "tool/RegOp.h"

namespace {

const TDelphiInfo& Info(int index) {
  return DelphiVersions[size_t(index)];
}

void Dashes(size_t count) {
  WriteLine(std::u16string(count, u'-'));
}

bool StartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// Where a "name=data" line of ReadRegValues splits: the last "=" outside double quotes, as
// the data is quoted text or a number, so a package path with "=" in it stays whole.
size_t NameEnd(std::u16string_view line) {
  size_t end = std::u16string_view::npos;
  for (size_t at = PosOutsideQuotes(u'=', line, 1, false, true); at != 0;
       at = PosOutsideQuotes(u'=', line, at + 1, false, true))
    end = at - 1;
  return end;
}

// The package's base name: the value name's file name without quotes and extension.
std::u16string BaseName(std::u16string_view line) {
  std::u16string_view name = line.substr(0, NameEnd(line));
  size_t slash = name.find_last_of(u"\\/:");
  if (slash != std::u16string_view::npos) name.remove_prefix(slash + 1);
  std::u16string base = StripQuotes(name, kQuoteDouble, true);
  size_t dot = base.rfind(u'.');
  if (dot != std::u16string::npos) base.erase(dot);
  return base;
}

bool NamesLibraryPackage(std::u16string_view base, int index) {
  const std::u16string& code = Info(index).VerName;
  for (auto package : DesignPackageCodes)
    if (EqualsIgnoreCase(base, u"qor5" + std::u16string(package) + u"_" + code)) return true;
  for (auto package : OldDesignPackageCodes)
    if (EqualsIgnoreCase(base, u"QOR40" + std::u16string(package) + u"_" + code)) return true;
  return false;
}

void FlushPackageList(int index, std::u16string_view listName) {
  Dashes(42);
  WriteLine(u"Flush " + std::u16string(listName) + u" " + Info(index).VerName);
  Dashes(42);
  std::u16string key = Info(index).RootKey + u"\\" + std::u16string(listName);
  TQO_StringList lines;
  ReadRegValues(key, lines);
  for (int i = lines.Count() - 1; i >= 0; --i) {
    std::u16string base = BaseName(lines[i]);
    WriteLine(base);
    if (!NamesLibraryPackage(base, index)) continue;
    lines.Delete(i);
    Platform::WriteStdOut(u"  ---  Removed  ---  ");  // The next line printed follows it.
  }
  WriteRegValues(key, lines);
  Dashes(42);
}

void FlushPackageCache(int index) {
  const TDelphiInfo& info = Info(index);
  WriteLine(u"FlushPackageCache " + info.VerName);
  // Without the cache key there is nothing below it to delete: one lookup, not one for
  // each package name.
  if (!RegKeyExists(info.RootKey + u"\\Package Cache")) return;
  std::u16string cache = info.RootKey + u"\\Package Cache\\";
  auto drop = [&](std::u16string_view prefix, std::u16string_view code) {
    DeleteRegKey(cache + std::u16string(prefix) + std::u16string(code) + u"_" + info.VerName +
                 u".dcp");
  };
  for (auto code : RuntimePackageCodes)
    drop(u"qor5", code);
  for (auto code : DesignPackageCodes)
    drop(u"qor5", code);
  for (auto code : OldRuntimePackageCodes)
    drop(u"QOR4", code);
  for (auto code : OldDesignPackageCodes)
    drop(u"QOR4", code);
}

void FlushRegistryEntry(int index) {
  WriteLine(u"FlushRegistryEntry " + Info(index).VerName);
  DeleteRegValue(u"HKCU\\Software\\Tolvane\\QOR\\InstallPaths", Info(index).VerName);
}

void FlushEnvVarEntry(int index) {
  WriteLine(u"FlushEnvVarEntry " + Info(index).VerName);
  DeleteRegValue(EnvVarKey(index), EnvVarName(index));
}

void FlushEnvPathEntry(int index) {
  WriteLine(u"FlushEnvPathEntry " + Info(index).VerName);
  RemoveLibraryEntries(EnvVarKey(index), u"Path", index, false);
}

void FlushEnvVarEntry64(int index) {
  WriteLine(u"FlushEnvVarEntry x64 " + Info(index).VerName);
  DeleteRegValue(EnvVarKey64(index), EnvVarName(index));
}

void FlushEnvPathEntry64(int index) {
  WriteLine(u"FlushEnvPathEntry x64 " + Info(index).VerName);
  RemoveLibraryEntries(EnvVarKey64(index), u"Path", index, false);
}

// Whether the rest of an item after a library root names one of the library's folders.
bool IsLibraryFolder(int index, std::u16string_view rest) {
  if (StartsWithIgnoreCase(rest, u"\\lib\\")) {
    std::u16string_view after = rest.substr(5);
    if (StartsWithIgnoreCase(after, Info(index).VerName + u"\\")) return true;
    if (StartsWithIgnoreCase(after, u"Win32\\") || StartsWithIgnoreCase(after, u"Win64\\")) {
      std::u16string_view config = after.substr(6);
      return StartsWithIgnoreCase(config, u"Release") || StartsWithIgnoreCase(config, u"Debug") ||
             StartsWithIgnoreCase(config, u"Eval");
    }
    return false;
  }
  if (!StartsWithIgnoreCase(rest, u"\\source\\")) return false;
  std::u16string_view name = rest.substr(8);
  for (auto folder : SourceFolderNames)
    if (EqualsIgnoreCase(name, folder)) return true;
  return false;
}

// The text of a removal: the items' spans with one adjacent separator each taken out.
std::u16string WithoutItems(std::u16string_view text, const std::vector<TTokenSpan>& spans,
                            const std::vector<bool>& removed) {
  std::vector<bool> drop(text.size(), false);
  auto mark = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
      drop[i] = true;
  };
  int lastKept = -1;
  for (size_t k = 0; k < spans.size(); ++k) {
    if (!removed[k]) {
      lastKept = int(k);
      continue;
    }
    mark(spans[k].Begin, spans[k].Next);
    // A last item has no separator after it: the one before it goes, if an item is left.
    if (spans[k].End == spans[k].Next && k + 1 == spans.size() && lastKept >= 0)
      mark(spans[size_t(lastKept)].End, spans[size_t(lastKept)].Next);
  }
  std::u16string result;
  for (size_t i = 0; i < text.size(); ++i)
    if (!drop[i]) result.push_back(text[i]);
  return result;
}

// The items of an IDE path list or a Path value, with their places in the text. Windows
// folder names may hold ",", "'", brackets and braces, so only ";" separates; double quotes,
// which no folder name holds, still group.
std::vector<TTokenSpan> PathListSpans(std::u16string_view text) {
  std::vector<TTokenSpan> spans;
  if (text.empty()) return spans;
  size_t begin = 0;
  bool inDouble = false;
  for (size_t i = 0;; ++i) {
    if (i < text.size() && text[i] == u'"') inDouble = !inDouble;
    if (i < text.size() && (text[i] != u';' || inDouble)) continue;
    TTokenSpan span;
    span.Begin = begin;
    span.End = i;
    span.Next = i < text.size() ? i + 1 : i;
    span.Item = TrimView(text.substr(begin, i - begin));
    spans.push_back(span);
    if (i >= text.size()) break;
    begin = i + 1;
    if (begin == text.size()) break;  // A final ";" ends the list without an empty item.
  }
  return spans;
}

// Earlier releases wrote the C++Builder paths of 10 and 10.1 into the Delphi key, where the
// IDE never reads them. The value names are C++Builder's own, so Delphi's values stay.
void FlushFormerBuilderPaths(int index, std::u16string_view platform) {
  std::u16string key = LibraryKey(index, u'd', platform);
  RemoveLibraryEntries(key, SearchPathName(index, u'c'), index, true);
  RemoveLibraryEntries(key, IncludePathName(index, u'c'), index, false);
  RemoveLibraryEntries(key, BrowsingPathName(index, u'c'), index, true);
}

}  // namespace

void RunUninstall(int index) {
  const TDelphiInfo& info = Info(index);
  WriteLine(u"We are here to uninstall " + info.VerName);
  if (EqualsIgnoreCase(info.QORInstalledDir, QORDir) ||
      EqualsIgnoreCase(info.QORInstalledDir, QORDirShort)) {
    FlushVersion(index);
    RequestEnvOptionsUpdate(index);
    return;
  }
  WriteLine(u"This folder has not been installed.");
  WriteLine(u"  QORDir=" + QORDir);
  WriteLine(u"  QORDirShort=" + QORDirShort);
  WriteLine(u"  QORInstallDir=" + info.QORInstalledDir);
}

void FlushVersion(int index) {
  bool ide64 = Info(index).HasIde64;
  FlushPackageList(index, u"Known Packages");
  FlushPackageList(index, u"Disabled Packages");
  if (ide64) {
    FlushPackageList(index, u"Known Packages x64");
    FlushPackageList(index, u"Disabled Packages x64");
  }
  FlushPackageCache(index);
  FlushRegistryEntry(index);
  FlushEnvVarEntry(index);
  if (ide64) FlushEnvVarEntry64(index);
  FlushEnvPathEntry(index);
  if (ide64) FlushEnvPathEntry64(index);
  TStringList platforms;
  TSplitSettings settings;
  settings.SpaceSeparates = true;
  settings.TrimItems = true;
  settings.SingleQuotesGroup = true;
  SplitText(Info(index).DelphiPlatforms, platforms, settings);
  for (const auto& platform : platforms.Items())
    FlushPlatform(index, u'd', platform);
  SplitText(Info(index).CPPBPlatforms, platforms, settings);
  for (const auto& platform : platforms.Items())
    FlushPlatform(index, u'c', platform);
}

void FlushPlatform(int index, char16_t personality, std::u16string_view platform) {
  const TDelphiInfo& info = Info(index);
  std::u16string p(1, personality);
  WriteLine(u"Flush Version     " + info.VerName);
  WriteLine(u"Flush Personality " + p);
  WriteLine(u"Flush Platform    " + std::u16string(platform));
  std::u16string key = LibraryKey(index, personality, platform);
  WriteLine(u"Flush LibraryEntry");
  RemoveLibraryEntries(key, SearchPathName(index, personality), index, true);
  WriteLine(u"Flush PkgSearchPathEntry");
  RemoveLibraryEntries(key, PackageSearchPathName(), index, false);
  WriteLine(u"Flush IncludeEntry");
  RemoveLibraryEntries(key, IncludePathName(index, personality), index, false);
  WriteLine(u"Flush BrowsingPath");
  RemoveLibraryEntries(key, BrowsingPathName(index, personality), index, true);
  std::u16string debug = DebugDCUPathName(index, personality);
  if (!debug.empty()) {
    WriteLine(u"Flush Debug DCU Path");
    RemoveLibraryEntries(key, debug, index, true);
  } else if (CopiesUnitFiles(index)) {
    WriteLine(u"FlushDCUFiles " + info.VerName);
    WriteLine(u"   Personality " + p);
    WriteLine(u"   Platform " + std::u16string(platform));
    TransferDCUFiles(index, true);
  }
  if (personality == u'c' && HadBuilderPathsInDelphiKey(index))
    FlushFormerBuilderPaths(index, platform);
  if (IsBuilderOnly(index)) {
    WriteLine(u"FlushHPPFiles " + info.VerName);
    WriteLine(u"   Personality " + p);
    WriteLine(u"   Platform " + std::u16string(platform));
    TransferHPPFiles(index, true);
  }
}

void RemoveLibraryEntries(std::u16string_view keyPath, std::u16string_view valueName, int index,
                          bool unitsTest) {
  if (valueName.empty()) return;
  std::u16string data, typeName;
  if (!ReadRegValue(keyPath, valueName, data, typeName)) return;
  std::u16string text = StripQuotes(data, kQuoteDouble, true);
  std::vector<TTokenSpan> spans = PathListSpans(text);
  std::vector<bool> removed(spans.size(), false);
  bool any = false;
  for (size_t k = spans.size(); k-- > 0;) {
    std::u16string item = StripQuotes(spans[k].Item, kQuoteDouble, true);
    removed[k] = IsLibraryEntry(index, item) || (unitsTest && HasLibraryUnits(item));
    any = any || removed[k];
  }
  if (!any) return;
  // Only the library's items leave; every other character of the value stays as it was,
  // also a pair of double quotes that encloses the whole stored list.
  std::u16string kept = WithoutItems(text, spans, removed), stored;
  if (ReadRegString(keyPath, valueName, stored) && stored == u"\"" + text + u"\"")
    kept = u"\"" + kept + u"\"";
  WriteRegValue(keyPath, valueName, kept, u"");
}

bool IsLibraryEntry(int index, std::u16string_view item) {
  if (item.substr(0, 10) == u"$(DELPHI)\\") item.remove_prefix(10);
  const TDelphiInfo& info = Info(index);
  const std::u16string roots[] = {QORDir, QORDirShort, u"$(" + EnvVarName(index) + u")",
                                  info.QORInstalledDir, ShortPathName(info.QORInstalledDir)};
  for (const auto& root : roots) {
    // An unknown root (no recorded folder) is no prefix: it would match every item.
    if (root.empty() || !StartsWithIgnoreCase(item, root)) continue;
    if (IsLibraryFolder(index, item.substr(root.size()))) return true;
  }
  return false;
}

bool HasLibraryUnits(std::u16string_view folder) {
  std::u16string base(folder);
  if (base.empty() || base.back() != u'\\') base.push_back(u'\\');
  return Platform::FileExists(base + u"QO_Components.pas") ||
         Platform::FileExists(base + u"QO_Components.dcu");
}

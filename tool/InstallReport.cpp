#include "tool/InstallReport.h"

#include <string>

#include "common/QO_StringList.h"
#include "common/QO_Utils.h"
#include "tool/InstallTypes.h"
#include "tool/InstallUtils.h"
#include "tool/Output.h"
#include "tool/RegOp.h"

namespace {

void Dashes(size_t count) {
  WriteLine(std::u16string(count, u'-'));
}

// "- - - -": `count` hyphens separated by single blanks.
void SpacedDashes(size_t count) {
  std::u16string line;
  for (size_t i = 0; i < count; ++i)
    line += i ? u" -" : u"-";
  WriteLine(line);
}

std::u16string Flag(bool value) {
  return value ? u"-1" : u"0";
}

void SplitItems(std::u16string_view text, bool spaceSeparates, TStringList& items) {
  TSplitSettings settings;
  settings.SpaceSeparates = spaceSeparates;
  settings.TrimItems = true;
  settings.SingleQuotesGroup = true;
  SplitText(text, items, settings);
}

void ReportBasicInfo(int index) {
  const TDelphiInfo& info = DelphiVersions[size_t(index)];
  Dashes(31);
  WriteLine(u"BasicInfo (Begin)");
  Dashes(31);
  WriteLine(u"VerName=" + info.VerName);
  WriteLine(u"ProductName=Qorvium" + VersionDisplayName(info.VerName));
  WriteLine(u"VerVersion=" + info.VerVersion);
  WriteLine(u"IsInstalled=" + Flag(info.IsInstalled));
  WriteLine(u"AllUsers=" + Flag(info.AllUsers));
  WriteLine(u"CurUser=" + Flag(info.CurUser));
  WriteLine(u"DelphiPlatforms=" + info.DelphiPlatforms);
  WriteLine(u"CPPBPlatforms=" + info.CPPBPlatforms);
  WriteLine(u"RootKey=" + info.RootKey);
  WriteLine(u"RootDir=" + info.RootDir);
  WriteLine(u"QORInstalledDir=" + info.QORInstalledDir);
  WriteLine(u"QOREnvVarRegItem=" + EnvVarName(index));
  WriteLine(u"QOREnvVarRegValue=" + ReadEnvVarValue(index));
  Dashes(31);
  WriteLine(u"BasicInfo (End)");
  Dashes(31);
}

// The known and disabled package lists; `suffix` " x64" names those of the 64-bit IDE.
void ReportPackages(const TDelphiInfo& info, std::u16string_view suffix) {
  std::u16string known = u"Known Packages" + std::u16string(suffix);
  std::u16string disabled = u"Disabled Packages" + std::u16string(suffix);
  Dashes(15);
  WriteLine(known + u":");
  SpacedDashes(8);
  ListRegistryValues(info.RootKey + u"\\" + known, TListStyle::Name);
  Dashes(15);
  Dashes(15);
  WriteLine(disabled + u":");
  SpacedDashes(8);
  ListRegistryValues(info.RootKey + u"\\" + disabled, TListStyle::Name);
  Dashes(15);
}

void ReportEnvironment(int index) {
  Dashes(17);
  WriteLine(u"Environment Vars:");
  SpacedDashes(9);
  bool userEnvironment = UsesUserEnvironment(index);
  ListRegistryValues(userEnvironment
                         ? u"HKCU\\Environment"
                         : DelphiVersions[size_t(index)].RootKey + u"\\Environment Variables",
                     TListStyle::Block);
  Dashes(17);
}

// One section per platform of a personality: the Delphi sections use the spaced dash line
// under their title, the C++Builder ones a plain one.
void ReportPersonality(int index, std::u16string_view platforms, std::u16string_view title,
                       char16_t personality) {
  TStringList list;
  SplitItems(platforms, true, list);
  for (const auto& platform : list.Items()) {
    Dashes(25);
    WriteLine(std::u16string(title) + platform);
    if (personality == u' ') {
      SpacedDashes(13);
    } else {
      Dashes(25);
    }
    std::u16string key = LibraryKey(index, personality, platform);
    WriteLine(u"LibraryKey=" + key);
    ListRegistryValues(key, TListStyle::Block);
  }
}

void ReportPlatforms(int index) {
  const TDelphiInfo& info = DelphiVersions[size_t(index)];
  ReportPersonality(index, info.DelphiPlatforms, u"Delphi Platform: ", u' ');
  ReportPersonality(index, info.CPPBPlatforms, u"CPPB Platform: ", u'c');
}

}  // namespace

void ReportVersion(int index) {
  ReportBasicInfo(index);
  const TDelphiInfo& info = DelphiVersions[size_t(index)];
  ReportPackages(info, u"");
  if (info.HasIde64) ReportPackages(info, u" x64");
  ReportEnvironment(index);
  ReportPlatforms(index);
}

void ListRegistryValues(std::u16string_view keyPath, TListStyle style) {
  TStringList items;
  ForEachRegValue(keyPath, [&](const std::u16string& name, const std::u16string& data) {
    if (style == TListStyle::Name) {
      WriteLine(name + u"=" + data);
      return;
    }
    Dashes(15);
    WriteLine(name + u":");
    SpacedDashes(8);
    SplitItems(StripQuotes(data, kQuoteDouble, true), false, items);
    for (const auto& item : items.Items())
      WriteLine(item);
    Dashes(15);
  });
}

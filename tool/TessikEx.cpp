#include "tool/TessikEx.h"

#include <array>

#include "common/QO_Utils.h"
#include "platform/Console.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "tool/IdeGuard.h"
#include "tool/InstallReport.h"
#include "tool/InstallTypes.h"
#include "tool/InstallUtils.h"
#include "tool/Installer.h"
#include "tool/MakeList.h"
#include "tool/PackageInfo.h"
#include "tool/PurgeExcluded.h"
#include "tool/RegOperation.h"
#include "tool/Staging.h"

namespace {

// One row of the operations table: the word, and the driver and code it dispatches to.
struct TOperation {
  std::u16string_view Word;
  TOperationCode Code;
  void (*Driver)(TOperationCode, TStringList&, TSwitchInfo);
};

void RunPackageInfo(TOperationCode, TStringList&, TSwitchInfo) {
  PackageInfo();
}

// First match wins, in this order.
constexpr std::array<TOperation, 12> kOperations = {{
    {u"MakeList", TOperationCode::MakeList, RunListOperation},
    {u"RegQuery", TOperationCode::RegQuery, RunListOperation},
    {u"RegInfo", TOperationCode::RegQuery, RunListOperation},
    {u"RegKey", TOperationCode::RegQuery, RunListOperation},
    {u"RegAdd", TOperationCode::RegAdd, RunListOperation},
    {u"RegDelete", TOperationCode::RegDelete, RunListOperation},
    {u"SettingsChanged", TOperationCode::SettingsChanged, RunListOperation},
    {u"PurgeExcluded", TOperationCode::PurgeExcluded, RunListOperation},
    {u"Report", TOperationCode::Report, RunIdeOperation},
    {u"Install", TOperationCode::Install, RunIdeOperation},
    {u"Uninstall", TOperationCode::Uninstall, RunIdeOperation},
    {u"PackageInfo", TOperationCode::None, RunPackageInfo},
}};

void RunOperationLine(std::u16string_view commandLine) {
  TStringList params;
  TSwitchInfo switches;
  SplitCommandLine(commandLine, params);
  if (params.Count() <= 1) {
    ShowUsage();
    return;
  }
  params.Delete(0);  // The program path.
  std::u16string operation = StripQuotes(GetParam(0, params, switches.Delimiter), kQuoteAny, true);
  LiftSwitches(params, switches);
  for (const auto& row : kOperations) {
    if (EqualsIgnoreCase(operation, row.Word)) {
      row.Driver(row.Code, params, std::move(switches));
      return;
    }
  }
  throw Exception(u"Unrecognized operation: " + operation);
}

// "/dryrun" holds back the changes of each operation that makes some (and the broadcast);
// "/undo" covers the registry's, so PurgeExcluded and SettingsChanged have no use for it.
void StageChanges(TOperationCode code, const TSwitchInfo& options) {
  std::optional<std::u16string> undoFile;
  if (code != TOperationCode::PurgeExcluded && code != TOperationCode::SettingsChanged)
    undoFile = options.UndoFile;
  if (options.DryRun || undoFile) Staging::Begin(options.DryRun, undoFile);
}

}  // namespace

void RunListOperation(TOperationCode code, TStringList& params, TSwitchInfo options) {
  if (!options.FormatMode.empty() && code != TOperationCode::MakeList &&
      !(code == TOperationCode::RegQuery && EqualsIgnoreCase(options.FormatMode, u"List")))
    throw Exception(u"FormatMode: " + options.FormatMode + u" unsupported");
  if (code == TOperationCode::RegAdd || code == TOperationCode::RegDelete ||
      code == TOperationCode::PurgeExcluded || code == TOperationCode::SettingsChanged)
    StageChanges(code, options);
  switch (code) {
    case TOperationCode::MakeList:
      MakeList(params, options);
      break;
    case TOperationCode::RegAdd:
    case TOperationCode::RegDelete:
    case TOperationCode::RegQuery:
      RegOperation(code, params, std::move(options));
      break;
    case TOperationCode::PurgeExcluded:
      RunPurgeExcluded(params);
      break;
    case TOperationCode::SettingsChanged:
      BroadcastSettingsChanged();
      break;
    default:
      break;
  }
}

namespace {

void RunVersionOperation(TOperationCode code, int index) {
  switch (code) {
    case TOperationCode::Report:
      ReportVersion(index);
      break;
    case TOperationCode::Install:
      RunInstall(index);
      break;
    case TOperationCode::Uninstall:
      RunUninstall(index);
      break;
    default:
      break;
  }
}

}  // namespace

void RunIdeOperation(TOperationCode code, TStringList& params, TSwitchInfo options) {
  Platform::TFileLookupCache lookups;
  bool changes = code == TOperationCode::Install || code == TOperationCode::Uninstall;
  if (changes) StageChanges(code, options);
  InitInstallEnvironment(params);
  if (changes && !options.IgnoreIde) RefuseWhileIdeRuns();
  if (RequestedVersion == u"All") {
    for (int index = 0; index < kVersionCount; ++index)
      if (AlwaysVisitedByAll(index) || DelphiVersions[size_t(index)].IsInstalled)
        RunVersionOperation(code, index);
  } else {
    RunVersionOperation(code, VersionIndex(RequestedVersion));
  }
}

namespace {

// Runs one step and reports its failure as "Kind: message" on standard error.
template <typename TStep>
bool Reported(TStep step) {
  try {
    step();
    return true;
  } catch (const Exception& e) {
    Platform::WriteStdErr(std::u16string(e.KindName()) + u": " + e.Message() + u"\r\n");
  } catch (const std::bad_alloc&) {
    Platform::WriteStdErr(u"EOutOfMemory: Out of memory\r\n");
  }
  return false;
}

}  // namespace

int RunTessik(std::u16string_view commandLine) {
  bool ran = Reported([&] { RunOperationLine(commandLine); });
  // What the run wrote before a failure stays written, so the registry is committed anyway.
  bool staged = Reported([] { Staging::Finish(); });
  bool committed = Reported([] { Platform::CommitRegistry(); });
  Platform::FlushOutput();
  return ran && staged && committed ? 0 : 1;
}

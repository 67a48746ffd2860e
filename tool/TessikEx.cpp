#include "tool/TessikEx.h"

#include <array>

#include "common/QO_Errors.h"
#include "common/QO_Utils.h"
#include "platform/Console.h"
#include "tool/MakeList.h"
#include "tool/PackageInfo.h"

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

[[noreturn]] void NotAvailable(std::u16string_view operation) {
  throw Exception(std::u16string(operation) + u" is not available yet");
}

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

}  // namespace

void RunListOperation(TOperationCode code, TStringList& params, TSwitchInfo options) {
  if (!options.FormatMode.empty() && code != TOperationCode::MakeList &&
      !(code == TOperationCode::RegQuery && EqualsIgnoreCase(options.FormatMode, u"List")))
    throw Exception(u"FormatMode: " + options.FormatMode + u" unsupported");
  switch (code) {
    case TOperationCode::MakeList:
      MakeList(params, options);
      break;
    case TOperationCode::RegAdd:
      NotAvailable(u"RegAdd");
    case TOperationCode::RegDelete:
      NotAvailable(u"RegDelete");
    case TOperationCode::RegQuery:
      NotAvailable(u"RegQuery");
    case TOperationCode::PurgeExcluded:
      NotAvailable(u"PurgeExcluded");
    case TOperationCode::SettingsChanged:
      NotAvailable(u"SettingsChanged");
    default:
      break;
  }
}

void RunIdeOperation(TOperationCode code, TStringList&, TSwitchInfo) {
  NotAvailable(code == TOperationCode::Report    ? u"Report"
               : code == TOperationCode::Install ? u"Install"
                                                 : u"Uninstall");
}

int RunTessik(std::u16string_view commandLine) {
  int exitCode = 0;
  try {
    RunOperationLine(commandLine);
  } catch (const Exception& e) {
    Platform::WriteStdErr(std::u16string(e.KindName()) + u": " + e.Message() + u"\r\n");
    exitCode = 1;
  } catch (const std::bad_alloc&) {
    Platform::WriteStdErr(u"EOutOfMemory: Out of memory\r\n");
    exitCode = 1;
  }
  Platform::FlushOutput();
  return exitCode;
}

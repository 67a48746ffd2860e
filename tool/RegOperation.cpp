#include "tool/RegOperation.h"

#include "common/QO_Utils.h"
#include "platform/Errors.h"
#include "platform/Registry.h"
#include "tool/MakeList.h"
#include "tool/Output.h"
#include "tool/RegOp.h"
#include "tool/Staging.h"

namespace {

void QueryKey(std::u16string_view keyPath, std::u16string_view name, const TSwitchInfo& options) {
  if (!name.empty()) {
    PrintRegValue(keyPath, name, 0, options);
    return;
  }
  TStringList names;
  GetRegValueNames(keyPath, names);
  for (const auto& each : names.Items())
    PrintRegValue(keyPath, each, 1, options);
}

void AddValue(std::u16string_view keyPath, std::u16string_view name, const TSwitchInfo& options) {
  // A write that cannot happen must not pass for one: the batch file tests the exit code.
  if (!WriteRegValue(keyPath, name, options.ValueData, options.ValueType))
    throw ERegistryException(u"Failed to create key " + std::u16string(keyPath));
}

void DeleteKey(std::u16string_view keyPath) {
  // A key right below a root is what "HKCU\Software\%VENDOR%" names when the variable is
  // empty: refused before the registry is touched, on both builds alike.
  size_t depth = RegKeyDepth(keyPath);
  if (depth == 0) throw Exception(u"Cannot delete a root key: " + std::u16string(keyPath));
  if (depth == 1)
    throw Exception(u"Refusing to delete a top-level key: " + std::u16string(keyPath));
  if (DeleteRegKeyTree(keyPath) == Platform::TRegResult::AccessDenied)
    throw ERegistryException(u"Failed to delete key " + std::u16string(keyPath));
}

void DeleteValue(std::u16string_view keyPath, std::u16string_view name) {
  std::u16string relative(keyPath);
  Platform::TRegRoot root = ParseRootKey(relative);
  auto key = Staging::CreateRegKey(root, relative);
  if (!key) throw ERegistryException(u"Failed to create key " + std::u16string(keyPath));
  if (key->DeleteValue(name) == Platform::TRegResult::AccessDenied)
    throw ERegistryException(u"Failed to delete value '" + std::u16string(name) + u"'");
}

}  // namespace

void RegOperation(TOperationCode code, TStringList& params, TSwitchInfo options) {
  if (params.Count() == 0) throw Exception(u"Path param missing.");
  std::u16string keyPath = params[0];
  params.Delete(0);
  if (keyPath.empty()) throw Exception(u"RegKey was blank.");
  std::u16string name = options.ValueName;
  if (name.empty() && params.Count() > 0) {
    name = params[0];
    params.Delete(0);
  }
  if (name == u"*") {
    options.AllValues = true;
    name.clear();
  }
  std::u16string subkeyPath = name.empty() ? keyPath : keyPath + u"\\" + name;
  switch (code) {
    case TOperationCode::RegQuery:
      QueryKey(keyPath, name, options);
      break;
    case TOperationCode::RegAdd:
      AddValue(keyPath, name, options);
      break;
    case TOperationCode::RegDelete:
      if (!name.empty() && !options.AllValues) {
        DeleteValue(keyPath, name);
      } else if (!name.empty()) {
        DeleteKey(subkeyPath);
      } else if (options.DefaultValue) {
        DeleteValue(keyPath, u"");  // "/ve": the key's unnamed value, not the whole key.
      } else {
        DeleteKey(keyPath);
      }
      break;
    default:
      throw Exception(u"Unsupported operation");
  }
}

void PrintRegValue(std::u16string_view keyPath, std::u16string_view name, int headerFlag,
                   const TSwitchInfo& options) {
  std::u16string data, typeName;
  if (!ReadRegValue(keyPath, name, data, typeName) || typeName == u"REG_NONE") return;
  std::u16string quotedName = QuoteText(name, kQuoteDouble);
  if (EqualsIgnoreCase(options.FormatMode, u"List")) {
    ProcessList(quotedName, typeName, StripQuotes(data, kQuoteDouble, true), headerFlag, options);
    return;
  }
  WriteLine(quotedName + u"\t" + typeName + u"\t" + data);
}

void BroadcastSettingsChanged() {
  Staging::BroadcastSettingsChanged();
}

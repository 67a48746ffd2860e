// The program's registry operations: key path notation, value types, the value text form,
// and the small operations every registry step is built from. Each call opens what it
// needs and closes it again; nothing is cached.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/QO_StringList.h"
#include "platform/Registry.h"

/// Removes the root prefix ("HKCU\", "HKLM", "HKEY_LOCAL_MACHINE\"...) from `keyPath` and
/// returns the root; a path without one lies below HKEY_CURRENT_USER.
Platform::TRegRoot ParseRootKey(std::u16string& keyPath);

/// The shown name of a type code: "REG_SZ"..., or "Unknown: " and the code.
std::u16string RegTypeName(uint32_t type);

/// The type code of a value of an open key and its shown name; 0 and "" when it is missing.
uint32_t GetRegValueTypeName(const Platform::TRegKey& key, std::u16string_view name,
                             std::u16string& typeName);

/// Replaces `names` by the key's value names in enumeration order; false (list unchanged)
/// when the key cannot be opened for reading.
bool GetRegValueNames(std::u16string_view keyPath, TStringList& names);

/// Reads a value in its text form (strings quoted, DWORD in decimal) with its type name.
/// False when it is missing or REG_NONE; ERegistryException for types without a text form.
bool ReadRegValue(std::u16string_view keyPath, std::u16string_view name, std::u16string& data,
                  std::u16string& typeName);

/// Opens the key once and calls visit(name, data) for each value in enumeration order, with
/// the text form ReadRegValue gives (empty where it gives none); false when the key cannot
/// be opened for reading.
bool ForEachRegValue(
    std::u16string_view keyPath,
    const std::function<void(const std::u16string&, const std::u16string&)>& visit);

/// Whether the key can be opened for reading.
bool RegKeyExists(std::u16string_view keyPath);

/// The stored text of a string value (REG_SZ or REG_EXPAND_SZ, cut at the first NUL),
/// without the quoting of the text form; false for a missing value or another type.
bool ReadRegString(std::u16string_view keyPath, std::u16string_view name, std::u16string& text);

/// Fills `lines` with "name=data" for every value of the key; false when it cannot be opened.
bool ReadRegValues(std::u16string_view keyPath, TStringList& lines);

/// Writes one value; an empty type name keeps the value's present type (or REG_SZ). False
/// when the key cannot be opened or created for writing.
bool WriteRegValue(std::u16string_view keyPath, std::u16string_view name, std::u16string_view data,
                   std::u16string_view typeName);

/// Makes the key's values match `lines` (the ReadRegValues form after a change): values whose
/// line is unchanged stay exactly as they are, changed or added lines are written as
/// REG_SZ, values no longer listed are deleted; subkeys stay. Always true.
bool WriteRegValues(std::u16string_view keyPath, const TStringList& lines);

/// The number of key names below the root in a key path ("HKCU" 0, "Software\X\" 2);
/// empty names do not count and a NUL ends the path, as in the registry's own lookups.
size_t RegKeyDepth(std::u16string_view keyPath);

/// Deletes the key with all its subkeys and values; false when it does not exist, could not
/// be deleted, or lies fewer than two levels below its root (a root, "HKCU\Software").
bool DeleteRegKey(std::u16string_view keyPath);

/// The same, telling a missing key from a refused delete (AccessDenied).
Platform::TRegResult DeleteRegKeyTree(std::u16string_view keyPath);

/// Deletes one value (creating the key when missing); false when the key cannot be opened
/// for writing. A missing value is not an error.
bool DeleteRegValue(std::u16string_view keyPath, std::u16string_view name);

/// Appends entries to a ";"-separated path-list value, keeping its type (REG_SZ when new).
void AppendRegPathEntries(std::u16string_view keyPath, std::u16string_view name,
                          const TStringList& entries);

/// Splits `entries` at ";" and appends them with AppendRegPathEntries.
void AppendRegPathList(std::u16string_view keyPath, std::u16string_view name,
                       std::u16string_view entries);

// The layer between the operations and the platform's registry and files. Normally it
// passes every call straight on. Staged ("/dryrun", "/undo"), it holds the run's changes
// back, answers reads from them, and records what each change replaced; at the end of the
// run it prints them ("/dryrun"), writes the file that reverts them ("/undo"), and makes
// them for real (unless a dry run).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace Staging {

/// Starts holding the run's changes back. With an undo file, writes it at once (still
/// empty), so that a file that cannot be written fails the run before any change.
void Begin(bool dryRun, const std::optional<std::u16string>& undoFile);

/// Ends the run: a dry run prints one "Would ..." line per change; the undo file gets the
/// changes; a real run then makes them (also after a failure, as far as the run got). Does
/// nothing when Begin was not called. Fails with the platform's errors.
void Finish();

// The platform calls as the run sees them: the same contracts as in platform/.
std::unique_ptr<Platform::TRegKey> OpenRegKey(Platform::TRegRoot root, std::u16string_view path);
std::unique_ptr<Platform::TRegKey> CreateRegKey(Platform::TRegRoot root, std::u16string_view path);
Platform::TRegResult DeleteRegTree(Platform::TRegRoot root, std::u16string_view path);
void BroadcastSettingsChanged();

bool FileExists(std::u16string_view path);
bool CopyFileReplacing(std::u16string_view source, std::u16string_view destination);
bool RemoveFile(std::u16string_view path);
std::string ReadFileBytes(std::u16string_view path);
void WriteFileAtomically(std::u16string_view path, std::string_view bytes);

}  // namespace Staging

// The file overlay of a staged run: copies, deletes and rewrites held back, and reads that
// see them.
#include "platform/Collation.h"
#include "platform/Files.h"
#include "tool/Staging.h"
#include "tool/StagingState.h"

namespace Staging {
namespace {

TFileChange* Pending(std::u16string_view path) {
  auto found = Active()->Files.find(Platform::UpperCase(Platform::FullPathName(path)));
  return found == Active()->Files.end() ? nullptr : &found->second;
}

// The change record of a file, made on its first change (with the contents it held, for a
// rewrite).
TFileChange& Note(std::u16string_view path, bool keepOriginal) {
  std::u16string id = Platform::UpperCase(Platform::FullPathName(path));
  auto found = Active()->Files.find(id);
  if (found != Active()->Files.end()) return found->second;
  TFileChange change{std::u16string(path),
                     FileExists(path),
                     Active()->NextOrder++,
                     TFileAction::Write,
                     u"",
                     "",
                     ""};
  if (change.Existed && keepOriginal) change.Original = ReadFileBytes(path);
  return Active()->Files.emplace(id, std::move(change)).first->second;
}

std::u16string FolderOf(std::u16string_view path) {
  size_t slash = path.find_last_of(u"\\/");
  return std::u16string(slash == std::u16string_view::npos ? u"." : path.substr(0, slash));
}

}  // namespace

bool FileExists(std::u16string_view path) {
  if (!Active()) return Platform::FileExists(path);
  if (TFileChange* change = Pending(path)) return change->Action != TFileAction::Remove;
  return Platform::FileExists(path);
}

bool CopyFileReplacing(std::u16string_view source, std::u16string_view destination) {
  if (!Active()) return Platform::CopyFileReplacing(source, destination);
  if (!FileExists(source) || !Platform::DirectoryExists(FolderOf(destination))) return false;
  TFileChange& change = Note(destination, false);
  change.Action = TFileAction::Copy;
  change.Source = std::u16string(source);
  Active()->Replay.push_back(
      [s = change.Source, d = std::u16string(destination)] { Platform::CopyFileReplacing(s, d); });
  return true;
}

bool RemoveFile(std::u16string_view path) {
  if (!Active()) return Platform::RemoveFile(path);
  if (!FileExists(path)) return false;
  Note(path, false).Action = TFileAction::Remove;
  Active()->Replay.push_back([p = std::u16string(path)] { Platform::RemoveFile(p); });
  return true;
}

std::string ReadFileBytes(std::u16string_view path) {
  if (Active())
    if (TFileChange* change = Pending(path)) {
      if (change->Action == TFileAction::Write) return change->Bytes;
      if (change->Action == TFileAction::Copy) return ReadFileBytes(change->Source);
    }
  return Platform::ReadFileBytes(path);
}

void WriteFileAtomically(std::u16string_view path, std::string_view bytes) {
  if (!Active()) return Platform::WriteFileAtomically(path, bytes);
  TFileChange& change = Note(path, true);
  change.Action = TFileAction::Write;
  change.Bytes = std::string(bytes);
  Active()->Replay.push_back(
      [p = std::u16string(path), b = change.Bytes] { Platform::WriteFileAtomically(p, b); });
}

}  // namespace Staging

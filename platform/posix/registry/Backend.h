// The backend of the emulated registry: the prefix's two files, each read again when it
// changed since the last look, the run's changes kept for a replay, the write lock, and the
// commit that writes the changed files back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"
#include "platform/posix/Prefix.h"
#include "platform/posix/registry/Hive.h"
#include "platform/posix/registry/HiveFiles.h"

namespace Platform::Posix {

inline constexpr std::u16string_view kDefaultUserSid = u"S-1-5-21-0-0-0-1000";

struct TRegFile {
  std::string Name;  // "user.reg" or "system.reg"
  std::string Path;
  std::unique_ptr<THive> Hive;
  TFileStamp Stamp;
  // The stamp was compared while this run held the write lock: until the lock goes, only a
  // wineserver could replace the file, and the commit looks for that itself.
  bool StampChecked = false;
  // The registry operation in which the stamp was last compared.
  uint64_t CheckedIn = 0;
  // The run's changes, replayed when another program replaced the file under the lock.
  std::vector<std::function<void(THive&)>> Log;
};

class TBackend {
 public:
  TRegFile& File(TRegRoot root) {
    Init();
    return root == TRegRoot::CurrentUser ? user_ : system_;
  }
  TRegFile& Other(const TRegFile& f) { return &f == &user_ ? system_ : user_; }
  bool IsMachine(const TRegFile& f) const { return &f == &system_; }

  /// Starts a registry operation (a key opened, created or deleted, a key's values read or
  /// written): each operation sees the files as they are when it starts.
  void BeginOperation() { ++operation_; }

  /// The file's current content, read again when it changed since the last look. A file is
  /// looked at once per operation, and under the write lock once for the whole run.
  THive& Use(TRegFile& f, bool write) {
    if (write) Lock();
    if (!f.Hive || !LookedAt(f)) {
      if (!f.Hive || StampOf(f.Path) != f.Stamp) Load(f);
      MarkLookedAt(f);
    }
    return *f.Hive;
  }

  /// The file's current content for reading the key at `query` and the keys on its way:
  /// a file not read yet is only scanned for them (THive::Expect).
  THive& UseFor(TRegFile& f, const TPath& query, bool linked = false);
  /// The same for all of `queries` at once (THive::ExpectAll).
  THive& UseForAll(TRegFile& f, const std::vector<TPath>& queries);

  /// Applies a change and keeps it for a replay.
  void Record(TRegFile& f, std::function<void(THive&)> change) {
    change(*f.Hive);
    f.Log.push_back(std::move(change));
  }

  void Commit();
  void Reset(const std::string& prefix) {
    *this = TBackend{};
    prefix_ = prefix;
  }

 private:
  void Init() {
    if (prefix_.empty()) prefix_ = PrefixFolder();
    if (user_.Name.empty()) {
      user_.Name = "user.reg", user_.Path = prefix_ + "/user.reg";
      system_.Name = "system.reg", system_.Path = prefix_ + "/system.reg";
    }
  }
  void Lock();
  void Load(TRegFile& f);
  /// The file's current content, made ready by `expect(hive)` for the lookups to come.
  template <class TExpect>
  THive& Prepare(TRegFile& f, TExpect&& expect);
  bool LookedAt(const TRegFile& f) const { return f.StampChecked || f.CheckedIn == operation_; }
  void MarkLookedAt(TRegFile& f) {
    f.StampChecked = lock_ != nullptr;
    f.CheckedIn = operation_;
  }
  void Accept(TRegFile& f, std::unique_ptr<THive> hive, const TFileStamp& stamp);
  std::string NewFileHeader(TRegFile& f);

  std::string prefix_;
  TRegFile user_, system_;
  std::unique_ptr<TPrefixLock> lock_;
  uint64_t operation_ = 1;
};

TBackend& Backend();

}  // namespace Platform::Posix

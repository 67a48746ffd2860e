// The registry of a Wine prefix: HKEY_CURRENT_USER in user.reg, HKEY_LOCAL_MACHINE in
// system.reg, seen as Wine shows them to a program that opens keys in the 32-bit view.
#include "platform/Registry.h"

#include <time.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "common/QO_Errors.h"
#include "platform/TextCodec.h"
#include "platform/posix/Prefix.h"
#include "platform/posix/registry/Hive.h"
#include "platform/posix/registry/HiveFiles.h"
#include "platform/posix/registry/UsePrefix.h"

namespace Platform {
namespace Posix {
namespace {

using WineReg::Fold;
using WineReg::TArch;

constexpr size_t kMaxKeyNameLength = 255;
// Windows keeps registry trees to 512 levels; deeper paths are refused, so that no key
// path grows long enough to make every lookup along it slow.
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxValueNameLength = 16383;
constexpr std::u16string_view kWow64Node = u"Wow6432Node";
constexpr std::u16string_view kDefaultUserSid = u"S-1-5-21-0-0-0-1000";

std::u16string_view CutAtNul(std::u16string_view name) {
  return name.substr(0, name.find(u'\0'));
}

// The components of a key path under the Windows API's rules; nothing when it is invalid.
std::optional<TPath> SplitKeyPath(std::u16string_view path) {
  path = CutAtNul(path);
  if (!path.empty() && path[0] == u'\\') return std::nullopt;
  TPath parts;
  for (size_t start = 0; start <= path.size();) {
    size_t end = std::min(path.find(u'\\', start), path.size());
    if (end - start > kMaxKeyNameLength) return std::nullopt;
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    if (parts.size() > kMaxKeyDepth) return std::nullopt;
    start = end + 1;
  }
  return parts;
}

uint64_t NowFiletime() {
  timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return uint64_t(ts.tv_sec) * 10000000u + uint64_t(ts.tv_nsec) / 100 + 116444736000000000ull;
}

// The architecture written in the first lines of a registry file, if it has one.
TArch ArchOfFileHead(const std::string& path) {
  std::string head = ReadFileHead(path, 4096);
  WineReg::TFileIndex index(head);
  return index.Readable() ? index.Arch() : TArch::None;
}

struct TRegFile {
  std::string Name;  // "user.reg" or "system.reg"
  std::string Path;
  std::unique_ptr<THive> Hive;
  TFileStamp Stamp;
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

  /// The file's current content, read again when it changed since the last look.
  THive& Use(TRegFile& f, bool write) {
    if (write) Lock();
    if (!f.Hive || StampOf(f.Path) != f.Stamp) Load(f);
    return *f.Hive;
  }

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
  std::string NewFileHeader(TRegFile& f);

  std::string prefix_;
  TRegFile user_, system_;
  std::unique_ptr<TPrefixLock> lock_;
};

TBackend& Backend() {
  static TBackend backend;
  return backend;
}

void TBackend::Load(TRegFile& f) {
  TFileStamp stamp;
  auto hive = std::make_unique<THive>(ReadRegistryFile(f.Path, stamp));
  if (!hive->Readable()) {
    f.Hive.reset();
    std::string why = hive->Arch() == TArch::Unknown ? "its #arch line is not win32 or win64"
                                                     : "it does not start with the line \"" +
                                                           std::string(WineReg::kSignature) + "\"";
    throw ERegistryException(FromUtf8("Cannot use the registry file " + f.Path + ": " + why));
  }
  for (auto& change : f.Log)
    change(*hive);
  f.Hive = std::move(hive);
  f.Stamp = stamp;
}

void TBackend::Lock() {
  if (lock_) return;
  MakeFolders(prefix_);
  auto lock = std::make_unique<TPrefixLock>(prefix_);
  // A running wineserver would overwrite the files with its own copy of the registry.
  if (WineserverRuns(prefix_))
    throw ERegistryException(FromUtf8("A wineserver is running on " + prefix_ +
                                      ": stop it (wineserver -k) before changing its registry"));
  lock_ = std::move(lock);
}

std::string TBackend::NewFileHeader(TRegFile& f) {
  TRegFile& other = Other(f);
  TArch arch = StampOf(other.Path).Exists ? ArchOfFileHead(other.Path) : TArch::Win64;
  TPath root = IsMachine(f) ? TPath{u"Machine"} : TPath{u"User", std::u16string(kDefaultUserSid)};
  return WineReg::NewFileText(root, arch);
}

void TBackend::Commit() {
  bool changed = false;
  for (TRegFile* f : {&user_, &system_})
    changed |= !f->Log.empty();
  if (changed && WineserverRuns(prefix_))
    throw ERegistryException(FromUtf8("A wineserver started on " + prefix_ +
                                      ": the registry changes of this run are not saved"));
  for (TRegFile* f : {&user_, &system_}) {
    if (f->Log.empty()) continue;
    THive& hive = Use(*f, true);  // replays the changes if the file was replaced meanwhile
    ReplaceFile(f->Path, hive.Compose(NewFileHeader(*f), NowFiletime()));
    f->Hive.reset();
    f->Log.clear();
    f->Stamp = {};
  }
  lock_.reset();
}

// ---- key paths as Wine resolves them in the 32-bit view ----

bool IsWow64Node(std::u16string_view name) {
  return Fold(name) == Fold(kWow64Node);
}

// Whether a 32-bit program's HKLM\Software is this file's Software\Wow6432Node: the
// machine file of a 64-bit prefix, or a new one (it gets #arch=win64).
bool Has32BitView(TRegFile& file, THive& hive) {
  return Backend().IsMachine(file) && hive.Arch() != TArch::Win32 &&
         !(hive.Arch() == TArch::None && !hive.Text().empty());
}

// A 32-bit program that descends into `next` below a key with a Wow6432Node subkey lands in
// that subkey. HKLM\Software of a 64-bit prefix always has one, as Windows does.
TPath Wow64Redirect(TRegFile& file, THive& hive, TPath key, std::u16string_view next) {
  if (IsWow64Node(next)) return key;
  if (auto wow = hive.ChildName(key, kWow64Node)) {
    key.push_back(*wow);
  } else if (key.size() == 1 && Fold(key[0]) == u"software" && !next.empty() &&
             Has32BitView(file, hive)) {
    key.emplace_back(kWow64Node);
  }
  return key;
}

// The SID in user.reg's second line ("All keys relative to REGISTRY\\User\\<SID>").
std::u16string UserSid(THive& hive) {
  std::string_view text = hive.Text();
  size_t at = text.find("REGISTRY\\\\User\\\\");
  size_t end = text.find('\n', at);
  if (at == std::string_view::npos || end == std::string_view::npos || at > 200)
    return std::u16string(kDefaultUserSid);
  std::u16string sid;
  WineReg::ParseEscaped(text.substr(at + 16, end - at - 16), '\n', sid);
  while (!sid.empty() && (sid.back() == u'\r' || sid.back() == u' '))
    sid.pop_back();
  return sid;
}

bool FollowLinks(TRegFile*& file, TPath& key, bool write, int depth);

// Resolves the target of a link key ("\Registry\Machine\..." or "\Registry\User\<SID>\...").
bool FollowLinkTarget(TRegFile*& file, TPath& key, bool write, int depth) {
  const WineReg::TKeyContent* content = Backend().Use(*file, write).Content(key);
  size_t v = content ? content->FindValue(u"SymbolicLinkValue") : 0;
  if (!content || v == content->Values.size()) return false;
  const std::string& bytes = content->Values[v].Data.Bytes;
  std::u16string target;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    target.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
  if (target.size() <= 10 || Fold(target.substr(0, 10)) != u"\\registry\\") return false;
  TPath parts = SplitKeyPath(target.substr(10)).value_or(TPath{});
  size_t skip = 0;
  if (!parts.empty() && Fold(parts[0]) == u"machine") {
    file = &Backend().File(TRegRoot::LocalMachine), skip = 1;
  } else if (parts.size() >= 2 && Fold(parts[0]) == u"user") {
    file = &Backend().File(TRegRoot::CurrentUser), skip = 2;
    if (Fold(parts[1]) != Fold(UserSid(Backend().Use(*file, write)))) return false;
  } else {
    return false;
  }
  key.clear();
  for (size_t i = skip; i < parts.size(); ++i) {
    auto name = Backend().Use(*file, write).ChildName(key, parts[i]);
    if (!name) return false;
    key.push_back(*name);
    if (!FollowLinks(file, key, write, depth + 1)) return false;
  }
  return true;
}

bool FollowLinks(TRegFile*& file, TPath& key, bool write, int depth) {
  if (depth > 16) return false;
  if (!Backend().Use(*file, write).IsLink(key)) return true;
  return FollowLinkTarget(file, key, write, depth);
}

struct TLocation {
  TRegFile* File;
  TPath Path;
  bool Linked;  // the path names a link and Path is its target
};

enum class TAccess { Read, Write, Create };

// Finds the key as wineserver does for a 32-bit program. Write and Create take the write
// lock first; Create also creates what is missing.
std::optional<TLocation> Resolve(TRegRoot root, std::u16string_view path, TAccess access) {
  const bool create = access != TAccess::Read;
  std::optional<TPath> parts = SplitKeyPath(path);
  if (!parts) return std::nullopt;
  TRegFile* file = &Backend().File(root);
  TPath key;
  size_t i = 0;
  if (!parts->empty()) key = Wow64Redirect(*file, Backend().Use(*file, create), key, (*parts)[0]);
  for (; i < parts->size(); ++i) {
    auto name = Backend().Use(*file, create).ChildName(key, (*parts)[i]);
    if (!name) break;
    key.push_back(*name);
    if (i + 1 == parts->size()) continue;
    key = Wow64Redirect(*file, Backend().Use(*file, create), key, (*parts)[i + 1]);
    if (!FollowLinks(file, key, create, 0)) return std::nullopt;
  }
  if (i < parts->size()) {
    if (access != TAccess::Create) return std::nullopt;
    for (; i < parts->size(); ++i) {  // HKLM\Software redirects even before it exists
      key.push_back((*parts)[i]);
      if (i + 1 < parts->size())
        key = Wow64Redirect(*file, Backend().Use(*file, true), key, (*parts)[i + 1]);
    }
    Backend().Record(*file, [key](THive& hive) { hive.CreateKey(key); });
    return TLocation{file, key, false};
  }
  key = Wow64Redirect(*file, Backend().Use(*file, create), key, u"");
  bool linked = Backend().Use(*file, create).IsLink(key);
  if (!FollowLinks(file, key, create, 0)) return std::nullopt;
  return TLocation{file, key, linked};
}

class TPosixKey final : public TRegKey {
 public:
  explicit TPosixKey(TLocation location) : at_(std::move(location)) {}

  std::vector<std::u16string> ValueNames() const override {
    std::vector<std::u16string> names;
    if (auto* content = Hive(false).Content(at_.Path))
      for (const WineReg::TStoredValue& v : content->Values)
        names.push_back(v.Name);
    return names;
  }

  std::vector<std::u16string> SubKeyNames() const override {
    THive& hive = Hive(false);
    return hive.Exists(at_.Path) ? hive.SubKeyNames(at_.Path) : std::vector<std::u16string>{};
  }

  std::optional<TRegData> QueryValue(std::u16string_view name) const override {
    name = CutAtNul(name);
    auto* content = Hive(false).Content(at_.Path);
    if (!content || name.size() > kMaxValueNameLength) return std::nullopt;
    size_t i = content->FindValue(name);
    if (i == content->Values.size()) return std::nullopt;
    return content->Values[i].Data;
  }

  bool SetValue(std::u16string_view name, const TRegData& data) override {
    name = CutAtNul(name);
    if (name.size() > kMaxValueNameLength || !Hive(true).Exists(at_.Path)) return false;
    Backend().Record(*at_.File, [path = at_.Path, n = std::u16string(name), data](THive& hive) {
      hive.SetValue(path, n, data);
    });
    return true;
  }

  TRegResult DeleteValue(std::u16string_view name) override {
    name = CutAtNul(name);
    auto* content = Hive(true).Content(at_.Path);
    if (!content || content->FindValue(name) == content->Values.size()) return TRegResult::NotFound;
    Backend().Record(*at_.File, [path = at_.Path, n = std::u16string(name)](THive& hive) {
      hive.DeleteValue(path, n);
    });
    return TRegResult::Ok;
  }

 private:
  THive& Hive(bool write) const { return Backend().Use(*at_.File, write); }

  TLocation at_;
};

}  // namespace

void UseRegistryPrefix(const std::string& folder) {
  Backend().Reset(folder);
}

// Whether a 32-bit program may not delete the key its path led to: the root; a link's
// target (Windows would delete the target's keys and then fail on the link);
// Software\Wow6432Node, which holds the whole 32-bit view; and any key of the 64-bit
// Software, which the 32-bit view reaches only through a link or where the Wow6432Node is
// missing, and which 64-bit programs and Wine itself rely on.
bool Undeletable(const TLocation& at) {
  if (at.Path.empty() || at.Linked) return true;
  if (!Backend().IsMachine(*at.File) || Fold(at.Path[0]) != u"software") return false;
  if (at.Path.size() == 2 && IsWow64Node(at.Path[1])) return true;
  return Has32BitView(*at.File, Backend().Use(*at.File, true)) &&
         std::none_of(at.Path.begin(), at.Path.end(), IsWow64Node);
}

// Calls `visit` for each key of the tree at `key`, every key after its subkeys, until it
// returns false; false then. Without recursion, so that deep trees cost no more than flat
// ones: each level keeps the subkeys it has still to visit.
template <class TVisit>
bool VisitTreeBottomUp(THive& hive, TPath key, TVisit&& visit) {
  std::vector<std::vector<std::u16string>> pending{hive.SubKeyNames(key)};
  for (;;) {
    std::vector<std::u16string>& top = pending.back();
    if (!top.empty()) {
      key.push_back(std::move(top.back()));
      top.pop_back();
      pending.push_back(hive.SubKeyNames(key));
      continue;
    }
    pending.pop_back();
    if (!visit(std::as_const(key))) return false;
    if (pending.empty()) return true;
    key.pop_back();
  }
}

// The key a delete works on, looked up again under the lock; nothing, with the answer in
// `refused`, when there is nothing to delete or it may not be deleted.
std::optional<TLocation> LocateForDelete(TRegRoot root, std::u16string_view path,
                                         TRegResult& refused) {
  refused = TRegResult::NotFound;
  auto parts = SplitKeyPath(path);
  if (!parts) return std::nullopt;
  if (parts->empty()) {
    refused = TRegResult::AccessDenied;
    return std::nullopt;
  }
  // Only a key that exists takes the lock.
  if (!Resolve(root, path, TAccess::Read)) return std::nullopt;
  auto location = Resolve(root, path, TAccess::Write);
  if (location && Undeletable(*location)) {
    refused = TRegResult::AccessDenied;
    return std::nullopt;
  }
  return location;
}

}  // namespace Posix

std::unique_ptr<TRegKey> OpenRegKey(TRegRoot root, std::u16string_view path) {
  auto location = Posix::Resolve(root, path, Posix::TAccess::Read);
  if (!location) return nullptr;
  return std::make_unique<Posix::TPosixKey>(std::move(*location));
}

std::unique_ptr<TRegKey> CreateRegKey(TRegRoot root, std::u16string_view path) {
  auto location = Posix::Resolve(root, path, Posix::TAccess::Create);
  if (!location) return nullptr;
  return std::make_unique<Posix::TPosixKey>(std::move(*location));
}

TRegResult DeleteRegKeyOnly(TRegRoot root, std::u16string_view path) {
  TRegResult refused;
  auto location = Posix::LocateForDelete(root, path, refused);
  if (!location) return refused;
  Posix::THive& hive = Posix::Backend().Use(*location->File, true);
  if (!hive.SubKeyNames(location->Path).empty()) return TRegResult::AccessDenied;
  Posix::Backend().Record(*location->File,
                          [path = location->Path](Posix::THive& h) { h.DeleteKey(path); });
  return TRegResult::Ok;
}

TRegResult DeleteRegTree(TRegRoot root, std::u16string_view path) {
  TRegResult refused;
  auto location = Posix::LocateForDelete(root, path, refused);
  if (!location) return refused;
  Posix::TRegFile& file = *location->File;
  Posix::THive& hive = Posix::Backend().Use(file, true);
  // A link inside the tree would take the keys of its target with it (of the 64-bit
  // branch, for Wine's links): such a tree is refused before anything is deleted.
  auto noLink = [&](const Posix::TPath& key) { return !hive.IsLink(key); };
  if (!Posix::VisitTreeBottomUp(hive, location->Path, noLink)) return TRegResult::AccessDenied;
  Posix::VisitTreeBottomUp(hive, std::move(location->Path), [&](const Posix::TPath& key) {
    Posix::Backend().Record(file, [key](Posix::THive& h) { h.DeleteKey(key); });
    return true;
  });
  return TRegResult::Ok;
}

void CommitRegistry() {
  Posix::Backend().Commit();
}

void BroadcastSettingsChanged() {}

}  // namespace Platform

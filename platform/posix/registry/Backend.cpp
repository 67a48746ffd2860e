// The registry of a Wine prefix: HKEY_CURRENT_USER in user.reg, HKEY_LOCAL_MACHINE in
// system.reg, seen as Wine shows them to a program that opens keys in the 32-bit view.
#include "platform/posix/registry/Backend.h"

#include <time.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "platform/Errors.h"
#include "platform/TextCodec.h"
#include "platform/posix/Prefix.h"
#include "platform/posix/registry/KeyPaths.h"
#include "platform/posix/registry/UsePrefix.h"

namespace Platform {
namespace Posix {
namespace {

using WineReg::Fold;
using WineReg::TArch;

uint64_t NowFiletime() {
  timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return uint64_t(ts.tv_sec) * 10000000u + uint64_t(ts.tv_nsec) / 100 + WineReg::kFiletimeOf1970;
}

// The architecture written in the first lines of a registry file, if it has one.
TArch ArchOfFileHead(const std::string& path) {
  std::string head = ReadFileHead(path, 4096);
  WineReg::TFileIndex index(head);
  return index.Readable() ? index.Arch() : TArch::None;
}

}  // namespace

TBackend& Backend() {
  static TBackend backend;
  return backend;
}

void TBackend::Load(TRegFile& f) {
  TFileStamp stamp;
  Accept(f, std::make_unique<THive>(ReadRegistryFile(f.Path, stamp)), stamp);
}

template <class TExpect>
THive& TBackend::Prepare(TRegFile& f, TExpect&& expect) {
  if (f.Hive && (LookedAt(f) || StampOf(f.Path) == f.Stamp)) {
    MarkLookedAt(f);
    expect(*f.Hive);
    return *f.Hive;
  }
  TFileStamp stamp;
  std::unique_ptr<TTextSource> source;
  if (f.Log.empty()) source = OpenRegistryFile(f.Path, stamp);  // a replay needs it whole
  if (!source) {
    Load(f);
  } else {
    auto hive = std::make_unique<THive>(std::move(source));
    expect(*hive);
    Accept(f, std::move(hive), stamp);
  }
  MarkLookedAt(f);
  return *f.Hive;
}

THive& TBackend::UseFor(TRegFile& f, const TPath& query, bool linked) {
  return Prepare(f, [&](THive& hive) { hive.Expect(query, linked); });
}

THive& TBackend::UseForAll(TRegFile& f, const std::vector<TPath>& queries) {
  return Prepare(f, [&](THive& hive) { hive.ExpectAll(queries); });
}

void TBackend::Accept(TRegFile& f, std::unique_ptr<THive> hive, const TFileStamp& stamp) {
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
  // A running wineserver would overwrite the files with its own copy of the registry. It
  // runs while any Wine program of the prefix does, an IDE that keeps its settings included.
  if (WineserverRuns(prefix_))
    throw ERegistryException(FromUtf8(
        "A wineserver is running on " + prefix_ +
        ": a Wine program, perhaps the IDE, is running in the prefix; it must end (or stop the "
        "server with wineserver -k) before tessik can change the registry"));
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
  BeginOperation();
  for (TRegFile* f : {&user_, &system_})
    f->StampChecked = false;
  for (TRegFile* f : {&user_, &system_}) {
    if (f->Log.empty()) continue;
    THive& hive = Use(*f, true);  // replays the changes if the file was replaced meanwhile
    ReplaceFile(f->Path, hive.Compose(NewFileHeader(*f), NowFiletime()));
    f->Hive.reset();
    f->Log.clear();
    f->Stamp = {};
  }
  for (TRegFile* f : {&user_, &system_})
    f->StampChecked = false;
  lock_.reset();
}

namespace {

// The keys a process environment is built from: a change to one of them must not reach
// the Path of this run.
bool IsEnvironmentKey(const TRegFile& file, const TPath& path) {
  if (!Backend().IsMachine(file))
    return path.size() == 1 &&
           (Fold(path[0]) == u"environment" || Fold(path[0]) == u"volatile environment");
  return path.size() >= 4 && Fold(path[0]) == u"system" && Fold(path.back()) == u"environment" &&
         Fold(path[path.size() - 2]) == u"session manager" &&
         Fold(path[path.size() - 3]) == u"control";
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
    if (IsEnvironmentKey(*at_.File, at_.Path)) KeepEnvironmentAsAtStart();
    Backend().Record(*at_.File, [path = at_.Path, n = std::u16string(name), data](THive& hive) {
      hive.SetValue(path, n, data);
    });
    return true;
  }

  TRegResult DeleteValue(std::u16string_view name) override {
    name = CutAtNul(name);
    auto* content = Hive(true).Content(at_.Path);
    if (!content || content->FindValue(name) == content->Values.size()) return TRegResult::NotFound;
    if (IsEnvironmentKey(*at_.File, at_.Path)) KeepEnvironmentAsAtStart();
    Backend().Record(*at_.File, [path = at_.Path, n = std::u16string(name)](THive& hive) {
      hive.DeleteValue(path, n);
    });
    return TRegResult::Ok;
  }

 private:
  THive& Hive(bool write) const {
    Backend().BeginOperation();
    return Backend().Use(*at_.File, write);
  }

  TLocation at_;
};

}  // namespace

void UseRegistryPrefix(const std::string& folder) {
  Backend().Reset(folder);
  ForgetEnvironment();
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

// The key a tree delete works on, with the answer in `result`: nothing when the delete
// finds nothing or is refused, also for a link inside the tree, which would take the keys
// of its target with it (of the 64-bit branch, for Wine's links).
std::optional<TLocation> LocateTreeForDelete(TRegRoot root, std::u16string_view path,
                                             TRegResult& result) {
  auto location = LocateForDelete(root, path, result);
  if (!location) return std::nullopt;
  THive& hive = Backend().Use(*location->File, true);
  auto noLink = [&](const TPath& key) { return !hive.IsLink(key); };
  result =
      VisitTreeBottomUp(hive, location->Path, noLink) ? TRegResult::Ok : TRegResult::AccessDenied;
  if (result != TRegResult::Ok) return std::nullopt;
  return location;
}

}  // namespace Posix

void ExpectRegKeys(TRegRoot root, const std::vector<std::u16string>& paths) {
  std::vector<Posix::TPath> queries;
  for (const std::u16string& path : paths)
    if (auto parts = SplitRegKeyPath(path)) queries.push_back(std::move(*parts));
  if (root == TRegRoot::LocalMachine)
    for (const std::u16string& path : Posix::MachineEnvironmentKeys())
      queries.push_back(*SplitRegKeyPath(path));
  Posix::Backend().BeginOperation();
  Posix::Backend().UseForAll(Posix::Backend().File(root), queries);
}

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

TRegResult CheckRegTreeDelete(TRegRoot root, std::u16string_view path) {
  TRegResult result;
  Posix::LocateTreeForDelete(root, path, result);
  return result;
}

TRegResult DeleteRegTree(TRegRoot root, std::u16string_view path) {
  TRegResult refused;
  auto location = Posix::LocateTreeForDelete(root, path, refused);
  if (!location) return refused;
  Posix::TRegFile& file = *location->File;
  Posix::THive& hive = Posix::Backend().Use(file, true);
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

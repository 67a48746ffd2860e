#include "platform/posix/registry/KeyPaths.h"

#include <algorithm>

namespace Platform::Posix {
namespace {

using WineReg::Fold;
using WineReg::TArch;

constexpr std::u16string_view kWow64Node = u"Wow6432Node";

bool IsWow64Node(std::u16string_view name) {
  return Fold(name) == Fold(kWow64Node);
}

// Whether a 32-bit program's HKLM\Software is this file's Software\Wow6432Node: the
// machine file of a 64-bit prefix, or a new one (it gets #arch=win64).
bool Has32BitView(TRegFile& file, THive& hive) {
  return Backend().IsMachine(file) && hive.Arch() != TArch::Win32 &&
         !(hive.Arch() == TArch::None && !hive.Empty());
}

// A 32-bit program that descends into `next` below a key with a Wow6432Node subkey lands in
// that subkey. HKLM\Software of a 64-bit prefix always has one, as Windows does. Changes
// `key` in place.
void Wow64Redirect(TRegFile& file, THive& hive, TPath& key, std::u16string_view next) {
  if (IsWow64Node(next)) return;
  if (auto wow = hive.ChildName(key, kWow64Node)) {
    key.push_back(std::move(*wow));
  } else if (key.size() == 1 && Fold(key[0]) == u"software" && !next.empty() &&
             Has32BitView(file, hive)) {
    key.emplace_back(kWow64Node);
  }
}

// The SID in user.reg's second line ("All keys relative to REGISTRY\\User\\<SID>").
std::u16string UserSid(THive& hive) {
  std::string_view text = hive.Head();
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

// The names a lookup still has to go below a key: a read scans a link's target for them too.
using TRest = std::vector<std::u16string_view>;

bool FollowLinks(TRegFile*& file, TPath& key, bool write, int depth, const TRest& rest);

// Resolves the target of a link key ("\Registry\Machine\..." or "\Registry\User\<SID>\...").
bool FollowLinkTarget(TRegFile*& file, TPath& key, bool write, int depth, const TRest& rest) {
  const WineReg::TKeyContent* content = Backend().Use(*file, write).Content(key);
  size_t v = content ? content->FindValue(u"SymbolicLinkValue") : 0;
  if (!content || v == content->Values.size()) return false;
  const std::string& bytes = content->Values[v].Data.Bytes;
  std::u16string target = Utf16Of(bytes);
  if (target.size() <= 10 || Fold(target.substr(0, 10)) != u"\\registry\\") return false;
  TPath parts = SplitRegKeyPath(target.substr(10)).value_or(TPath{});
  size_t skip = 0;
  if (!parts.empty() && Fold(parts[0]) == u"machine") {
    file = &Backend().File(TRegRoot::LocalMachine), skip = 1;
  } else if (parts.size() >= 2 && Fold(parts[0]) == u"user") {
    file = &Backend().File(TRegRoot::CurrentUser), skip = 2;
  } else {
    return false;
  }
  if (!write) {
    TPath query(parts.begin() + ptrdiff_t(skip), parts.end());
    query.insert(query.end(), rest.begin(), rest.end());
    Backend().UseFor(*file, query, true);
  }
  if (skip == 2 && Fold(parts[1]) != Fold(UserSid(Backend().Use(*file, write)))) return false;
  key.clear();
  for (size_t i = skip; i < parts.size(); ++i) {
    auto name = Backend().Use(*file, write).ChildName(key, parts[i]);
    if (!name) return false;
    key.push_back(*name);
    TRest below(parts.begin() + ptrdiff_t(i) + 1, parts.end());
    below.insert(below.end(), rest.begin(), rest.end());
    if (!FollowLinks(file, key, write, depth + 1, below)) return false;
  }
  return true;
}

bool FollowLinks(TRegFile*& file, TPath& key, bool write, int depth, const TRest& rest) {
  if (depth > 16) return false;
  if (!Backend().Use(*file, write).IsLink(key)) return true;
  return FollowLinkTarget(file, key, write, depth, rest);
}

}  // namespace

std::optional<TLocation> Resolve(TRegRoot root, std::u16string_view path, TAccess access) {
  const bool create = access != TAccess::Read;
  std::optional<TPath> parts = SplitRegKeyPath(path);
  if (!parts) return std::nullopt;
  TRegFile* file = &Backend().File(root);
  Backend().BeginOperation();
  if (!create) Backend().UseFor(*file, *parts);  // a read scans for the keys on its way alone
  TPath key;
  size_t i = 0;
  if (!parts->empty()) Wow64Redirect(*file, Backend().Use(*file, create), key, (*parts)[0]);
  for (; i < parts->size(); ++i) {
    auto name = Backend().Use(*file, create).ChildName(key, (*parts)[i]);
    if (!name) break;
    key.push_back(*name);
    if (i + 1 == parts->size()) continue;
    Wow64Redirect(*file, Backend().Use(*file, create), key, (*parts)[i + 1]);
    if (!FollowLinks(file, key, create, 0, TRest(parts->begin() + ptrdiff_t(i) + 1, parts->end())))
      return std::nullopt;
  }
  if (i < parts->size()) {
    if (access != TAccess::Create) return std::nullopt;
    for (; i < parts->size(); ++i) {  // HKLM\Software redirects even before it exists
      key.push_back((*parts)[i]);
      if (i + 1 < parts->size())
        Wow64Redirect(*file, Backend().Use(*file, true), key, (*parts)[i + 1]);
    }
    Backend().Record(*file, [key](THive& hive) { hive.CreateKey(key); });
    return TLocation{file, key, false};
  }
  Wow64Redirect(*file, Backend().Use(*file, create), key, u"");
  bool linked = Backend().Use(*file, create).IsLink(key);
  if (!FollowLinks(file, key, create, 0, {})) return std::nullopt;
  return TLocation{file, key, linked};
}

namespace {

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

}  // namespace

std::optional<TLocation> LocateForDelete(TRegRoot root, std::u16string_view path,
                                         TRegResult& refused) {
  refused = TRegResult::NotFound;
  auto parts = SplitRegKeyPath(path);
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

}  // namespace Platform::Posix

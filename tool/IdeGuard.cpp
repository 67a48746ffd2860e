#include "tool/IdeGuard.h"

#include <array>
#include <set>
#include <string>

#include "platform/Collation.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Processes.h"
#include "tool/InstallTypes.h"
#include "tool/InstallUtils.h"

namespace {

// The programs of an IDE below its RootDir, whichever of them a version ships.
constexpr std::array<std::u16string_view, 4> kIdePrograms = {u"bin\\bds.exe", u"bin\\delphi32.exe",
                                                             u"bin\\bcb.exe", u"bin64\\bds.exe"};

std::u16string FoldedPath(std::u16string_view path) {
  return Platform::UpperCase(Platform::FullPathName(path));
}

}  // namespace

void RefuseWhileIdeRuns() {
  std::vector<int> visited;
  if (RequestedVersion == u"All") {
    for (int index = 0; index < kVersionCount; ++index)
      if (DelphiVersions[size_t(index)].IsInstalled) visited.push_back(index);
  } else {
    visited.push_back(VersionIndex(RequestedVersion));
  }
  if (visited.empty()) return;
  std::vector<std::u16string> running = Platform::RunningImageNames();
  if (running.empty()) return;
  std::set<std::u16string> folded;
  for (const auto& image : running)
    folded.insert(FoldedPath(image));
  for (int index : visited) {
    const TDelphiInfo& info = DelphiVersions[size_t(index)];
    // Without a RootDir the names would point at the root of the current drive.
    if (info.RootDir.empty()) continue;
    for (auto program : kIdePrograms) {
      std::u16string image = JoinPath(info.RootDir, program);
      if (folded.count(FoldedPath(image)))
        throw Exception(VersionDisplayName(info.VerName) + u" is running (" + image +
                        u"); close it and run again, or add /ignoreide");
    }
  }
}

// The POSIX registry on a large prefix (bench/MakePrefix.cpp): the one-pass index of a 20 MB
// system.reg, one query and one change through the platform interface, and many queries on
// an unchanged file. TESSIK_BENCH_PREFIX names a prefix to use; else one is made in /tmp.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/Registry.h"
#include "platform/posix/registry/FileIndex.h"
#include "platform/posix/registry/UsePrefix.h"

namespace {

const std::string& Prefix() {
  static const std::string folder = [] {
    if (const char* p = std::getenv("TESSIK_BENCH_PREFIX"); p && *p) return std::string(p);
    std::string made = "/tmp/tessik-bench-prefix";
    std::string command = std::string(MAKE_PREFIX) + " " + made;
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "make_prefix failed\n");
    return made;
  }();
  return folder;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void BM_IndexSystemReg(benchmark::State& state) {
  std::string text = Read(Prefix() + "/system.reg");
  for (auto _ : state) {
    Platform::WineReg::TFileIndex index(text);
    benchmark::DoNotOptimize(index.Keys().size());
  }
  state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
  state.counters["keys"] = double(Platform::WineReg::TFileIndex(text).Keys().size());
}
BENCHMARK(BM_IndexSystemReg)->Unit(benchmark::kMillisecond);

// What one "RegQuery" of an HKLM value costs: read the file, index it, parse one key.
void BM_QueryOneMachineValue(benchmark::State& state) {
  for (auto _ : state) {
    Platform::Posix::UseRegistryPrefix(Prefix());
    auto key =
        Platform::OpenRegKey(Platform::TRegRoot::LocalMachine, u"Software\\Embarcadero\\BDS\\22.0");
    benchmark::DoNotOptimize(key->QueryValue(u"RootDir"));
  }
}
BENCHMARK(BM_QueryOneMachineValue)->Unit(benchmark::kMillisecond);

// Many values read from an unchanged file: it is read and indexed once.
void BM_QueryManyValues(benchmark::State& state) {
  Platform::Posix::UseRegistryPrefix(Prefix());
  for (auto _ : state) {
    auto key = Platform::OpenRegKey(Platform::TRegRoot::CurrentUser,
                                    u"Software\\Embarcadero\\BDS\\22.0\\Environment Variables");
    benchmark::DoNotOptimize(key->QueryValue(u"BDS"));
  }
}
BENCHMARK(BM_QueryManyValues)->Unit(benchmark::kMicrosecond);

// What one "RegAdd" of an HKCU value costs, write-back included (on a copy of user.reg).
void BM_AddOneUserValue(benchmark::State& state) {
  std::string copy = "/tmp/tessik-bench-add";
  std::string command = "mkdir -p " + copy + " && cp " + Prefix() + "/user.reg " + copy + "/";
  if (std::system(command.c_str()) != 0) state.SkipWithError("cannot copy user.reg");
  int n = 0;
  for (auto _ : state) {
    Platform::Posix::UseRegistryPrefix(copy);
    auto key = Platform::CreateRegKey(Platform::TRegRoot::CurrentUser, u"Environment");
    std::string data = std::to_string(n++);
    data.resize(data.size() * 2 + 2);  // any bytes will do
    key->SetValue(u"Bench", {Platform::kRegBinary, data});
    Platform::CommitRegistry();
  }
}
BENCHMARK(BM_AddOneUserValue)->Unit(benchmark::kMillisecond);

}  // namespace

// Several runs at once lose no update, and a run killed at any moment leaves a registry
// file that loads and holds either the state before it or the state after it.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/Registry.h"
#include "platform/posix/registry/UsePrefix.h"
#include "tests/support/TestProcess.h"
#include "tests/support/WinePrefix.h"

using namespace Platform;

namespace {

const std::string kDriver = REG_DRIVER;

// A user.reg of about `bytes` bytes, so that writing it back takes a while.
std::string BigUserFile(size_t bytes) {
  std::string text =
      "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
      "\n#arch=win64\n";
  for (int k = 0; text.size() < bytes; ++k) {
    text += "\n[Software\\\\Filler\\\\Key" + std::to_string(k) +
            "] 1796592230\n#time=1dd85c816490488\n";
    for (int v = 0; v < 8; ++v)
      text += "\"Value" + std::to_string(v) + "\"=\"C:\\\\Program Files\\\\Filler\\\\" +
              std::to_string(k * 8 + v) + "\"\n";
  }
  return text;
}

std::u16string Text(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

std::optional<int> DwordOf(const std::optional<TRegData>& data) {
  if (!data || data->Bytes.size() != 4) return std::nullopt;
  const auto* b = reinterpret_cast<const unsigned char*>(data->Bytes.data());
  return int(b[0] | b[1] << 8 | b[2] << 16 | unsigned(b[3]) << 24);
}

std::string DwordHex(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02x%02x%02x%02x", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF,
                (v >> 24) & 0xFF);
  return buf;
}

TEST(RegistryStress, EightRunsAtOnceLoseNoValue) {
  TTempFolder prefix;
  std::vector<pid_t> runs;
  for (int i = 0; i < 8; ++i)
    runs.push_back(
        StartProgram({kDriver}, {"WINEPREFIX=" + prefix.Path()},
                     "fill\tHKCU\tSoftware\\\\Stress\tp" + std::to_string(i) + "_\t200\n"));
  for (pid_t pid : runs)
    EXPECT_EQ(WaitProgram(pid), 0);
  Posix::UseRegistryPrefix(prefix.Path());
  auto key = OpenRegKey(TRegRoot::CurrentUser, u"Software\\Stress");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ValueNames().size(), 1600u);
  for (int i = 0; i < 8; ++i)
    for (int v : {0, 199})
      EXPECT_TRUE(key->QueryValue(Text("p" + std::to_string(i) + "_" + std::to_string(v))));
}

// Each trial sets "gen" to its number and adds "item<n>" in one run, killed at a random
// moment of its write-back; the file must then hold all of it or none of it.
TEST(RegistryStress, ARunKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
  using Clock = std::chrono::steady_clock;
  TTempFolder prefix;
  WriteFile(prefix.Path() + "/user.reg", BigUserFile(256 << 10));
  auto script = [](int n) {
    return "set\tHKCU\tSoftware\\\\Crash\tgen\t4\t" + DwordHex(n) +
           "\nset\tHKCU\tSoftware\\\\Crash\titem" + std::to_string(n) + "\t4\t" + DwordHex(n) +
           "\ncommit\n";
  };
  const std::vector<std::string> env = {"WINEPREFIX=" + prefix.Path()};
  // How long the write-back takes: from the driver's answer to the second "set" to its exit.
  int output;
  pid_t pid = StartProgram({kDriver}, env, script(0), &output);
  ReadUntil(output, "set\nset\n");
  auto start = Clock::now();
  ASSERT_EQ(WaitProgram(pid), 0);
  ::close(output);
  long long commitUs =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
  std::mt19937 random(12345);
  std::uniform_int_distribution<long long> delay(0, commitUs * 6 / 5);
  int current = 0, completed = 0;
  for (int n = 1; n <= 100; ++n) {
    pid = StartProgram({kDriver}, env, script(n), &output);
    ReadUntil(output, "set\nset\n");
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    WaitProgram(pid);
    ::close(output);
    Posix::UseRegistryPrefix(prefix.Path());
    auto key = OpenRegKey(TRegRoot::CurrentUser, u"Software\\Crash");  // throws if torn
    ASSERT_NE(key, nullptr);
    std::optional<int> gen = DwordOf(key->QueryValue(u"gen"));
    ASSERT_TRUE(gen == current || gen == n) << "trial " << n;
    EXPECT_EQ(bool(key->QueryValue(Text("item" + std::to_string(n)))), gen == n) << "trial " << n;
    if (gen == n) current = n, ++completed;
    ASSERT_EQ(key->ValueNames().size(), size_t(completed + 2)) << "trial " << n;
  }
  std::printf("%d of 100 runs killed during their write-back had completed it\n", completed);
  EXPECT_GT(completed, 0);
  EXPECT_LT(completed, 100);

  // Wine loads what the last run left.
  if (!HaveProgram("wine")) {
    std::printf("wine is not installed: whether Wine loads the file is not checked\n");
    return;
  }
  TWinePrefix wine;
  wine.CopyRegistryFrom(prefix.Path());
  TRunResult query = wine.Run({"wine", "reg", "query", "HKCU\\Software\\Crash", "/v", "gen"});
  EXPECT_NE(query.Output.find("REG_DWORD    0x" +
                              [&] {
                                char buf[16];
                                std::snprintf(buf, sizeof buf, "%x", current);
                                return std::string(buf);
                              }()),
            std::string::npos)
      << query.Output;
}

}  // namespace

#include "tests/support/WinePrefix.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace {

// The prefix scripts/wine-run uses for the Windows tests; it creates it on first use.
std::string SharedPrefix() {
  if (const char* p = std::getenv("TESSIK_WINEPREFIX"); p && *p) return p;
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/tessik-wine-prefix-" +
         std::to_string(::getuid());
}

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

}  // namespace

TWinePrefix::TWinePrefix() {
  // A copy of the shared prefix as Wine made it (scripts/wine-run keeps that copy), with the
  // files of drive C: linked, not copied.
  std::string clean = SharedPrefix() + "/tessik-clean";
  if (::access((clean + "/ready").c_str(), F_OK) != 0)
    RunProgram({TESSIK_SOURCE_DIR "/scripts/wine-run", "cmd", "/c", "exit"}, {});
  std::string c = Quote(clean), p = Quote(Path());
  TRunResult copy = RunProgram(
      {"sh", "-c",
       "cp -al " + c + "/drive_c " + p + "/ && cp -a " + c + "/dosdevices " + c + "/system.reg " +
           c + "/user.reg " + c + "/userdef.reg " + c + "/.update-timestamp " + p + "/"},
      {});
  if (copy.Status != 0) throw std::runtime_error("cannot copy the Wine prefix: " + copy.Output);
}

TWinePrefix::~TWinePrefix() {
  StopServer();
}

TRunResult TWinePrefix::Run(const std::vector<std::string>& argv, const std::string& input) const {
  return RunProgram(argv, {"WINEPREFIX=" + Path(), "WINEDEBUG=-all"}, input);
}

void TWinePrefix::StopServer() const {
  // The server saves the registry as it exits, a few seconds after its last program. Asked
  // to stop, it is killed outright when the save takes long (a loaded machine), and the
  // last changes are lost: so it is given the time to end by itself first.
  Run({"timeout", "60", "wineserver", "-w"});
  Run({"wineserver", "-k"});
  Run({"wineserver", "-w"});  // until it has saved the registry and exited
}

void TWinePrefix::CopyRegistryFrom(const std::string& folder) const {
  StopServer();
  for (const char* name : {"/user.reg", "/system.reg"})
    if (::access((folder + name).c_str(), F_OK) == 0)
      WriteFile(Path() + name, ReadFile(folder + name));
}

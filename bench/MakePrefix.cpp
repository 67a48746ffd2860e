// Writes a large Wine prefix registry for the registry benchmarks: system.reg of about 20 MB
// (about 200,000 keys) and user.reg of about 2 MB, in the form Wine 8 writes. Known keys
// for the benchmarks:
//   HKLM\Software\Wow6432Node\Embarcadero\BDS\22.0  "RootDir"  (HKLM\Software\... 32-bit)
//   HKCU\Software\Embarcadero\BDS\22.0\Environment Variables  "BDS"
//
//   make_prefix FOLDER [SYSTEM_MB [USER_MB]]
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

const char* kWords[] = {"Adobe",   "Borland", "Classes", "Common",  "Components", "Config",
                        "Data",    "Display", "Drivers", "Engine",  "Explorer",   "Fonts",
                        "Help",    "Install", "Library", "Media",   "Options",    "Packages",
                        "Plugins", "Profile", "Reports", "Servers", "Settings",   "Tools"};

// The keys of one file, in tree order; each with a few values of the common kinds.
class TWriter {
 public:
  TWriter(std::FILE* out, unsigned seed) : out_(out), random_(seed) {}

  void Key(const std::string& path, int values) {
    std::fprintf(out_, "\n[%s] 1796592230\n#time=1dd85c816490488\n", path.c_str());
    for (int v = 0; v < values; ++v)
      Value(v);
  }

  void Value(int v) {
    switch (random_() % 4) {
      case 0:
        std::fprintf(out_, "\"Path%d\"=\"C:\\\\Program Files (x86)\\\\%s\\\\%u\"\n", v,
                     kWords[random_() % 24], unsigned(random_() % 100000));
        break;
      case 1:
        std::fprintf(out_, "\"Count%d\"=dword:%08x\n", v, unsigned(random_()));
        break;
      case 2:
        std::fprintf(out_, "\"Name%d\"=\"%s %s\"\n", v, kWords[random_() % 24],
                     kWords[random_() % 24]);
        break;
      default:
        std::fprintf(out_, "\"Data%d\"=hex:%02x,%02x,%02x,%02x\n", v, unsigned(random_() % 256),
                     unsigned(random_() % 256), unsigned(random_() % 256),
                     unsigned(random_() % 256));
    }
  }

  // Keys below `root` until the file reaches `bytes`.
  void Fill(const std::string& root, long bytes) {
    for (int vendor = 0; std::ftell(out_) < bytes; ++vendor) {
      for (int product = 0; product < 20 && std::ftell(out_) < bytes; ++product) {
        std::string base = root + "\\\\Vendor" + std::to_string(vendor) + "\\\\" +
                           kWords[product % 24] + std::to_string(product);
        Key(base, 2);
        for (int sub = 0; sub < 8; ++sub)
          Key(base + "\\\\" + kWords[(product + sub) % 24] + std::to_string(sub), random_() % 2);
      }
    }
  }

 private:
  std::FILE* out_;
  std::mt19937 random_;
};

std::FILE* Open(const std::string& path, const char* root) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (!out) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::fprintf(out, "WINE REGISTRY Version 2\n;; All keys relative to %s\n\n#arch=win64\n", root);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_prefix FOLDER [SYSTEM_MB [USER_MB]]\n");
    return 2;
  }
  std::string folder = argv[1];
  long systemBytes = (argc > 2 ? std::atol(argv[2]) : 20) << 20;
  long userBytes = (argc > 3 ? std::atol(argv[3]) : 2) << 20;
  ::mkdir(folder.c_str(), 0777);

  std::FILE* system = Open(folder + "/system.reg", "REGISTRY\\\\Machine");
  TWriter machine(system, 1);
  machine.Fill("Software\\\\Classes\\\\CLSID", systemBytes / 4);
  machine.Fill("Software\\\\Vendors", systemBytes / 2);
  machine.Fill("Software\\\\Wow6432Node\\\\Vendors", systemBytes - 4096);
  machine.Key("Software\\\\Wow6432Node\\\\Embarcadero\\\\BDS\\\\22.0", 0);
  std::fprintf(system,
               "\"RootDir\"=\"C:\\\\Program Files (x86)\\\\Embarcadero\\\\Studio\\\\22.0\\\\\"\n");
  machine.Key("System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment", 0);
  std::fprintf(system, "\"PATH\"=str(2):\"%%SystemRoot%%\\\\system32;%%SystemRoot%%\"\n");
  std::fclose(system);

  std::FILE* user = Open(folder + "/user.reg", "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000");
  TWriter current(user, 2);
  current.Key("Environment", 0);
  std::fprintf(user, "\"TEMP\"=str(2):\"%%USERPROFILE%%\\\\Temp\"\n");
  current.Key("Software\\\\Embarcadero\\\\BDS\\\\22.0\\\\Environment Variables", 0);
  std::fprintf(user, "\"BDS\"=\"C:\\\\Program Files (x86)\\\\Embarcadero\\\\Studio\\\\22.0\"\n");
  current.Fill("Software\\\\Vendors", userBytes);
  std::fclose(user);
  return 0;
}

#include "platform/posix/collation/IcuApi.h"

#include <dlfcn.h>

#include <string>

#include "platform/Errors.h"

#define TESSIK_ICU_STRINGIFY2(x) #x
#define TESSIK_ICU_STRINGIFY(x) TESSIK_ICU_STRINGIFY2(x)

namespace Platform::Icu {
namespace {

// Sonames of the ICU version whose headers we compiled against: the symbol suffix
// only matches that version, so no other soname is worth trying.
#define TESSIK_ICU_MAJOR TESSIK_ICU_STRINGIFY(U_ICU_VERSION_MAJOR_NUM)
#ifdef __APPLE__
constexpr const char* kUcLibrary = "libicuuc." TESSIK_ICU_MAJOR ".dylib";
constexpr const char* kI18nLibrary = "libicui18n." TESSIK_ICU_MAJOR ".dylib";
#else
constexpr const char* kUcLibrary = "libicuuc.so." TESSIK_ICU_MAJOR;
constexpr const char* kI18nLibrary = "libicui18n.so." TESSIK_ICU_MAJOR;
#endif

[[noreturn]] void Fail(const std::string& what) {
  const char* detail = dlerror();
  std::string text = "Cannot load ICU (" + what + ")";
  if (detail) text += std::string(": ") + detail;
  throw Exception(std::u16string(text.begin(), text.end()));
}

void* Open(const char* soname) {
  // The handle is kept for the life of the process: the collator outlives every caller.
  void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (!handle) Fail(soname);
  return handle;
}

template <typename F>
void Bind(void* library, const char* symbol, F& target) {
  void* address = dlsym(library, symbol);
  if (!address) Fail(symbol);
  target = reinterpret_cast<F>(address);
}

Api Load() {
  Api api{};
  void* uc = Open(kUcLibrary);
  void* i18n = Open(kI18nLibrary);
#define TESSIK_ICU_BIND_UC(name) Bind(uc, TESSIK_ICU_STRINGIFY(name), api.name);
#define TESSIK_ICU_BIND_I18N(name) Bind(i18n, TESSIK_ICU_STRINGIFY(name), api.name);
  TESSIK_ICU_UC_FUNCTIONS(TESSIK_ICU_BIND_UC)
  TESSIK_ICU_I18N_FUNCTIONS(TESSIK_ICU_BIND_I18N)
#undef TESSIK_ICU_BIND_UC
#undef TESSIK_ICU_BIND_I18N
  return api;
}

}  // namespace

const Api& Functions() {
  static const Api api = Load();
  return api;
}

}  // namespace Platform::Icu

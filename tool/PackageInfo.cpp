#include "tool/PackageInfo.h"

#include <string>

#include "tool/InstallTypes.h"
#include "tool/Output.h"

void PackageInfo() {
  for (auto code : RuntimePackageCodes)
    WriteLine(std::u16string(code) + u" r");
  for (auto code : DesignPackageCodes)
    WriteLine(std::u16string(code) + u" d");
}

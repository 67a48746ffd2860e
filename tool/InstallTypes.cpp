#include "tool/InstallTypes.h"

std::array<TDelphiInfo, kVersionCount> DelphiVersions;
std::u16string QORDir;
std::u16string QORDirShort;
std::u16string DevMode = u"Binary";
std::u16string RequestedVersion = u"All";

// The library's package tables.
#pragma once

#include <array>
#include <string_view>

/// Runtime package codes, in installation order.
inline constexpr std::array<std::u16string_view, 14> RuntimePackageCodes = {
    u"crt", u"art",  u"trt",  u"vrt",   u"frt",   u"xrt",   u"xiprt",
    u"wrt", u"wxrt", u"wsrt", u"ftsrt", u"rplrt", u"admrt", u"svcrt"};

/// Design-time package codes, in installation order.
inline constexpr std::array<std::u16string_view, 14> DesignPackageCodes = {
    u"cdt", u"adt",  u"tdt",  u"vdt",   u"fdt",   u"xdt",   u"xipdt",
    u"wdt", u"wxdt", u"wsdt", u"ftsdt", u"rpldt", u"admdt", u"edt"};

/// Package codes of the earlier product generation, removed on uninstall.
inline constexpr std::array<std::u16string_view, 9> OldRuntimePackageCodes = {
    u"CRT", u"ART", u"TRT", u"VRT", u"FRT", u"XRT", u"WRT", u"WXRT", u"WSRT"};
inline constexpr std::array<std::u16string_view, 12> OldDesignPackageCodes = {
    u"CDT", u"ADT",  u"TDT",  u"VDT", u"FDT", u"XDT",
    u"WDT", u"WXDT", u"WSDT", u"FTS", u"RPL", u"EDT"};

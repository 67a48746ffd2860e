#pragma once

/// Lists the runtime package codes (each followed by " r"), then the design-time ones (" d").
void PackageInfo();

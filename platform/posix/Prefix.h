// The Wine prefix folder that holds the emulated registry and the drive links.
#pragma once

#include <string>
#include <vector>

namespace Platform::Posix {

/// $WINEPREFIX if set; else ~/.wine when it holds a registry (system.reg); else
/// ${XDG_DATA_HOME:-~/.local/share}/tessik/prefix. The folder need not exist yet.
const std::string& PrefixFolder();

/// Maps a Windows-form path to a Unix path: drive letters through
/// <prefix>/dosdevices/<letter>: (Z: is the Unix root), backslashes to slashes, and each
/// component matched case-insensitively where the exact name does not exist. A path that
/// cannot be mapped (an unknown drive, a UNC path) gives the empty text.
std::string ToUnixPath(std::u16string_view path);

/// Shows an absolute Unix path in Windows form, through the drive that maps the longest
/// prefix of it (Z: for the root): /tmp/lib gives Z:\tmp\lib.
std::u16string ToWindowsPath(const std::string& unixPath);

/// Fixes the Windows Path that EnvironmentVariable gives for the rest of the run, as a
/// process environment is fixed when the process starts. The registry calls it before the
/// run's first change to an environment key, so the run's own writes never show in it.
void KeepEnvironmentAsAtStart();

/// The machine environment's key as a run reads it, then the key that Wine's
/// CurrentControlSet link leads to in every prefix, so that one scan can cover both.
const std::vector<std::u16string>& MachineEnvironmentKeys();

/// Forgets the kept Path, for a registry prefix taken anew.
void ForgetEnvironment();

}  // namespace Platform::Posix

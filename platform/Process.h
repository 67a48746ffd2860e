// The running process: its command line, its own file name and its environment.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Platform {

/// The complete command line as one text: the program path as typed, then the raw
/// argument text. On POSIX it is rebuilt from argv (see SetArguments).
std::u16string CommandLine();

/// POSIX: records argv for CommandLine and ProgramFileName. Windows: does nothing.
void SetArguments(int argc, char** argv);

/// The program's own file name, full path, in Windows form.
std::u16string ProgramFileName();

/// The value of an environment variable, or nothing when it is not set.
std::optional<std::u16string> EnvironmentVariable(std::u16string_view name);

}  // namespace Platform

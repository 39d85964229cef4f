// How the pickers start their outside programs: with the PATH those programs are usually found
// on (Homebrew and the usual system directories first), and, for searches whose exit status
// only says whether anything matched, a run that keeps the output whatever the status.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "core/process.hpp"

namespace vesk {

// PATH = "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:" + the old value (empty when unset or
// not valid UTF-8), for this process and every child started later.
void prepend_tool_path();

// Runs the child to its end with standard output and standard error captured and standard input
// on /dev/null, and returns standard output (lossy, untrimmed) whatever the exit status. Only a
// start failure throws (SystemError).
std::string command_output_allow_failure(const ChildCommand& command);

// A file name as a program's argument: a relative name that begins with '-' or '+' gets "./"
// before it, so that no program reads it as an option or, like vim's "+cmd", as a command.
std::string file_argument(std::string_view name);

// The first of the names that `which` finds: Debian installs bat as "batcat" and fd as "fdfind",
// so the tools look up both names, the usual one first.
std::optional<std::filesystem::path> which_first(std::initializer_list<std::string_view> names);

}  // namespace vesk

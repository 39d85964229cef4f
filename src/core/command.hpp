// Running outside programs for their output and finding programs on PATH.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/process.hpp"

namespace vesk {

// Runs the child to its end with standard output and standard error captured and standard input
// on /dev/null. Start failure: SystemError. Unsuccessful exit: Error("command failed").
// Returns standard output, decoded lossily and trimmed at both ends; standard error is dropped.
std::string command_output(const ChildCommand& command);

// The first PATH entry holding a regular file (symbolic links followed) of that name. An empty
// PATH entry stands for the working directory. No execute-permission test. PATH unset: nothing.
std::optional<std::filesystem::path> which(std::string_view program);

// The program running now, symbolic links resolved; empty with `ec` set when it cannot be told.
std::filesystem::path current_exe(std::error_code& ec);

// Succeeds when `which` finds the program or a regular file of that name lies in the working
// directory; otherwise throws Error(message), the caller's words unchanged.
void require_command(std::string_view program, const std::string& message);

}  // namespace vesk

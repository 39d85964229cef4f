// Running outside programs for their output, finding programs on PATH, and the PATH the tools
// expect (Homebrew and the usual system directories first).
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

// Same capture, but returns standard output (lossy, untrimmed) whatever the exit status.
// Only a start failure throws.
std::string command_output_allow_failure(const ChildCommand& command);

// The first PATH entry holding a regular file (symbolic links followed) of that name. An empty
// PATH entry stands for the working directory. No execute-permission test. PATH unset: nothing.
std::optional<std::filesystem::path> which(std::string_view program);

// Succeeds when `which` finds the program or a regular file of that name lies in the working
// directory; otherwise throws Error(message), the caller's words unchanged.
void require_command(std::string_view program, const std::string& message);

// PATH = "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:" + the old value (empty when unset or
// not valid UTF-8), for this process and every child started later.
void prepend_tool_path();

// Context messages for setup's installation steps (wrap the system error with these).
std::string move_aside_failed(const std::filesystem::path& from, const std::filesystem::path& to);
std::string symlink_failed(const std::filesystem::path& link, const std::filesystem::path& target);
std::string copy_failed(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace vesk

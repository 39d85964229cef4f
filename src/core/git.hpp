// Asking git about a directory. These never fail: no git or no repository falls back.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vesk {

// `git -C dir <args>` through command_output (trimmed standard output); none when git is missing
// or the command fails.
std::optional<std::string> git_output(const std::filesystem::path& dir, std::vector<std::string> args);

// `git -C dir rev-parse --show-toplevel`, or the directory itself when that gives nothing.
std::filesystem::path git_root_or(const std::filesystem::path& dir);

}  // namespace vesk

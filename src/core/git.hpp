// Asking git about a directory. These never fail: no git or no repository falls back.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vesk {

// `git -C dir rev-parse --show-toplevel`, or the directory itself when that gives nothing.
std::filesystem::path git_root_or(const std::filesystem::path& dir);

// The project name: the first line of <top>/.project, else the last component of the origin URL
// without trailing ".git"s; none when neither gives a name.
std::optional<std::string> detect_git_project(const std::filesystem::path& dir);

}  // namespace vesk

// The project a directory belongs to, as the staging area files its questions under.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vesk {

// The project name: the first line of <top>/.project, else the last component of the origin URL
// without trailing ".git"s; none when neither gives a name. Never fails.
std::optional<std::string> detect_git_project(const std::filesystem::path& dir);

}  // namespace vesk

// The context setup attaches to the system error of a failed installation step.
#pragma once

#include <filesystem>
#include <string>

namespace vesk {

std::string move_aside_failed(const std::filesystem::path& from, const std::filesystem::path& to);
std::string symlink_failed(const std::filesystem::path& link, const std::filesystem::path& target);
std::string copy_failed(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace vesk

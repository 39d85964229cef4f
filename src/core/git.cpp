#include "core/git.hpp"

#include "core/command.hpp"

namespace vesk {

std::optional<std::string> git_output(const std::filesystem::path& dir, std::vector<std::string> args) {
    ChildCommand git("git", {"-C", dir.native()});
    for (auto& a : args) git.arg(std::move(a));
    try {
        return command_output(git);
    } catch (const std::exception&) {
        return std::nullopt;  // no git, not a repository, no such key: the callers fall back
    }
}

std::filesystem::path git_root_or(const std::filesystem::path& dir) {
    auto top = git_output(dir, {"rev-parse", "--show-toplevel"});
    if (top && !top->empty()) return *top;
    return dir;
}

}  // namespace vesk

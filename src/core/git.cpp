#include "core/git.hpp"

#include "core/command.hpp"
#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk {

namespace {

std::optional<std::string> git_text(const std::filesystem::path& dir, std::vector<std::string> args) {
    ChildCommand git("git", {"-C", dir.native()});
    for (auto& a : args) git.arg(std::move(a));
    try {
        return command_output(git);
    } catch (const std::exception&) {
        return std::nullopt;  // no git, not a repository, no such key: the callers fall back
    }
}

}  // namespace

std::filesystem::path git_root_or(const std::filesystem::path& dir) {
    auto top = git_text(dir, {"rev-parse", "--show-toplevel"});
    if (top && !top->empty()) return *top;
    return dir;
}

std::optional<std::string> detect_git_project(const std::filesystem::path& dir) {
    if (auto top = git_text(dir, {"rev-parse", "--show-toplevel"})) {
        try {
            std::string text = read_file(std::filesystem::path(*top) / ".project");
            if (is_valid_utf8(text)) {
                auto lines = split_lines(text);
                if (!lines.empty()) {
                    std::string name(trim(lines.front()));
                    if (!name.empty()) return name;
                }
            }
        } catch (const std::exception&) {
            // No readable .project: the origin URL names the project.
        }
    }
    auto url = git_text(dir, {"config", "--get", "remote.origin.url"});
    if (!url) return std::nullopt;
    std::string_view name = trim(*url);
    if (size_t slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
    while (name.ends_with(".git")) name.remove_suffix(4);
    if (name.empty()) return std::nullopt;
    return std::string(name);
}

}  // namespace vesk

#include "agent/git_project.hpp"

#include "core/files.hpp"
#include "core/git.hpp"
#include "core/text.hpp"

namespace vesk {

std::optional<std::string> detect_git_project(const std::filesystem::path& dir) {
    // Without a readable .project naming it, the origin URL names the project.
    if (auto top = git_output(dir, {"rev-parse", "--show-toplevel"})) {
        if (auto text = read_text_if_any(std::filesystem::path(*top) / ".project")) {
            auto lines = split_lines(*text);
            if (!lines.empty()) {
                std::string name(trim(lines.front()));
                if (!name.empty()) return name;
            }
        }
    }
    auto url = git_output(dir, {"config", "--get", "remote.origin.url"});
    if (!url) return std::nullopt;
    std::string_view name = trim(*url);
    if (size_t slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
    while (name.ends_with(".git")) name.remove_suffix(4);
    if (name.empty()) return std::nullopt;
    return std::string(name);
}

}  // namespace vesk

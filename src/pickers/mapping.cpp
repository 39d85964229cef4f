#include "pickers/mapping.hpp"

#include <system_error>

#include "config/places.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "pickers/filter_edit.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

std::optional<fs::path> choose_mapping_file(const MappingFacts& facts) {
    if (facts.file) return fs::path(*facts.file);
    if (facts.workspace_marker && facts.workspace_exists) return facts.workspace_file;
    if (facts.inside_tmux) {
        std::optional<fs::path> root = facts.installed_root();
        if (!root) return std::nullopt;
        return *root / "doc" / "MAPPING.md";
    }
    if (facts.workspace_exists) return facts.workspace_file;
    return facts.configured_root / "doc" / "MAPPING.md";
}

void mapping_popup(const MappingPopupArgs& args) {
    const config::Environment env = config::Environment::current();
    MappingFacts facts;
    facts.file = args.file;
    // Without HOME the path stays relative: ".config/vesk-term/MAPPING.md" in the working directory.
    facts.workspace_file = fs::path(env.home.value_or("")) / ".config" / kWorkspaceDir / "MAPPING.md";
    facts.workspace_marker = env_var(kWorkspaceMarker) == "1";
    std::error_code ec;
    facts.workspace_exists = fs::is_regular_file(facts.workspace_file, ec);
    facts.inside_tmux = inside_tmux();
    facts.installed_root = []() -> std::optional<fs::path> {
        if (auto zelt = Tmux().option("@zelt")) return fs::path(*zelt);
        return std::nullopt;
    };
    facts.configured_root = config::current_for(env, std::nullopt).root;
    std::optional<fs::path> file = choose_mapping_file(facts);
    if (!file) throw Exit99();
    finder_filter_edit(FinderFileArgs{file->native()});
}

}  // namespace vesk::pickers

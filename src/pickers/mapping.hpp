// The key-mapping popup (`vesk mapping popup`): the distribution's key map opened in filter-edit.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace vesk::pickers {

struct MappingPopupArgs {
    std::optional<std::string> file;
};

// Chooses the key-mapping document and hands it to filter-edit; filter-edit's result is its own.
void mapping_popup(const MappingPopupArgs& args);

// The alternative terminal workspace keeps its own key map in $HOME/.config/vesk-term/MAPPING.md
// and marks its shells with VESK_TERM=1.
inline constexpr const char* kWorkspaceDir = "vesk-term";
inline constexpr const char* kWorkspaceMarker = "VESK_TERM";

// What the choice depends on. `installed_root` is asked only when the rules reach it (inside
// tmux): it reads @zelt.
struct MappingFacts {
    std::optional<std::string> file;         // the FILE argument
    std::filesystem::path workspace_file;    // the workspace's MAPPING.md
    bool workspace_marker = false;           // the marker variable is exactly "1"
    bool workspace_exists = false;           // the workspace file is a regular file
    bool inside_tmux = false;
    std::function<std::optional<std::filesystem::path>()> installed_root;
    std::filesystem::path configured_root;   // the root the configuration commands use
};

// The first rule that applies: FILE; the workspace file when marked and present; inside tmux the
// installed <@zelt>/doc/MAPPING.md (nothing, meaning a quiet end, without @zelt); the workspace
// file when present; else <configured root>/doc/MAPPING.md.
std::optional<std::filesystem::path> choose_mapping_file(const MappingFacts& facts);

}  // namespace vesk::pickers

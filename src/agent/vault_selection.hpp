// Turning a line of the vault picker back into a file: a deep-search hit "path:line:text", an
// index or recent line "dir | name | title", or a vault root.
//
// Names may hold ':' and '|' themselves. Where a line splits more than one way, the split naming
// an existing item file wins; without one, the plain split (at the first ':' or at every '|')
// stands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "agent/quillbox.hpp"

namespace vesk::agent {

// Whether a path relative to the vault root names an item file.
using ItemExists = std::function<bool(std::string_view rel)>;
// The real test: <root>/<rel> is a regular file (links followed).
ItemExists item_file_under(const std::filesystem::path& root);

struct DeepHit {
    std::string rel;                   // the path before the line number
    std::optional<std::uint64_t> line; // none when the line has no number after it
};
// A deep-search line split into its path and line number.
DeepHit split_deep_line(std::string_view line, const ItemExists& exists);

// The relative path an index or recent line names (see parse_index_line_for_path).
std::optional<std::string> index_line_rel(std::string_view line, const ItemExists& exists);

struct DeepSelection {
    std::filesystem::path path;
    std::optional<std::uint64_t> line;
};
// The file and line of a deep-search line, joined onto the root (the root itself for "").
DeepSelection parse_deep_selection(const std::filesystem::path& root, std::string_view line);

// The item file a deep-search, index-search or recent-search line names, with the line number of
// a deep-search hit: nothing for any other mode, for a line that names no path, and for a path
// that vault_item_path refuses (absolute, climbing out with "..", or through /proc's per-process
// links). What the preview shows and Enter runs.
std::optional<DeepSelection> picked_item(const std::filesystem::path& root, std::string_view mode,
                                         std::string_view line);

// The file a picker selection names for delete-item and open-in-finder: nothing when the mode
// file is not a regular file, the selection is empty or the mode has no files; a mode file that
// cannot be read is the error.
std::optional<std::filesystem::path> path_from_mode_selection(const std::filesystem::path& root,
                                                             const QuillboxModeSelectionArgs& args);

// The selection words joined with one blank (fzf hands a line over as one word; a shell may split it).
std::string joined_selection(const QuillboxModeSelectionArgs& args);

}  // namespace vesk::agent

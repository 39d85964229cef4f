// The candidate lines of the vault picker, one function per list mode (`quillbox list`).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "agent/text.hpp"

namespace vesk::agent {

// index-search: "dir | name | title" of every indexed file once (its newest line), newest first,
// filtered by `filter` (the empty text when the filter prints its lines itself).
std::string list_index_search(const std::filesystem::path& root, LineFilter& filter);
// deep-search: ripgrep hits "path:line:text" newest file first; with an empty query the item
// paths. Hits in .git, .index and .recent are left out, as are the ignore patterns.
std::string list_deep_search(const std::filesystem::path& root, const std::vector<std::string>& patterns,
                             std::string_view query);
// recent-search: "dir | name | first line" of the items run, most recent first, each once,
// filtered as index-search is.
std::string list_recent_search(const std::filesystem::path& root, LineFilter& filter);
// file-move: ".", then every folder of the vault relative to the root, sorted; with a query,
// those it matches.
std::string list_file_move(const std::filesystem::path& root, std::string_view query);

// vault-select: the lines of <zelt>/lists/quillbox.list (created holding `current` when missing
// or empty); with a query, those containing it (case ignored) or "[No matching vaults]".
std::string quillbox_list_vaults(const std::filesystem::path& zelt, std::string_view current, std::string_view query);

}  // namespace vesk::agent

// The vault (`vesk quillbox`): prompts and snippets under a vault root, with an index, a picker
// and the operations that run, edit, move and delete items.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vesk::agent {

enum class QuillboxListMode { IndexSearch, DeepSearch, VaultSelect, RecentSearch, FileMove };

struct QuillboxListArgs {
    QuillboxListMode mode = QuillboxListMode::IndexSearch;
    std::optional<std::string> query;
};
struct QuillboxFileArgs {
    std::string file;
};
struct QuillboxCreateNamedArgs {
    std::vector<std::string> raw;
};
struct QuillboxEditArgs {
    std::string file;
    std::vector<std::string> extra_args;
};
struct QuillboxModeSelectionArgs {
    std::string mode_file;
    std::vector<std::string> selection;
};
struct QuillboxMoveArgs {
    std::string source_file;
    std::string target_dir;
    std::string index_file;
    std::string qbox_root;
};
struct QuillboxOpenArgs {
    std::optional<std::string> target_pane;
    std::optional<std::string> target_command;
};
struct QuillboxRunFzfArgs {
    std::string mode_file;
    std::string query_file;
    std::string source_file;
    std::string prev_mode_file;
};

}  // namespace vesk::agent

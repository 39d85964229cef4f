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

// Handlers of the vault's commands. Each needs tmux ("tmux 세션에서만 실행할 수 있습니다." and status 1
// outside it) except `move-item`; the vault root comes from qbox_root (agent/vault_root.hpp).

// `quillbox build-index`: rewrites <root>/.index from a walk of the vault (Exit99 without @zelt).
void quillbox_build_index();
// `quillbox update-index FILE`: appends FILE's line when it is a regular file inside the vault.
void quillbox_update_index(const QuillboxFileArgs& args);
// `quillbox list MODE [QUERY]`: the picker's candidate lines of one mode.
void quillbox_list(const QuillboxListArgs& args);
// `quillbox preview MODE_FILE SELECTION...`: the preview of a picker line (no tmux needed).
void quillbox_preview(const QuillboxModeSelectionArgs& args);
// `quillbox execute-item FILE`: runs the item into the target pane ($QBZ_TARGET_PANE).
void quillbox_execute_item(const QuillboxFileArgs& args);
// `quillbox create-named RAW...`: creates (never truncates) an item and prints its path.
void quillbox_create_named(const QuillboxCreateNamedArgs& args);
// `quillbox move-item SOURCE_FILE TARGET_DIR INDEX_FILE QBOX_ROOT`: moves an item to another
// folder of the vault without replacing anything, and prints its new relative path.
void quillbox_move_item(const QuillboxMoveArgs& args);
// `quillbox delete-item MODE_FILE SELECTION...`: moves one item file to the trash (or removes it).
void quillbox_delete_item(const QuillboxModeSelectionArgs& args);
// `quillbox open-in-finder MODE_FILE SELECTION...`: reveals the item with `open -R`.
void quillbox_open_in_finder(const QuillboxModeSelectionArgs& args);
// `quillbox edit-with-vim FILE [EXTRA_ARGS...]`: edits the item in vim with the vault's vim
// script; ends with 10 when the item was run from vim, else with vim's exit code.
void quillbox_edit_with_vim(const QuillboxEditArgs& args);
// `quillbox create-vault`: edits a new item in inbox/, named by the time; ends as edit-with-vim.
void quillbox_create_vault();
// `quillbox import-list`: picks an indexed item with fzf and prints its path (status 1 for none).
void quillbox_import_list();
// `quillbox open`: the vault picker, run until an item runs or the user leaves.
void quillbox_open(const QuillboxOpenArgs& args);
// `quillbox run-fzf`: one pass of the picker over the given state files, printed
// "MODE|KEY|SELECTION"; nothing when the user left.
void quillbox_run_fzf_command(const QuillboxRunFzfArgs& args);

}  // namespace vesk::agent

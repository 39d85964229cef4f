// The vault picker: fzf over `quillbox list`, its key bindings, one pass and the loop that acts
// on each pass (run, edit, switch vaults, create, move).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "agent/quillbox.hpp"
#include "agent/vault_selection.hpp"

namespace vesk::agent {

// The key that makes a new item in inbox/. fzf cannot tell ctrl-i from tab (the terminal sends
// one byte for both), so the new-item key is ctrl-b.
inline constexpr const char* kNewVaultItemKey = "ctrl-b";

// The selection that stands for "a new item" in create-vault mode.
inline constexpr const char* kNewVaultSelection = "__NEW_VAULT__";

// What one pass gives back: the mode it ended in, the --expect key ("" for Enter, "alt-enter")
// and the chosen line (the query in create-named mode).
struct QuillboxPass {
    std::string mode;
    std::string key;
    std::string selection;
    bool operator==(const QuillboxPass&) const = default;
};

// fzf's arguments for one pass. `bin` is the program path quoted for the shell; the state files
// are quoted here. Every fzf placeholder stands bare: fzf quotes what it puts there.
std::vector<std::string> quillbox_fzf_args(std::string_view bin, const QuillboxRunFzfArgs& files);

// A pass read from fzf's standard output, the mode file's text and the query file's text; nothing
// when the user left without a choice.
std::optional<QuillboxPass> read_quillbox_pass(std::string_view out, const std::string& mode, const std::string& query);

// The item a move starts from, relative to the root: the line remembered by alt-m read in the
// mode it was taken in; nothing when it names none.
std::optional<std::string> quillbox_move_source(std::string_view prev_mode, std::string_view line,
                                                const ItemExists& exists);

// Whether a vault-select line is a vault root, not the list's notice that nothing matched.
bool is_vault_choice(std::string_view line);

// One pass of the picker over its state files: fzf on the terminal, its choice read back. fzf's
// own failure (a bad option, no terminal) is an error, never a cancel.
std::optional<QuillboxPass> quillbox_run_fzf(const QuillboxRunFzfArgs& files);

// Passes until an item runs or the user leaves.
void quillbox_open_loop(const QuillboxRunFzfArgs& files);

}  // namespace vesk::agent

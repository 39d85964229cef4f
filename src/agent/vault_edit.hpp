// Editing vault items in vim: the vault's own vim script (WQ runs the item on saving, <leader>o
// imports another item's text), the edit itself and what happens to the index afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vesk::agent {

// The exit code of an edit after which the item ran: the picker then closes.
inline constexpr int kQuillboxExecuted = 10;

// The vault vim script: `sentinel` receives the word execute when the user leaves with WQ or
// wq!; `bin` is the program that <leader>o calls for `quillbox import-list`.
std::string quillbox_vim_script(const std::filesystem::path& sentinel, const std::string& bin);

// vim's arguments for an edit: the base vimrc, the script, the file, then the extra words. The
// script's path must hold only plain characters (vim reads it as Ex command text).
std::vector<std::string> quillbox_vim_args(const std::filesystem::path& base, const std::filesystem::path& script,
                                           const std::filesystem::path& file,
                                           const std::vector<std::string>& extra_args);

// Runs `BIN quillbox edit-with-vim PATH [+LINE]` on the terminal and waits: its exit code, 1 when
// a signal ended it.
int run_quillbox_vim(const std::filesystem::path& path, std::optional<std::uint64_t> line);

// An item made just before the edit that is still empty afterwards (vim was left without
// writing): the file goes, and so do the index lines naming it. Anything else stays.
void discard_untouched_item(const std::filesystem::path& root, const std::filesystem::path& file);

}  // namespace vesk::agent

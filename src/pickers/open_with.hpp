// Open-with, the finder's last step (`vesk finder open-with`): the user's list of commands
// (lists/find-file-and-exec.list) offered in fzf, and the chosen one run on the file the finder
// stored, typed into the origin pane when that pane runs a shell, else in a new split.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tmux/tmux.hpp"

namespace vesk::pickers {

struct OpenWithEntry {
    std::string keyword;  // the label shown in the picker
    std::string command;  // never empty
    bool operator==(const OpenWithEntry&) const = default;
};

// One entry per line "keyword | command": split at the first '|', both sides trimmed; lines
// without '|' or with an empty command are skipped; an empty keyword is the command.
std::vector<OpenWithEntry> parse_open_with_entries(std::string_view text);

// "keyword<padding> | command<TAB>command\n" per entry, keywords padded to the longest one
// (counted in characters): fzf shows the first field and the second carries the command.
std::string open_with_picker_lines(const std::vector<OpenWithEntry>& entries);

// fzf's arguments; a known last command becomes the initial query.
std::vector<std::string> open_with_fzf_args(const std::optional<std::string>& last);

// What the user did in the picker, read from fzf's --expect output.
struct OpenWithPick {
    enum class Kind { Cancel, EditList, Again, Run };
    Kind kind = Kind::Cancel;
    std::string command;  // for Run
};
OpenWithPick read_open_with_pick(std::string_view fzf_output);

// The picker over the list at `list`; ctrl-n edits the list with `editor` and shows it again.
// Nothing when the user cancelled.
std::optional<std::string> select_open_with_cmd(const std::string& editor, const std::filesystem::path& list,
                                                const std::optional<std::string>& last);

// Where the command runs and how it names the file: the file's git top level and the file relative
// to it, else the finder's directory (else the file's own directory) and the file as stored.
struct ExecRoot {
    std::filesystem::path dir;
    std::string file;
};
ExecRoot open_with_exec_root(const std::filesystem::path& file, const std::string& pane_path);

// "COMMAND 'FILE'", or for code and code-insiders "COMMAND -r 'DIR' -g 'FILE'". A relative file
// that begins with '-' or '+' is written "./FILE", so that no command takes it for an option.
// With a line (a content hit), vim, nvim, vi and view get "+N" before the file.
std::string open_with_command_line(std::string_view command, const std::filesystem::path& dir, std::string_view file,
                                   std::optional<std::uint64_t> line = std::nullopt);
// Whether the command's program (vim, nvim, vi, view) opens a file at a line given as "+N".
bool opens_at_line(std::string_view command);

// Unsets the @find_exec_* options of one finder run (not @find_exec_last_entry); failures ignored.
void cleanup_find_exec_options(const Tmux& tmux);

}  // namespace vesk::pickers

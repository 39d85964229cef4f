// What the note commands do to the note directory: list its files, search their content with
// ripgrep, find the note a selected line names, remove it and show it in the file manager.
// Shared by the note commands that fzf calls back and by the note pickers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pickers/note.hpp"
#include "pickers/note_lines.hpp"

namespace vesk::pickers {

// The files below the working directory as the first lister found prints them ("./a.md"):
// `rg --files`, else fd (or fdfind), else `find . -type f`; hidden files only when asked (find
// lists them always). Whatever the exit status; a lister that cannot start throws.
std::vector<std::string> note_files(bool include_hidden);

// The files below `dir`, hidden and ignored ones included, each as the lister printed it (under
// the directory's text, which is `dir` itself unless find needed "./" before it). `listed_dir`
// receives that text.
std::vector<std::string> note_files_below(const std::string& dir, std::string& listed_dir);

// ripgrep's hits of the query (a pattern, never an option) in "." of `cwd` (the working directory
// when none), with `extra` arguments before the query. Nothing when rg is not on PATH; a rg that
// cannot start throws.
std::optional<std::vector<NoteContentHit>> rg_content_hits(std::string_view query, const std::vector<std::string>& extra,
                                                           const std::optional<std::string>& cwd = std::nullopt);

// The note a picker's binding names with ROOT_DIR_FILE, MODE_FILE and the selected line's words.
struct NoteTarget {
    std::filesystem::path root;
    std::filesystem::path path;
    std::optional<std::uint64_t> line;
};
// Nothing when the root file cannot be read or names no directory, or the selection is empty.
std::optional<NoteTarget> note_file_and_line_from_args(const NoteSelectionArgs& args);

// Removes the note when it is a regular file; anything else is left alone (false). A path whose
// directory lies outside the note directory `root` (an absolute selection, "..", a linked
// directory) is refused with an error: a picker removes notes and nothing else.
bool remove_note_file(const std::filesystem::path& root, const std::filesystem::path& path);

// `open -R PATH` in the foreground when open is on PATH (its status ignored); otherwise the
// message "open 명령을 찾을 수 없습니다.".
void reveal_note_path(const std::filesystem::path& path);

// `tmux display-message` (tmux by name) with the message as written; failures are ignored.
void display_note_popup(std::string_view message);

}  // namespace vesk::pickers

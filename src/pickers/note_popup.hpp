// The notes popup (`note open`, `note popup`) and the note pickers (`note popup`'s picker and
// `note select`, which vim calls on <Leader>o): the pieces behind the handlers in note.hpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::pickers {

// One line of lists/note-dir.list: "label | keyword | path".
struct NoteDirEntry {
    std::string label;
    std::string keyword;
    std::string path;  // as written (may start with "~")
    bool operator==(const NoteDirEntry&) const = default;
};

// Lines split at their first two '|', each part trimmed; a line with fewer than two '|' or an
// empty path is skipped; an empty label is the keyword.
std::vector<NoteDirEntry> parse_note_dir_entries(std::string_view text);
// "label<padding> | path<TAB>keyword<TAB>path\n" per entry, labels padded to the longest
// (counted in characters).
std::string note_dir_picker_lines(const std::vector<NoteDirEntry>& entries);
std::vector<std::string> note_dir_fzf_args();

// What the user did in the directory picker, read from fzf's --expect output.
struct NoteDirPick {
    enum class Kind { Cancel, EditList, Again, Chosen };
    Kind kind = Kind::Cancel;
    std::string keyword;
    std::string path;
};
NoteDirPick read_note_dir_pick(std::string_view fzf_output);

// The directory picker over the list; ctrl-n edits the list with `editor`. Nothing on cancel.
std::optional<NoteDirEntry> select_note_dir(const std::string& editor, const std::filesystem::path& list);

// The two note pickers: the popup's (ctrl-n makes a new note) and `note select`'s.
enum class NotePicker { Popup, Select };
// fzf's arguments; the bindings reach the directory, the program and the state files through the
// variables the picker sets for fzf, never through text written into them.
std::vector<std::string> note_picker_fzf_args(NotePicker picker);

struct NoteChoice {
    std::filesystem::path path;
    std::optional<std::uint64_t> line;
};
// The picker loop over `dir` (deletes, reveals and mode toggles keep it open). Nothing when the
// user left it (esc, ctrl-c); its state files are gone by the time it returns.
std::optional<NoteChoice> run_note_picker(const std::filesystem::path& dir, NotePicker picker);

// "<dir>/<local time as %Y-%m-%d_%H-%M-%S>.md".
std::filesystem::path new_note_path(const std::filesystem::path& dir, std::string_view stamp);

// The vim script of a note session: g:note_dir, g:note_vesk, PATH, vim's directory following the
// buffer, and <Leader>o inserting a note picked with `note select` at the cursor.
std::string note_vim_script(const std::filesystem::path& dir, const std::string& program);

// The command's program on the note: vim and nvim with the session's vimrc and script (and "+N"
// for a line), anything else on the file (created empty when missing). Then the pane is closed.
void run_note_open_with(const std::filesystem::path& vimrc, const std::filesystem::path& dir,
                        const std::filesystem::path& file, std::optional<std::uint64_t> line,
                        const std::string& command);

// The program's arguments for vim or nvim: the command's other words, "+N", the vimrc and the
// script, then the file.
std::vector<std::string> note_vim_args(const std::vector<std::string>& words, std::optional<std::uint64_t> line,
                                       const std::filesystem::path& vimrc, const std::filesystem::path& script,
                                       const std::filesystem::path& file);

}  // namespace vesk::pickers

// Notes (`vesk note`): the notes popup and picker, and the listing, search and preview commands
// its fzf bindings call back.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vesk::pickers {

struct NoteOpenArgs {
    std::string mode = "pane";
};
struct NoteSelectArgs {
    std::string dir;
};
struct NoteListArgs {
    std::string mode_file;
    std::optional<std::string> query;
};
struct NoteSelectionArgs {
    std::string root_dir_file;
    std::string mode_file;
    std::vector<std::string> selection;
};
struct NoteModeFileArgs {
    std::string mode_file;
};
struct NoteSearchContentArgs {
    std::string dir;
    std::optional<std::string> query;
};

// `note open [MODE]` (prefix C-n): the notes pane, a split ("pane") or a window ("window"), in the
// current pane's directory, running `note popup`.
void note_open(const NoteOpenArgs& args);
// `note popup`: a note directory from lists/note-dir.list, a note picked by name or content, a
// command from lists/find-file-and-exec.list, and the note opened with it in this pane.
void note_popup();
// `note select DIR` (vim's <Leader>o): a note picked under DIR, its path printed.
void note_select(const NoteSelectArgs& args);

// `note list MODE_FILE [QUERY]`, run in the note directory: the mode header, then the files whose
// names match the query (file-name mode) or ripgrep's hits of the query as
// "file<TAB>line<TAB>text" (content mode). Names are written as note_lines.hpp describes.
void note_list_command(const NoteListArgs& args);
// Flips the mode file between "filename" and "content" and prints the new mode.
void note_toggle_mode(const NoteModeFileArgs& args);
// The selected note around its line: bat when found, else numbered lines.
void note_preview(const NoteSelectionArgs& args);
// Removes the selected note when it is a regular file in the note directory.
void note_delete(const NoteSelectionArgs& args);
// Shows the selected note in the file manager when it exists.
void note_reveal(const NoteSelectionArgs& args);
// A content line on standard input printed as "file<TAB>line", or nothing when it does not parse.
void note_parse_mf_line();
// `note search-content DIR [QUERY]`: "rel:line:text<TAB>path<TAB>line" for every hit of the query,
// or "rel<TAB>path<TAB>0" for every file without one.
void note_search_content_command(const NoteSearchContentArgs& args);

}  // namespace vesk::pickers

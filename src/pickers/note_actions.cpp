// The note commands that act on the selected note: delete, reveal, and the content-line parser
// for shell scripts.
#include <cstdio>
#include <string>
#include <unistd.h>

#include "core/files.hpp"
#include "pickers/note.hpp"
#include "pickers/note_files.hpp"
#include "pickers/note_lines.hpp"

namespace vesk::pickers {

void note_delete(const NoteSelectionArgs& args) {
    if (auto target = note_file_and_line_from_args(args)) remove_note_file(target->root, target->path);
}

void note_reveal(const NoteSelectionArgs& args) {
    auto target = note_file_and_line_from_args(args);
    std::error_code ec;
    if (target && std::filesystem::exists(std::filesystem::symlink_status(target->path, ec))) {
        reveal_note_path(target->path);
    }
}

void note_parse_mf_line() {
    std::string text = read_all(STDIN_FILENO);
    while (text.ends_with('\n')) text.pop_back();
    auto parsed = parse_note_mf_line(text);
    // The answer is "file<TAB>line" on one line: a name holding a TAB or a line feed cannot be
    // written so and is not answered rather than answered as another file.
    if (!parsed || parsed->file.find_first_of("\t\n") != std::string::npos) return;
    std::string out = parsed->file + "\t" + parsed->line + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

}  // namespace vesk::pickers

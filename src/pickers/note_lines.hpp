// The lines the note pickers show and read back: the mode header, file and content-hit lines, and
// the rules that turn a selected line into a file and a line number. Pure text work; the commands
// that list, search and act on notes are in note_files.hpp and note.hpp.
//
// A note's name is written into a line in one escaped form: '\' as "\\", TAB as "\t", line feed
// as "\n", carriage return as "\r", and every other control byte and every byte that is not UTF-8
// as "\xHH". A line is then always one line with TAB-separated fields whatever the name holds,
// and the readers below give back the name byte for byte. Every other character ("'", '"', '$',
// ':', '#', Hangul...) is shown as it is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::pickers {

// The first line of `note list`: "[모드: 📝 내용 검색] C-t로 전환 →" for "content", the file-name
// header for any other mode.
std::string note_list_header(std::string_view mode);

std::string encode_note_name(std::string_view name);
// encode_note_name appended to `out`: a long listing is written without a string per name.
void append_note_name(std::string& out, std::string_view name);
// The inverse of encode_note_name; a backslash that starts no known escape stays as it is.
std::string decode_note_name(std::string_view text);

// A content line split by the shared rule: one pair of surrounding single quotes removed (fzf's
// quoting of {}), then at least two TABs; the file (decoded) and the line field as written.
struct NoteMfLine {
    std::string file;
    std::string line;
};
std::optional<NoteMfLine> parse_note_mf_line(std::string_view text);

// The file a selected line names, before it is joined to the root: in mode "content" the file of
// the content rule (else the text before the first TAB); in any other mode the whole line (or,
// with `first_field_only`, the text before the first TAB). Decoded, trailing '/' and leading "./"
// removed; nothing for a line that names no file.
std::optional<std::string> note_selection_file(std::string_view mode, std::string_view line,
                                               bool first_field_only = false);
// A file text joined to the root unless it is absolute.
std::filesystem::path note_path_in(const std::filesystem::path& root, const std::string& file);

// The path a selected line names: note_selection_file joined to the root. The path need not exist.
std::optional<std::filesystem::path> note_selection_path(const std::filesystem::path& root, std::string_view mode,
                                                         std::string_view line);

// One hit of `rg --null --line-number -H`: the file as rg printed it, the line number and the text.
struct NoteContentHit {
    std::string file;
    std::string line;
    std::string text;
};
// Reads rg's "file NUL line:text LF" records; a record that does not have that shape is skipped.
// The NUL ends the file name, so a name holding ':' or a line feed comes through whole.
std::vector<NoteContentHit> parse_rg_null_hits(std::string_view output);
// The entries of a NUL-separated listing (`rg --files --null`, `fd --print0`, `find -print0`).
std::vector<std::string> split_nul_entries(std::string_view output);

// "file<TAB>line<TAB>text" and a line feed, the file encoded.
std::string note_content_line(const NoteContentHit& hit);

// Lines of `note search-content`: "rel:line:text<TAB>path<TAB>line" for a hit under `dir`, and
// "rel<TAB>path<TAB>0" for a listed file; both ending with a line feed, names encoded.
std::string search_content_hit_line(const std::string& dir, const NoteContentHit& hit);
std::string search_content_file_line(const std::string& dir, const std::string& listed);

}  // namespace vesk::pickers

// Text helpers shared by the pickers, the vault and the staging area: lossy UTF-8, lines,
// Unicode trimming and lower-casing, display columns, matching, filtering and sorting lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// Bytes as UTF-8 text, every invalid sequence replaced by U+FFFD (maximal subparts, like
// the usual lossy decoders).
std::string lossy_utf8(std::string_view bytes);
bool is_valid_utf8(std::string_view bytes);
// The lossy text of a path.
std::string path_text(const std::filesystem::path& path);
// Code points of the text, decoded lossily; and one code point appended as UTF-8.
std::u32string decode_utf8(std::string_view text);
void append_utf8(std::string& out, char32_t c);

// Lines split at \n; a \r before the \n goes with it; a final line without \n counts; a text
// ending in \n has no empty last line.
std::vector<std::string> split_lines(std::string_view text);
// Pieces between \n as they are (a \r stays), an empty last piece after a final \n: line i is
// line i + 1 of the text, as tmux numbers its configuration lines.
std::vector<std::string_view> split_at_line_feeds(std::string_view text);

// Unicode white space (the White_Space property).
bool is_unicode_space(char32_t c);
std::string_view trim(std::string_view text);
std::string_view trim_start(std::string_view text);
std::string_view trim_end(std::string_view text);
// Empty after trimming.
bool is_blank(std::string_view text);

// Full Unicode lower-case mapping (U+0130 becomes two characters, a final sigma becomes ς).
std::string to_lower(std::string_view text);
// A character with the Unicode upper-case property.
bool is_upper(char32_t c);

// Columns: 2 in the wide ranges (Hangul, CJK, full-width forms...), 1 for every other character.
std::size_t display_width(std::string_view text);
// The text padded with blanks to `width` columns; never cut.
std::string pad_display(std::string_view text, std::size_t width);

// Every white-space separated term of the query is a case-insensitive subsequence of the
// candidate (each term searched from the candidate's start). An empty query matches.
bool subsequence_match(std::string_view query, std::string_view candidate);
// Substring test, case-sensitive only when the needle holds an upper-case character.
bool smart_case_contains(std::string_view haystack, std::string_view needle);

// Lines of `text` matching `query`: those `fzf -f` prints, in its order, when fzf is on PATH (worked
// out in this process, see core/fzf_filter), else a case-insensitive substring filter. The result
// ends with \n unless empty.
std::string filter_lines(std::string_view text, std::string_view query);
// The same over lines already split (without their line ends); an empty query keeps them all.
std::string filter_line_views(std::span<const std::string_view> lines, std::string_view query);
// Lines ordered by `sort` (the user's locale), or byte-wise when sort is missing or fails.
std::vector<std::string> sort_like_shell(std::vector<std::string> lines);
// Lines joined with \n (or `empty_text` for none), ended with \n unless empty.
std::string lines_with_newline(const std::vector<std::string>& lines, std::string_view empty_text);

// 1-based, inclusive.
struct LineRange {
    std::size_t first = 1;
    std::size_t last = 1;
};
// Prints a window of the file on standard output: through bat (batcat on Debian) when it is on
// PATH, else numbered like `cat -n` (lines 1-40 when no range is given).
void show_range(const std::filesystem::path& path, std::optional<std::size_t> highlight,
                std::optional<LineRange> range);

// The first non-blank line among the first 20, unchanged; none when unreadable or all blank.
std::optional<std::string> first_non_empty_line(const std::filesystem::path& path);
// Drops the leading blank lines; the rest joined with \n and ended with \n ("" when all blank).
std::string trim_leading_blank_lines(std::string_view text);
// "[stamp] first line\n" followed by the later lines; "[stamp]\n" when nothing is left.
std::string stamp_first_line(std::string_view text, std::string_view stamp);
// Local time, "%Y-%m-%d_%H:%M".
std::string timestamp_minute();
// Local time in a strftime format.
std::string format_local_time(const char* format);
// Blanks, '/', ':' and '\' become '-'.
std::string safe_name(std::string_view text);
// Appends unless empty or already present.
void push_unique(std::vector<std::string>& list, std::string_view text);
// Trimmed decimal with an optional sign; anything else, or out of range, gives `fallback`.
std::int32_t parse_i32(std::string_view text, std::int32_t fallback);

}  // namespace vesk

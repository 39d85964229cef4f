// Text helpers shared across the program: lossy UTF-8, lines, Unicode trimming and lower-casing,
// the pickers' display columns, time stamps and file-safe names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
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
// The character that starts at byte `i`, decoded lossily as decode_utf8 does; `i` moves past it.
char32_t next_utf8_char(std::string_view text, std::size_t& i);

// The characters of to_lower(text), one at a time and without allocating: for matching every line
// of a long listing against a query.
class LowerCaseReader {
public:
    explicit LowerCaseReader(std::string_view text) : text_(text) {}
    // The next lower-cased character; false at the end.
    bool next(char32_t& c);

private:
    std::string_view text_;
    std::size_t i_ = 0;
    char32_t pending_ = 0;      // the second character of a mapping to two
    bool prev_letter_ = false;  // whether the last character read was a letter
};
// A character with the Unicode upper-case property.
bool is_upper(char32_t c);

// Columns as the pickers and the message popups count them: 2 for a character in the fixed wide
// ranges (Hangul, CJK, full-width forms...), 1 for every other character, controls, combining
// marks and characters beyond U+FFFF included. The full-screen screens measure with utf8proc
// instead (ui::screen_width).
std::size_t display_width(std::string_view text);

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
// A line number as grep, rg and vim's +N write it: decimal digits, a '+' before them allowed, within
// 64 bits. Anything else (blanks included) gives none.
std::optional<std::uint64_t> parse_line_number(std::string_view text);

// Each line of the text wrapped at blanks to `wrap_width` columns by display_width; a word wider
// than that is cut by characters. Empty lines stay.
std::vector<std::string> wrap_message(std::string_view text, std::int64_t wrap_width);

}  // namespace vesk

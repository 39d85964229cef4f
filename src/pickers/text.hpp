// Text helpers of the pickers: matching a query the way the finder and the note list do,
// padding a label to a column, reading a field of a TAB-separated fzf line, and a path's text
// for a directory option.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

// Every white-space separated term of the query is a case-insensitive subsequence of the
// candidate (each term searched from the candidate's start). An empty query matches.
bool subsequence_match(std::string_view query, std::string_view candidate);

// The text padded with blanks to `width` columns (display_width); never cut.
std::string pad_display(std::string_view text, std::size_t width);

// The text padded with blanks to `width` characters (as decode_utf8 counts them, wide or not):
// the list pickers line up their labels this way. Never cut.
std::string pad_chars(std::string_view text, std::size_t width);

// The TAB-separated field `index` (0-based) of a line; nothing when the line has fewer fields.
std::optional<std::string_view> tab_field(std::string_view line, std::size_t index);

// The lossy text of the path without its trailing slashes ("/" gives "").
std::string strip_trailing_slash(const std::filesystem::path& path);

}  // namespace vesk

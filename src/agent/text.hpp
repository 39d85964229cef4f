// Text helpers of the vault and the staging area: matching a query, filtering, sorting and
// joining listing lines, and cleaning the text of a question before it is kept.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// Substring test, case-sensitive only when the needle holds an upper-case character.
bool smart_case_contains(std::string_view haystack, std::string_view needle);

// Lines of `text` matching `query`: those `fzf -f` prints, in its order, when fzf is on PATH (worked
// out in this process, see agent/fzf_filter), else a case-insensitive substring filter. The result
// ends with \n unless empty.
std::string filter_lines(std::string_view text, std::string_view query);
// The same over lines already split (without their line ends); an empty query keeps them all.
std::string filter_line_views(std::span<const std::string_view> lines, std::string_view query);
// Lines ordered by `sort` (the user's locale), or byte-wise when sort is missing or fails.
std::vector<std::string> sort_like_shell(std::vector<std::string> lines);
// Lines joined with \n (or `empty_text` for none), ended with \n unless empty.
std::string lines_with_newline(const std::vector<std::string>& lines, std::string_view empty_text);

// Drops the leading blank lines; the rest joined with \n and ended with \n ("" when all blank).
std::string trim_leading_blank_lines(std::string_view text);
// "[stamp] first line\n" followed by the later lines; "[stamp]\n" when nothing is left.
std::string stamp_first_line(std::string_view text, std::string_view stamp);

}  // namespace vesk

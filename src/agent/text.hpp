// Text helpers of the vault and the staging area: matching a query, filtering, sorting and
// joining listing lines, and cleaning the text of a question before it is kept.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/process.hpp"

namespace vesk {

// Substring test, case-sensitive only when the needle holds an upper-case character.
bool smart_case_contains(std::string_view haystack, std::string_view needle);

// Lines of `text` matching `query`: what `fzf -f QUERY` prints, in its order, when fzf is on PATH
// (its exit status ignored), else the lines holding the query, case ignored. An empty query keeps
// the text. The result ends with \n unless empty.
std::string filter_lines(std::string_view text, std::string_view query);

// filter_lines with fzf started before the text is ready. fzf takes milliseconds to start, and
// the listings fzf reloads on every keystroke spend them finding, reading and shaping their lines.
class LineFilter {
public:
    // With `to_stdout`, the lines go to standard output instead (fzf writes them there itself).
    explicit LineFilter(std::string_view query, bool to_stdout = false);
    ~LineFilter();  // an fzf never handed its text is stopped
    LineFilter(const LineFilter&) = delete;
    LineFilter& operator=(const LineFilter&) = delete;
    // filter_lines(text, query), or, printed, the empty text. Once only.
    std::string filter(std::string_view text);

private:
    std::string filtered(std::string_view text);
    std::string query_;
    bool to_stdout_;
    ChildCommand command_;
    std::optional<Child> fzf_;
    std::exception_ptr start_error_;
};

// Lines ordered by `sort` (the user's locale), or byte-wise when sort is missing or fails.
std::vector<std::string> sort_like_shell(std::vector<std::string> lines);
// Lines joined with \n (or `empty_text` for none), ended with \n unless empty.
std::string lines_with_newline(const std::vector<std::string>& lines, std::string_view empty_text);

// Drops the leading blank lines; the rest joined with \n and ended with \n ("" when all blank).
std::string trim_leading_blank_lines(std::string_view text);
// "[stamp] first line\n" followed by the later lines; "[stamp]\n" when nothing is left.
std::string stamp_first_line(std::string_view text, std::string_view stamp);

}  // namespace vesk

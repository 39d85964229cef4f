// Filter-edit and select-file (`vesk finder filter-edit*`, `select-file`): a line of a file picked
// in fzf and opened there in vim, and a file picked below a directory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::pickers {

struct FinderFileArgs {
    std::string file;
};
struct FinderSelectArgs {
    std::string target = ".";
    std::string regex = ".*";
};

// `finder filter-edit FILE`: the numbered lines of FILE in fzf, vim at the chosen line.
void finder_filter_edit(const FinderFileArgs& args);
// `finder filter-edit-dispatch`: a file picked with plain fzf, then filter-edit on it, typed into
// the current pane when it runs a shell, else in a split beside it.
void finder_filter_edit_dispatch();
// `finder select-file TARGET REGEX`: a file below TARGET picked in fzf, printed.
void finder_select_file(const FinderSelectArgs& args);

// The pieces, pure.

// "N<TAB>line" for every line of the text, N from 1, joined with line feeds.
std::string numbered_lines(std::string_view text);
// fzf's arguments: the text after the number shown and searched, the number neither.
std::vector<std::string> filter_edit_fzf_args();
// The number before the first TAB of fzf's output (an optional '+', decimal digits, 64 bits).
std::optional<std::uint64_t> chosen_line_number(std::string_view fzf_output);
// The shell line that picks a file and runs filter-edit on it through `program`.
std::string filter_edit_dispatch_line(const std::string& program);
// Whether a pane running this command takes typed shell lines.
bool is_shell_command(std::string_view command);
// The directory select-file lists: TARGET's directory when TARGET is a file, else TARGET.
std::filesystem::path select_file_dir(const std::filesystem::path& target);
// Whether select-file keeps a file name for REGEX (a simplified pattern: the surrounding '*' and
// then '.' removed, the rest a plain substring).
bool select_file_keeps(std::string_view name, std::string_view regex);

}  // namespace vesk::pickers

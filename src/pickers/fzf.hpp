// Running fzf over prepared candidate lines and reading back the choice.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk {

struct FzfRun {
    std::string output;       // trimmed of trailing white space
    std::optional<int> code;  // exit code; none when a signal ended fzf
};

struct FzfExpect {
    std::string key;        // first line: the --expect key (empty for Enter)
    std::string selection;  // second line: the chosen candidate, whole
};

// Runs `fzf` (looked up on PATH) with the arguments and SHELL set to fzf_binding_shell(), so that
// its bindings and previews run under a POSIX shell whatever the user's SHELL; the input goes to
// its standard input, standard error stays the terminal's. Returns standard output (lossy,
// untrimmed); the exit status is ignored, so a cancelled fzf gives "".
std::string run_fzf_with_input(std::string_view input, const std::vector<std::string>& args);

// As run_fzf_with_input, with the output trimmed at the end and the exit code reported.
FzfRun run_fzf_with_input_status(std::string_view input, const std::vector<std::string>& args);

// The first two lines of an `--expect` output, without their line endings.
FzfExpect split_fzf_expect_output(std::string_view output);

// Variables set (or, with nothing, removed) for fzf and so for the commands its bindings run, on
// top of the SHELL that every run sets.
using FzfEnv = std::vector<std::pair<std::string, std::optional<std::string>>>;

// A picker's run of fzf: what fzf printed, without its final line end, for a choice (or, with
// --expect, the key pressed over an empty list, which ends fzf with 1); "" when the user
// cancelled (130), nothing matched (1) or a signal ended fzf. fzf's own failure (2: a bad
// option, no terminal to draw on) throws, so that it is never taken for a cancel.
std::string run_fzf_picker(std::string_view input, const std::vector<std::string>& args, const FzfEnv& env = {});

// The shell for fzf's bindings (fzf runs them with $SHELL -c): bash when it is on PATH, else
// /bin/sh. The user's login shell may be fish, whose syntax no binding is written in.
std::string fzf_binding_shell();

// The entry behind the line fzf gave back: the entry of the identical line among `lines` (whole
// even when a field holds a tab), else what `parse` makes of the line.
template <class Entry, class Parse>
std::optional<Entry> entry_for_picked_line(const std::vector<std::string>& lines, const std::vector<Entry>& entries,
                                           const std::string& picked, Parse parse) {
    for (std::size_t i = 0; i < lines.size() && i < entries.size(); ++i)
        if (lines[i] == picked) return entries[i];
    return parse(picked);
}

// Throws "fzf를 찾을 수 없습니다." unless fzf is on PATH or in the working directory.
void require_fzf();

}  // namespace vesk

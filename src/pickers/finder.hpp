// The finder (`vesk finder multimode*`, `mf-*`, `git-*`, `open-with`): files by name, by content
// or from git changes, opened with a command of the user's list.
#pragma once

#include <optional>
#include <string>

namespace vesk::pickers {

struct FinderOpenArgs {
    std::optional<std::string> origin_pane;
    std::optional<std::string> pane_path;
};
struct FinderModeQueryArgs {
    std::string mode_file;
    std::optional<std::string> query;
};
struct FinderModeFileArgs {
    std::string mode_file;
};

// `finder multimode-open [ORIGIN_PANE] [PANE_PATH]` (the M-f key): stores the origin pane, its
// directory and whether it runs a shell, opens the picker in a floating pane there and, once a
// file was chosen, the Open With popup.
void finder_multimode_open(const FinderOpenArgs& args);
// `finder multimode`: the picker itself; stores the chosen file and line in @find_exec_file and
// @find_exec_file_line.
void finder_multimode();
// `finder mf-search MODE_FILE [QUERY]`, run in the searched directory: the mode header, then the
// files whose names match the query, or ripgrep's hits of it as "file<TAB>line<TAB>text".
void finder_mf_search(const FinderModeQueryArgs& args);
// `finder git-search MODE_FILE [QUERY]`: the same over the files git reports as changed or
// untracked, relative to the git top level (content hits through ugrep).
void finder_git_search(const FinderModeQueryArgs& args);
// Flip the mode files ("filename"/"content", "list"/"content") and print the new mode.
void finder_mf_toggle(const FinderModeFileArgs& args);
void finder_git_toggle(const FinderModeFileArgs& args);

// `finder open-with`: the user's commands for the file the finder stored (pickers/open_with.hpp).
void finder_open_with();

}  // namespace vesk::pickers

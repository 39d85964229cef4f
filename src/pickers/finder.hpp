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

// `finder open-with`: the user's commands for the file the finder stored (pickers/open_with.hpp).
void finder_open_with();

}  // namespace vesk::pickers

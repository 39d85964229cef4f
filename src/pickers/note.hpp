// Notes (`vesk note`): the notes popup and picker, and the listing, search and preview commands
// its fzf bindings call back.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vesk::pickers {

struct NoteOpenArgs {
    std::string mode = "pane";
};
struct NoteSelectArgs {
    std::string dir;
};
struct NoteListArgs {
    std::string mode_file;
    std::optional<std::string> query;
};
struct NoteSelectionArgs {
    std::string root_dir_file;
    std::string mode_file;
    std::vector<std::string> selection;
};
struct NoteModeFileArgs {
    std::string mode_file;
};
struct NoteSearchContentArgs {
    std::string dir;
    std::optional<std::string> query;
};

}  // namespace vesk::pickers

// `copy cut-selection`: takes the last copied text back off a command line.
#pragma once

#include <optional>
#include <string>

namespace vesk {

struct CopyCutSelectionArgs {
    std::optional<std::string> target_pane;
};

// One BSpace per character of the paste buffer, sent to the pane (the current one by default).
void copy_cut_selection(const CopyCutSelectionArgs& args);

}  // namespace vesk

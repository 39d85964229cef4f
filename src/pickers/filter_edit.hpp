// Filter-edit and select-file (`vesk finder filter-edit*`, `select-file`): a line of a file picked
// in fzf and opened there in vim, and a file picked below a directory.
#pragma once

#include <string>

namespace vesk::pickers {

struct FinderFileArgs {
    std::string file;
};
struct FinderSelectArgs {
    std::string target = ".";
    std::string regex = ".*";
};

}  // namespace vesk::pickers

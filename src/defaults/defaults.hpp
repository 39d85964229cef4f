// The eleven configuration sources of the distribution: the copies compiled into the program
// (general-user mode) or the texts under the installation root (authoring mode).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vesk {

struct Defaults {
    std::filesystem::path root;  // the installation root
    bool embedded = true;        // true: the compiled-in copies; false: read <root>/<name>

    // The text of one source by its path relative to the root (".tmux.conf",
    // "confs/conf.common", ...). Embedded texts are decoded anew on every call; a name that is not
    // one of the eleven is an error, never an empty text.
    std::string asset(std::string_view name) const;
};

}  // namespace vesk

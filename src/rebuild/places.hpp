// Where a rebuild reads from and writes to.
#pragma once

#include <filesystem>
#include <optional>

#include "defaults/defaults.hpp"

namespace vesk::rebuild {

struct Places {
    std::filesystem::path root;    // the installation root
    std::filesystem::path output;  // the file to write
    Defaults defaults;             // the configuration sources

    // Root and mode from current_for(zeltdir); output = the given path, else
    // $HOME/.tmux.conf.local. Throws "HOME을 찾을 수 없습니다" when HOME is unset.
    static Places resolve(const std::optional<std::filesystem::path>& zeltdir,
                          const std::optional<std::filesystem::path>& output);
};

}  // namespace vesk::rebuild

// `vesk rebuild`: the one command that writes the user's tmux configuration.
#pragma once

#include <optional>
#include <string>

#include "defaults/profile.hpp"

namespace vesk::rebuild {

struct RebuildArgs {
    std::optional<std::string> zeltdir;
    std::optional<std::string> output;
    std::optional<RebuildProfile> profile;
    bool no_check = false;
    bool no_reload = false;
};

// Resolves the places, rebuilds (checked unless --no-check), reloads unless --no-reload, and
// prints the result line. A failed reload is reported on standard error but is no failure.
void rebuild(const RebuildArgs& args);

}  // namespace vesk::rebuild

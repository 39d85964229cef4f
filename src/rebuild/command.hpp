// `vesk rebuild`: the one command that writes the user's tmux configuration.
#pragma once

#include "cli/args.hpp"

namespace vesk::rebuild {

// The profile of the platform this program runs on.
RebuildProfile default_profile();

// Resolves the places, rebuilds (checked unless --no-check), reloads unless --no-reload, and
// prints the result line. A failed reload is reported on standard error but is no failure.
void rebuild(const RebuildArgs& args);

}  // namespace vesk::rebuild

// The distribution's key bindings for a profile, and the keys the user wants for them now.
#pragma once

#include <vector>

#include "cli/args.hpp"
#include "defaults/defaults.hpp"
#include "keybind/overrides.hpp"
#include "keybind/source.hpp"
#include "rebuild/places.hpp"

namespace vesk::rebuild {

// The bindings of every fragment of the profile, in fragment order, each fragment parsed under
// its own name. A fragment whose text cannot be had contributes nothing.
std::vector<keybind::source::Binding> load_bindings(const Defaults& defaults, RebuildProfile profile);

// load_bindings resolved against the user's keybindings.conf (none when there is no
// configuration directory or no file).
std::vector<keybind::overrides::Resolved> resolved_bindings(const Places& places, RebuildProfile profile);

}  // namespace vesk::rebuild

// The distribution's key bindings for a profile, and the keys the user wants for them now.
#pragma once

#include <vector>

#include "config/places.hpp"
#include "defaults/defaults.hpp"
#include "defaults/profile.hpp"
#include "keybind/overrides.hpp"
#include "keybind/source.hpp"

namespace vesk::keybind {

// The bindings of every fragment of the profile, in fragment order, each fragment parsed under
// its own name. A fragment whose text cannot be had contributes nothing.
std::vector<source::Binding> load_bindings(const Defaults& defaults, ConfigProfile profile);

// load_bindings resolved against the user's keybindings.conf (none when there is no
// configuration directory or no file).
std::vector<overrides::Resolved> resolved_bindings(const config::Places& places, ConfigProfile profile);

}  // namespace vesk::keybind

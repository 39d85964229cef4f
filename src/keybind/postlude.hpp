// `config apply-keybindings`, the last line of the generated configuration. The distribution's
// plugins load after the configuration and may bind keys of their own over the user's, so this
// waits until the plugin loading is over and then binds the user's changed keys again.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/places.hpp"
#include "defaults/profile.hpp"
#include "keybind/live.hpp"
#include "keybind/overrides.hpp"

namespace vesk::keybind {

// Handler of `config apply-keybindings`: the places as `vesk rebuild` resolves them (no HOME is the
// command's error), then postlude::run with the platform's profile.
void config_apply_keybindings(const std::optional<std::string>& zeltdir);

}  // namespace vesk::keybind

namespace vesk::keybind::postlude {

constexpr std::chrono::milliseconds kPollInterval{50};

// The wait's two effects, replaceable so the 4 s and 30 s limits are tested without waiting.
struct Clock {
    // Whether @__apply_plugins reads "true" now; a tmux that cannot be asked answers false.
    std::function<bool()> plugins_applying;
    std::function<void(std::chrono::milliseconds)> sleep;
};

// The real clock: `<tmux> show -sqv @__apply_plugins` ($TMUX_BIN, else tmux) and a real sleep.
Clock system_clock();

// Waits for the plugin loading: up to 81 polls (about 4 s) for @__apply_plugins to read "true",
// then, once it has, until it reads anything else, at most 601 more polls (about 30 s). Returns
// the number of polls made.
std::size_t wait_for_plugins(const Clock& clock);

// One change per binding the user rebound (not for removed ones): its key bound to its command
// in its table, in binding order.
std::vector<live::Change> to_reapply(const std::vector<overrides::Resolved>& resolved);

// Outside tmux: nothing. Otherwise the profile's bindings resolved against keybindings.conf; with
// nothing rebound, tmux is not asked anything; else wait for the plugins and apply the changes.
void run(const config::Places& places, ConfigProfile profile);
void run(const config::Places& places, ConfigProfile profile, const Clock& clock);

}  // namespace vesk::keybind::postlude

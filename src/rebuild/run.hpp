// Assembling ~/.tmux.conf.local: template, fragments with the user's changes, the user's own
// fragments, a check on a private tmux server, then one atomic write.
#pragma once

#include <filesystem>
#include <vector>

#include "config/places.hpp"
#include "defaults/profile.hpp"
#include "rebuild/assemble.hpp"

namespace vesk::rebuild {

// The sections of the generated block: vesk:zelt, each fragment (with the user's non-blank
// fragment of the same name after it), vesk:postlude.
std::vector<Section> build_sections(const config::Places& places, ConfigProfile profile);

// Assembles the output text, checks it when `check` is set and writes it atomically to `output`.
// Any failure leaves the output as it was.
void run(const config::Places& places, const std::filesystem::path& output, ConfigProfile profile, bool check);

}  // namespace vesk::rebuild

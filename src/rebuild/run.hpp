// Assembling ~/.tmux.conf.local: template, fragments with the user's changes, the user's own
// fragments, a check on a private tmux server, then one atomic write.
#pragma once

#include <filesystem>
#include <vector>

#include "cli/args.hpp"
#include "rebuild/assemble.hpp"
#include "rebuild/places.hpp"

namespace vesk::rebuild {

// The sections of the generated block: vesk:zelt, each fragment (with the user's non-blank
// fragment of the same name after it), vesk:postlude.
std::vector<Section> build_sections(const Places& places, RebuildProfile profile);

// Assembles the output text, checks it when `check` is set, writes it atomically and returns the
// output path. Any failure leaves the output as it was.
std::filesystem::path run(const Places& places, RebuildProfile profile, bool check);

}  // namespace vesk::rebuild

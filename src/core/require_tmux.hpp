// The guard of the commands that only work inside a tmux client.
#pragma once

#include <string_view>

namespace vesk {

// Returns when TMUX is set and not empty; otherwise writes `message` and a line end to standard
// error and ends the process with status 1. The message is the caller's own.
void require_tmux(std::string_view message);

}  // namespace vesk

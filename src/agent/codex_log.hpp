// Logging of the agent's panes (`vesk log codex-*`): a named pipe fed by pipe-pane, a reader that
// strips terminal sequences, and the agent run under a mark.
#pragma once

#include <string>
#include <vector>

namespace vesk::agent {

struct CodexRunArgs {
    std::vector<std::string> args;
};

}  // namespace vesk::agent

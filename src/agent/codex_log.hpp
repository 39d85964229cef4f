// Logging of the agent's panes (`vesk log codex-*`): a named pipe fed by pipe-pane, a reader that
// strips terminal sequences, and the agent run under a mark.
#pragma once

#include <string>
#include <vector>

namespace vesk {
class Tmux;
}

namespace vesk::agent {

struct CodexRunArgs {
    std::vector<std::string> args;
};

// `codex-run ARGS...`: runs the agent in the current pane, marked as an agent pane while it runs,
// and ends with the agent's status.
void log_codex_run(const CodexRunArgs& args);
// `codex-toggle`: stops the current pane's log, or starts one through `codex-start`.
void log_codex_toggle();
// `codex-start`: the log file, the named pipe, the reader, and pipe-pane pointed at the pipe.
void log_codex_start();
// `codex-status`: the report on the marked agent pane, printed and kept in a status file.
void log_codex_status();
// `codex-tail`: follows the active log in the current pane, then closes the pane.
void log_codex_tail();

// Removes the pane's log marks (@codex_log, @codex_log_pid, @codex_fifo) once its pipe is gone.
void unset_log_options(const Tmux& tmux, const std::string& pane);

}  // namespace vesk::agent

// The parts of the agent's log that need no tmux: names of the log file and the named pipe, the
// switches read from the environment, the reader pipeline's shell text, and recognising and
// stopping a reader that is still running.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/process.hpp"

namespace vesk::agent {

struct CodexLogSwitches {
    std::string filter_regex;     // CODEX_LOG_FILTER_REGEX: only matching lines are logged
    bool strip_ansi = false;      // CODEX_LOG_STRIP_ANSI=1: control sequences and carriage returns go too
    bool allow_chat_dir = false;  // CODEX_LOG_ALLOW_CHAT_DIR=1: a pane in .agent/chat may log
    bool guard_tail = true;       // CODEX_LOG_GUARD_TAIL (default 1): a pane running tail may not
};
CodexLogSwitches codex_log_switches();

// The git root's folder name made file-safe, leading '.' removed; "unknown" when nothing is left.
std::string codex_log_project_name(const std::filesystem::path& git_root);
// <git root>/.agent/chat/<minute>_<project>.log
std::filesystem::path codex_log_file(const std::filesystem::path& git_root, std::string_view minute);
// "<session>_<pane>": the session name made file-safe, the pane id without its '%'.
std::string codex_fifo_name(std::string_view session_name, std::string_view pane_id);

// The reader: reads the named pipe, keeps the lines matching the filter, strips what the switches
// say and writes to its standard output (the log file, opened by the caller). OSC sequences
// (titles, links) always go, whether ended by BEL or by ESC \.
std::string codex_reader_text(const std::filesystem::path& fifo, std::string_view filter_regex, bool strip_ansi,
                              bool have_stdbuf);

// Whether `pid` is still the reader of that named pipe: it leads its own process group and its
// command line names the pipe. A pid that has since been given to another process is not.
bool is_codex_reader(pid_t pid, const std::filesystem::path& fifo);
// Whether a process of the reader's process group holds the named pipe open: the reader is running
// and reading. Unknown (no /proc to look into): nullopt.
std::optional<bool> reader_holds_fifo(pid_t group, const std::filesystem::path& fifo);
// Ends the reader's whole process group when `pid_text` still names the reader of `fifo`.
void stop_codex_reader(std::string_view pid_text, const std::optional<std::string>& fifo);

// The status a command passes on for a child's ending: its exit code, 128 + the signal that ended
// it, 1 otherwise.
int passed_on_status(const ExitStatus& status);

// SIGINT and SIGQUIT ignored while this lives: Ctrl-C at the pane reaches only the child that is
// waited for, and the waiting command can still clean up after it.
class IgnoreInterrupts {
public:
    IgnoreInterrupts();
    ~IgnoreInterrupts();
    IgnoreInterrupts(const IgnoreInterrupts&) = delete;
    IgnoreInterrupts& operator=(const IgnoreInterrupts&) = delete;

private:
    struct sigaction int_ {};
    struct sigaction quit_ {};
};

}  // namespace vesk::agent

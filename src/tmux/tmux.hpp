// The handle for talking to the running tmux server, and the helpers built on it. Every
// operation is one tmux child process with its arguments as separate words (never a shell);
// nothing is cached between calls.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/process.hpp"

namespace vesk {

// Where and how large a floating pane opens. Sizes are tmux sizes ("95%", "80").
struct FloatingPane {
    std::string width;
    std::string height;
    std::optional<std::string> x;
    std::optional<std::string> y;
    std::optional<std::string> cwd;
};

// Every tmux process of the program is started through this handle: which program, which server,
// and with what environment is decided where the handle is made, never at the call.
class Tmux {
public:
    // The user's server through $TMUX_BIN when set (an empty value stays empty and every call then
    // fails to start), else "tmux".
    Tmux();
    // The server `program` reaches by default.
    explicit Tmux(std::string program) : bin(std::move(program)) {}
    // The program named "tmux" whatever $TMUX_BIN says: the reload after a rebuild, the plugin
    // manager's path and closing the current pane go to the tmux the user runs.
    static Tmux named();
    // A private server on socket `socket` that reads no configuration of its own (-L SOCKET
    // -f /dev/null before every command), started from `program` by the first command that starts
    // one. TMUX and TMUX_PANE are removed
    // from its environment so that nothing of the user's server leaks into it, and a signal that
    // ends vesk stops a client still running (it would otherwise start or keep a server alone).
    static Tmux private_server(std::string program, std::string socket);

    std::string bin;
    // Words before every command. -N: a command that would start a server (list-keys,
    // list-commands, new-session...) fails instead where none answers. With TMUX naming a dead
    // server's socket, or any other path, tmux would remove what lies there, bind its socket in its
    // place and read the user's configuration in the background. Only private servers are meant to
    // start.
    std::vector<std::string> global_args = {"-N"};
    std::vector<std::pair<std::string, std::optional<std::string>>> env;  // environment changes
    bool stop_on_signal = false;  // ChildCommand::stop_on_signal for every command

    // The child process for one tmux command, with the caller's standard streams.
    ChildCommand command(const std::vector<std::string>& args) const;

    // Runs tmux with the caller's standard streams. Throws SystemError when tmux cannot start and
    // Error("tmux command failed: exit status: N") when it fails.
    void run(const std::vector<std::string>& args) const;
    // Runs tmux with `input` on its standard input (`load-buffer -` reads it) and standard output
    // discarded. Errors as run().
    void run_with_input(const std::vector<std::string>& args, std::string_view input) const;
    // Runs tmux with empty input and standard error discarded; returns its standard output
    // (invalid UTF-8 replaced) without trailing white space. Errors as run().
    std::string output(const std::vector<std::string>& args) const;
    // Runs tmux with empty input and both outputs captured, whatever its status: for the callers
    // that read what tmux said (source-file reports a file's errors on standard output). Only a
    // failure to start throws.
    Output capture(const std::vector<std::string>& args) const;
    // show-option -gqv NAME: the value, or nothing when it is empty or the query fails.
    std::optional<std::string> option(std::string_view name) const;
    // show-option -g -v NAME, read like option().
    std::optional<std::string> get_option_global(std::string_view name) const;
    // display -p [-t TARGET] FORMAT, trimmed.
    std::string display(const std::optional<std::string>& target, std::string_view format) const;
    // Whether a pane with exactly this id exists on the server.
    bool pane_exists(std::string_view pane) const;
    // new-pane -P -F #{pane_id} -x W -y H [-X X] [-Y Y] [-c DIR] -- COMMAND; returns the new pane's
    // id. DIR is a directory, not a format: its # are doubled. Throws Error("new-pane did not
    // return a pane id") on an empty answer.
    std::string open_floating_pane(const FloatingPane& request, const std::string& command) const;
};

// Where a server started with `-L label` keeps its socket, by tmux's own rule: the directory
// tmux-<uid> under $TMUX_TMPDIR (when set, not empty and existing), else under /tmp, with
// symbolic links resolved. tmux never removes a socket: whoever starts a private server does.
std::filesystem::path tmux_socket_path(std::string_view label);
// display-message with `text` shown as it stands: every '#' doubled, so that names holding
// `#{...}` or `#(...)` are neither expanded nor run. Errors as Tmux::run().
void display_message(const Tmux& tmux, std::string_view text);

// Whether this process runs inside a tmux client: TMUX set and not empty.
bool inside_tmux();
// Returns inside tmux; otherwise writes `message` (the caller's own) and a line end to standard
// error and ends the command with status 1 (ExitCode).
void require_tmux(std::string_view message);

// $TMUX_PANE when set and not empty, else the pane tmux reports as current.
std::string current_pane(const Tmux& tmux);
// The value of a pane option, or nothing when unset, empty or unreadable.
std::optional<std::string> pane_option(const Tmux& tmux, std::string_view pane, std::string_view name);
// Whether something is piped from the pane (pipe-pane); a pane that cannot be asked is not.
bool pane_piped(const Tmux& tmux, const std::string& pane);
// set-option -p -t PANE -u NAME.
void unset_pane_option(const Tmux& tmux, std::string_view pane, std::string_view name);
// Appends tmux's "NAME VALUE" line for a pane option and a line end to `report`; nothing when the
// option is unset or the query fails.
void append_show_option_line(const Tmux& tmux, std::string_view pane, std::string_view name, std::string& report);
// A session's option (the global one when `session` is empty); nothing when empty or unreadable.
std::optional<std::string> get_tmux_option_for_session(const Tmux& tmux, std::string_view session,
                                                       std::string_view name);
void set_tmux_option_for_session(const Tmux& tmux, std::string_view session, std::string_view name,
                                 std::string_view value);
// "<@zelt>/bin/vesk": the program copy inside the installation root. Exit99 when @zelt is unset.
std::string vesk_bin(const Tmux& tmux);
// The installation root from @zelt. Exit99 when unset.
std::filesystem::path zelt_path(const Tmux& tmux);
// The pane's current directory, else the installation root; Exit99 when neither is known.
std::filesystem::path pane_path_or_zelt(const Tmux& tmux, std::string_view pane);
// Kills $TMUX_PANE with the program named "tmux" (not $TMUX_BIN); every failure is ignored.
void kill_current_pane();

}  // namespace vesk

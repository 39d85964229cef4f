// Private tmux servers for tests: `tmux -L vesk-test-<pid>-<n> -f /dev/null`, a private
// TMUX_TMPDIR and HOME, LANG=C.UTF-8, one detached session (120x40 by default) with remain-on-exit
// on and no "Pane is dead" line. A pane started without a command runs a bash that reads no
// start-up file (nothing of the user's, and no time lost to it). The destructor ends every
// process the server started, then the server.
//
//   TmuxServer server;
//   std::string pane = server.run_in_pane({vesk_binary(), "pane", "zoom-toggle"}, inside_tmux(env.env()));
//   server.wait_for_text(pane, "선택");      // polls capture-pane, up to kTmuxDeadline
//   server.send_keys(pane, {"Down", "Enter"});
//   int status = server.wait_for_exit(pane);
//
// Popups need a client: AttachedClient attaches to the server from the pane of an outer server
// and reads what a person at that client would see.
//
// The recording tmux (tests/support/recording-tmux) appends its arguments, TAB-separated, one call
// a line, to $RECORD_TMUX_LOG; it answers from $RECORD_TMUX_ANSWERS/<subcommand> (status from
// <subcommand>.status) when that file exists, else runs `tmux -L $RECORD_TMUX_SOCKET ARGS...`.
#pragma once

#include <chrono>
#include <functional>
#include <map>

#include "support/private_env.hpp"

namespace vesk::test {

using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// For a machine busy with many tests at once.
constexpr std::chrono::milliseconds kTmuxDeadline{60000};

class TmuxServer {
public:
    // `tmpdir` empty: a TMUX_TMPDIR of its own; pass a PrivateEnv's tmp() to share its own (and
    // its home() as `home`). `home` empty: a folder of its own in `tmpdir`.
    explicit TmuxServer(int width = 120, int height = 40, fs::path tmpdir = {}, fs::path home = {});
    ~TmuxServer();
    TmuxServer(const TmuxServer&) = delete;
    TmuxServer& operator=(const TmuxServer&) = delete;

    const std::string& socket_name() const { return name_; }  // the -L name
    const fs::path& tmpdir() const { return tmpdir_; }
    const fs::path& home() const { return home_; }
    std::string tmux_env_value() const;  // TMUX as a pane of this server has it
    const std::string& session() const { return session_; }
    const std::string& first_pane() const { return first_pane_; }
    // Environment for a client of this server: TMUX_TMPDIR, HOME, SHELL=/bin/bash (the server's
    // default-shell), LANG=C.UTF-8, no TMUX. The client that starts the server hands it these.
    EnvChanges client_env() const;

    // `tmux -L <name> ARGS...`; tmux_ok throws with tmux's standard error unless it exits 0 and
    // returns standard output without its trailing newline.
    RunResult tmux(const std::vector<std::string>& args) const;
    std::string tmux_ok(const std::vector<std::string>& args) const;

    // argv in a new window (not selected) with `env` on top of the server's environment (nullopt
    // removes a variable; tmux still sets TMUX and TMUX_PANE). Returns the pane id.
    std::string run_in_pane(const std::vector<std::string>& argv, const EnvChanges& env = {},
                            const std::optional<fs::path>& cwd = std::nullopt);
    // The same in a selected window (popups open over the current pane).
    std::string run_in_current_window(const std::vector<std::string>& argv, const EnvChanges& env = {},
                                      const std::optional<fs::path>& cwd = std::nullopt);
    // A second pane in the window of `pane`, running `sleep`.
    std::string split(const std::string& pane);

    void send_keys(const std::string& pane, const std::vector<std::string>& keys);  // key names
    void send_text(const std::string& pane, const std::string& text);               // send-keys -l

    // `joined`: the lines the terminal wrapped at the pane's edge joined again (capture-pane -J),
    // for text whose width depends on a path.
    std::string capture(const std::string& pane, bool joined = false) const;
    // Polls capture() until pred holds; the last capture, or nullopt on timeout.
    std::optional<std::string> wait_for_screen(const std::string& pane,
                                               const std::function<bool(const std::string&)>& pred,
                                               std::chrono::milliseconds deadline = kTmuxDeadline) const;
    bool wait_for_text(const std::string& pane, const std::string& needle,
                       std::chrono::milliseconds deadline = kTmuxDeadline) const;
    // A screen with fzf's preview of the current line, as `shown` accepts it, or nullopt. fzf 0.38
    // can leave a stale preview on screen: a preview that ends after a newer one covers it, and
    // fzf asks for none newer until the list reloads or the cursor moves. So one look is never
    // enough: this polls a few seconds, and while the preview stays stale `ask_again` asks for it
    // anew (a reload or refresh key, the cursor away and back, the query typed once more), with
    // longer waits each time, about kTmuxDeadline in all.
    std::optional<std::string> wait_for_preview(const std::string& pane,
                                                const std::function<bool(const std::string&)>& shown,
                                                const std::function<void()>& ask_again) const;

    // The exit status of the pane's command once it has ended (-1 for a signal), else nullopt.
    // Read from a file the wrapping `sh` writes: tmux 3.3a now and then never reaps a pane.
    std::optional<int> exit_status(const std::string& pane) const;
    // Polls exit_status(); throws with the screen on timeout.
    int wait_for_exit(const std::string& pane, std::chrono::milliseconds deadline = kTmuxDeadline) const;
    // Polls until the pane's terminal is in raw mode, so that the next key reaches a program that
    // is ready for it.
    bool wait_for_raw_mode(const std::string& pane, std::chrono::milliseconds deadline = kTmuxDeadline) const;

    bool pane_exists(const std::string& pane) const;
    // Whether a job of the server runs: a popup's program or the tmux call that opened it and
    // waits for it, a run-shell or pipe-pane command; not the panes' own processes.
    bool runs_jobs() const;
    std::string format(const std::string& target, const std::string& fmt) const;  // display -p -t
    std::string global_option(const std::string& name, const std::string& flags = "-gqv") const;
    std::string pane_option(const std::string& pane, const std::string& name) const;

private:
    std::string start_window(bool detached, const std::vector<std::string>& argv, const EnvChanges& env,
                             const std::optional<fs::path>& cwd);
    std::string name_;
    fs::path tmpdir_, home_;
    std::optional<TempDir> own_tmpdir_;
    std::string session_, first_pane_;
    std::map<std::string, fs::path> status_files_;  // pane id -> status written by the wrapper
    int panes_started_ = 0;
    std::optional<Child> watcher_;
};

// A client attached to an inner server, seen through the only pane of an outer server (160x50 by
// default, status line off).
class AttachedClient {
public:
    explicit AttachedClient(TmuxServer& inner, int width = 160, int height = 50);
    TmuxServer& outer() { return outer_; }
    std::string capture() const;
    std::optional<std::string> wait_for_screen(const std::function<bool(const std::string&)>& pred,
                                               std::chrono::milliseconds deadline = kTmuxDeadline) const;
    bool wait_for_text(const std::string& needle, std::chrono::milliseconds deadline = kTmuxDeadline) const;
    bool wait_for_no_text(const std::string& needle, std::chrono::milliseconds deadline = kTmuxDeadline) const;
    std::optional<std::string> wait_for_preview(const std::function<bool(const std::string&)>& shown,
                                                const std::function<void()>& ask_again) const;
    void send_keys(const std::vector<std::string>& keys);  // typed at the client
    void send_text(const std::string& text);                // typed literally at the client

private:
    TmuxServer outer_;
    std::string pane_;
};

// A screen predicate: the screen holds `needle`.
std::function<bool(const std::string&)> showing(const std::string& needle);

// A PrivateEnv's changes for a process inside a pane: TMUX and TMUX_PANE stay as tmux set them.
EnvChanges inside_tmux(const EnvChanges& env);

// Ends every process of the server that `tmux` (a client of it: `tmux -L name ARGS`) reaches, the
// panes' own and what they and the server's jobs (pipe-pane's) started, then the server: a
// pane's hang-up at kill-server reaches neither a background job nor a process that ignores it.
void end_tmux_server(const std::function<RunResult(const std::vector<std::string>&)>& tmux);

// Every process as its /proc/<pid>/stat tells it: the command name, the state ('Z': ended, not
// reaped), the parent and the session.
struct ProcessEntry {
    int pid = 0, ppid = 0, sid = 0;
    char state = 0;
    std::string name;
};
std::vector<ProcessEntry> all_processes();

fs::path recording_tmux_path();
fs::path floating_tmux_path();  // the floating-pane layer
std::string real_tmux();        // the first tmux on PATH that is not one of this tree's stand-ins

// The calls the recording tmux logged, one word list per call. The -N that begins every call to
// the user's server (never start one) is left out, so that the calls read as the commands
// themselves.
std::vector<std::vector<std::string>> recorded_calls(const fs::path& log);

}  // namespace vesk::test

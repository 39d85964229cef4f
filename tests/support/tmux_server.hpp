// Private tmux servers for tests.
//
//   TmuxServer server;                      // tmux -L vesk-test-<pid>-<n> -f /dev/null, private TMUX_TMPDIR,
//                                           // LANG=C.UTF-8, new-session -d -x 120 -y 40, remain-on-exit on
//                                           // (with an empty remain-on-exit-format: no "Pane is dead" line)
//   std::string pane = server.run_in_pane({vesk_binary(), "pane", "zoom-toggle"}, inside_tmux(env.env()));
//   server.wait_for_text(pane, "선택");      // polls capture-pane until the text shows or 10 s pass
//   server.send_keys(pane, {"Down", "Enter"});
//   int status = server.wait_for_exit(pane); // #{pane_dead_status}
//   server.tmux_ok({"show-options", "-gqv", "@x"});
//   // the destructor kills the server
//
// Popups need a client: AttachedClient starts an outer server whose only pane runs
// `tmux -L <inner> attach`; capture() reads what a person at that client would see.
//
// The recording tmux (tests/support/recording-tmux) logs its arguments, one call per line, words
// separated by TABs, to $RECORD_TMUX_LOG, then answers from $RECORD_TMUX_ANSWERS/<subcommand> if
// that file exists (status from <subcommand>.status), else runs the real tmux as
// `tmux -L $RECORD_TMUX_SOCKET ARGS...`. recorded_calls() reads the log back.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/private_env.hpp"

namespace vesk::test {

using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

constexpr std::chrono::milliseconds kTmuxDeadline{10000};

class TmuxServer {
public:
    // `tmpdir` empty: a private TMUX_TMPDIR of its own. Pass one to share it with a PrivateEnv
    // (PrivateEnv sets TMUX_TMPDIR to its tmp()).
    explicit TmuxServer(int width = 120, int height = 40, fs::path tmpdir = {});
    ~TmuxServer();
    TmuxServer(const TmuxServer&) = delete;
    TmuxServer& operator=(const TmuxServer&) = delete;

    const std::string& socket_name() const { return name_; }  // the -L name
    const fs::path& tmpdir() const { return tmpdir_; }          // TMUX_TMPDIR
    // The value of TMUX a pane of this server would have ("<socket>,<pid>,0").
    std::string tmux_env_value() const;
    // The initial session's name and its first pane.
    const std::string& session() const { return session_; }
    const std::string& first_pane() const { return first_pane_; }

    // Environment for a tmux client of this server: TMUX_TMPDIR, LANG=C.UTF-8, no TMUX.
    EnvChanges client_env() const;

    // `tmux -L <name> ARGS...`; never throws on a non-zero status.
    RunResult tmux(const std::vector<std::string>& args) const;
    // Same, but throws std::runtime_error (with tmux's standard error) unless it exits 0; returns
    // standard output with one trailing newline removed.
    std::string tmux_ok(const std::vector<std::string>& args) const;

    // Opens a new window (not selected, -d) running argv (under a plain `sh` that records its status) with the given
    // environment changes on top of the server's (nullopt removes a variable; the pane still gets
    // TMUX and TMUX_PANE from tmux). Returns the pane id ("%3").
    std::string run_in_pane(const std::vector<std::string>& argv, const EnvChanges& env = {},
                            const std::optional<fs::path>& cwd = std::nullopt);
    // Runs argv in a new window and selects it (for popups, which open over the current pane).
    std::string run_in_current_window(const std::vector<std::string>& argv, const EnvChanges& env = {});
    // Splits the window of `pane`; the new pane runs `sleep` until killed. Returns its id.
    std::string split(const std::string& pane);

    // send-keys with key names ("Enter", "C-c", "BSpace").
    void send_keys(const std::string& pane, const std::vector<std::string>& keys);
    // send-keys -l: the text as it stands.
    void send_text(const std::string& pane, const std::string& text);

    // capture-pane -p (with -e: attributes as escape sequences).
    std::string capture(const std::string& pane, bool escapes = false) const;
    // Polls capture() until pred holds; returns the last capture, or nullopt on timeout.
    std::optional<std::string> wait_for_screen(const std::string& pane,
                                               const std::function<bool(const std::string&)>& pred,
                                               std::chrono::milliseconds deadline = kTmuxDeadline,
                                               bool escapes = false) const;
    bool wait_for_text(const std::string& pane, const std::string& needle,
                       std::chrono::milliseconds deadline = kTmuxDeadline) const;

    // The exit status once the pane's command has ended; nullopt while it runs (-1 when a signal
    // ended it). tmux 3.3a now and then never reaps a pane's process, so run_in_pane starts the
    // command under `sh`, which writes its status to a file; that file is what counts.
    std::optional<int> exit_status(const std::string& pane) const;
    // Polls exit_status(); throws std::runtime_error (with the screen) on timeout.
    int wait_for_exit(const std::string& pane, std::chrono::milliseconds deadline = kTmuxDeadline) const;

    // Polls until the pane's terminal is in raw (non-canonical) mode, so that a key sent next is
    // not flushed or line-buffered by a program still setting up. False on timeout.
    bool wait_for_raw_mode(const std::string& pane, std::chrono::milliseconds deadline = kTmuxDeadline) const;

    bool pane_exists(const std::string& pane) const;
    // display-message -p -t TARGET FORMAT.
    std::string format(const std::string& target, const std::string& fmt) const;
    // show-options -gqv NAME (global session option; "-gwqv" etc. through `flags`).
    std::string global_option(const std::string& name, const std::string& flags = "-gqv") const;
    // show-options -pqv -t PANE NAME.
    std::string pane_option(const std::string& pane, const std::string& name) const;
    // Kills the server (also done by the destructor).
    void kill();

private:
    std::string start_window(bool detached, const std::vector<std::string>& argv, const EnvChanges& env,
                             const std::optional<fs::path>& cwd);
    std::string name_;
    fs::path tmpdir_;
    std::optional<TempDir> own_tmpdir_;
    std::string session_;
    std::map<std::string, fs::path> status_files_;  // pane id -> status written by the wrapper
    int panes_started_ = 0;
    std::string first_pane_;
    bool alive_ = false;
};

// A client attached to an inner server, seen through the pane of an outer server.
class AttachedClient {
public:
    // The outer server is 160x50 by default; the client inside it is one line shorter (status line
    // of the outer server).
    explicit AttachedClient(TmuxServer& inner, int width = 160, int height = 50);
    TmuxServer& outer() { return outer_; }
    // What the person at the client sees.
    std::string capture(bool escapes = false) const;
    std::optional<std::string> wait_for_screen(const std::function<bool(const std::string&)>& pred,
                                               std::chrono::milliseconds deadline = kTmuxDeadline) const;
    bool wait_for_text(const std::string& needle, std::chrono::milliseconds deadline = kTmuxDeadline) const;
    bool wait_for_no_text(const std::string& needle, std::chrono::milliseconds deadline = kTmuxDeadline) const;
    // Keys typed at the client (through the outer pane).
    void send_keys(const std::vector<std::string>& keys);

private:
    TmuxServer& inner_;
    TmuxServer outer_;
    std::string pane_;
};

// A PrivateEnv's changes for a process inside a pane: TMUX and TMUX_PANE stay as tmux set them.
EnvChanges inside_tmux(const EnvChanges& env);

// The recording tmux script and the floating-pane layer in the source tree.
fs::path recording_tmux_path();
fs::path floating_tmux_path();
// The real tmux (/usr/bin/tmux unless found elsewhere on PATH).
std::string real_tmux();

// The calls logged by the recording tmux, one word list per call.
std::vector<std::vector<std::string>> recorded_calls(const fs::path& log);

}  // namespace vesk::test

// A person at a tmux that runs the distribution, for testing the pickers the way users reach them:
// a key at the client runs the distribution's binding, tmux starts vesk from it (run-shell -b, a
// split, or a floating pane), fzf draws in that pane or popup, the test types at the client and
// reads the client's screen, and the result is read where the user would find it: the keys that
// arrived in a shell pane, the command a new split runs, the file vim opened, the tmux options.
//
//   PrivateEnv env;
//   PickerSession s(env);                        // server + attached client + installed root
//   s.load_dist();                               // the distribution's key bindings
//   const std::string shell = s.shell_pane(dir); // an interactive bash in `dir`, the active pane
//   s.press_prefixed("C-e");                     // the prefix, then C-e, typed at the client
//   ASSERT_TRUE(s.wait_for_text("pattern>"));    // what the client shows, popups included
//   s.type("needle");                            // typed literally at the client
//   ASSERT_TRUE(s.wait_for_text(" 1/4"));        // fzf has matched: Enter before that picks nothing
//   s.press({"Enter"});
//   auto v = s.vim_view();                       // the file and line the vim that started opened
//
// capture-pane drops trailing blanks: wait for "pattern>", not "pattern> ".
// What it sets up:
// - a private tmux server (TmuxServer, in env.tmp()) with an attached client (AttachedClient,
//   160x50 by default); everything the user sees is read from the client with capture-pane;
// - the server's global environment, which run-shell jobs, popups and new panes inherit: env's
//   variables (HOME, XDG_CONFIG_HOME, ZELT, TMPDIR, LANG), PATH with bin() first, TMUX_BIN naming
//   the floating-pane layer, no VISUAL, EDITOR or VIM_BIN, and a VIMINIT by which every vim
//   reports its file and line once started (vim_view());
// - bin(): `tmux` there is tools/tmux-floating, so that a binding's `tmux new-pane` becomes a
//   display-popup on the real tmux; add_program() puts stand-ins beside it;
// - messages (display-message) stay 10 s or until a key, after load_dist() too;
// - root() = env.zelt(), the installation root, and @zelt pointing at it: bin/vesk is the built
//   program, lists/ and doc/ are copies of the distribution's (tests may change them).
// Panes the test itself creates get the server's PATH only when handed it (tmux gives a pane made
// by a command client that client's PATH): use shell_pane() and active_pane(). A login shell
// (`sh -lc`, as open-with's split runs) resets PATH from /etc/profile: name stand-ins that must be
// found there by their absolute path.
#pragma once

#include <string>
#include <vector>

#include "support/tmux_server.hpp"

namespace vesk::test {

// File names that must arrive intact in every command that opens them and run nothing: quotes,
// $(...), a backtick, ';', tmux formats and #(...), a line feed, a leading '-' and '+', blanks and
// Hangul. Whatever runs writes a file named PWNED in its working directory (see pwned()).
extern const std::vector<std::string> kHostileNames;

// What a recording program saw: its working directory and its arguments.
struct Recorded {
    std::string cwd;
    std::vector<std::string> args;
};

struct VimView {
    std::string file;  // expand('%:p')
    int line = 0;      // line('.')
};

class PickerSession {
public:
    explicit PickerSession(PrivateEnv& env, int width = 160, int height = 50);

    TmuxServer& server() { return server_; }
    AttachedClient& client() { return client_; }
    const fs::path& root() const { return root_; }     // @zelt
    fs::path bin() const { return bin_; }              // first on the server's PATH
    const std::string& path() const { return path_; }  // the server's PATH, bin() first
    fs::path vesk() const { return root_ / "bin" / "vesk"; }

    // Sources the distribution's files (paths below dist/) into the server, as the user's
    // configuration does. The prefix becomes the distribution's.
    void load_dist(const std::vector<std::string>& files = {"confs/conf.common"});
    // The binding of KEY in TABLE as list-keys prints it ("" when unbound).
    std::string binding(const std::string& table, const std::string& key);

    // An executable script `bin()/name` with this sh body.
    fs::path add_program(const std::string& name, const std::string& body);
    // A program `bin()/name` that records its working directory and arguments for recorded().
    fs::path add_recorder(const std::string& name);
    // Waits (wait_until's limit) for the recorder's record; nothing when it never ran.
    std::optional<Recorded> recorded(const std::string& name);

    // An interactive bash (no rc files, prompt "[sh]$ ") in `dir`, in a new selected window: the active
    // pane, where the client's keys go. Returns its pane id once the prompt shows.
    std::string shell_pane(const fs::path& dir);
    // Any program, likewise the active pane; the program is the pane's process, so tmux names it
    // in #{pane_current_command}.
    std::string active_pane(const std::vector<std::string>& argv, const fs::path& dir);

    // Keys typed at the client (tmux key names), the prefix first for press_prefixed (which also
    // takes C-0 ... C-9, sent as a terminal set up for them sends them).
    void press(const std::vector<std::string>& keys);
    void press_prefixed(const std::string& key);
    // Text typed literally at the client.
    void type(const std::string& text);
    // A tmux command run as a binding runs it: `run-shell -b COMMAND`.
    void run_shell_b(const std::string& command);

    std::string screen() const;
    bool wait_for_text(const std::string& needle, std::chrono::milliseconds deadline = kTmuxDeadline) const;
    bool wait_for_no_text(const std::string& needle, std::chrono::milliseconds deadline = kTmuxDeadline) const;
    // Waits until `needle` has left the screen and the popup that showed it has closed. A key typed
    // before that reaches the closing popup, not a binding; and fzf clears its lines when it ends,
    // before the program that ran it has ended and tmux has closed the popup.
    bool wait_for_popup_gone(const std::string& needle) const;

    // Types the query over the last one at an fzf picker and waits until it shows `count` (by
    // default exactly one line): Enter before that picks nothing. A failed wait fails the test.
    void ask(const std::string& query, const std::string& count = " 1/1");
    // Open With is up: the command whose entry `query` finds, Enter.
    void open_with(const std::string& query);

    // The file and cursor line of the vim that started last, as it started (after its +N); then
    // quits it with keys typed at the client. Nothing when no vim started.
    std::optional<VimView> vim_view();

    // The ids of every pane of the server.
    std::vector<std::string> pane_ids();
    // Polls until a pane not in `known` appears; its id, "" on timeout.
    std::string wait_for_new_pane(const std::vector<std::string>& known);

    // The names of files whose name starts with PWNED anywhere below env's root or in this test's
    // working directory: what a name run as code would have made.
    std::vector<std::string> pwned() const;

private:
    PrivateEnv& env_;
    TmuxServer server_;
    AttachedClient client_;
    fs::path root_;
    fs::path bin_;
    std::string path_;  // the server's PATH, bin_ first
    std::string prefix_;  // the server's prefix key once read, until load_dist()
};

}  // namespace vesk::test

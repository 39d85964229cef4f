#include "support/tmux_server.hpp"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace vesk::test {

namespace {

std::string strip_newline(std::string s) {
    if (s.ends_with('\n')) s.pop_back();
    return s;
}

// A quiet interactive shell for the panes started without a command.
const std::string kQuietShell = "exec bash --norc --noprofile";

// The processes below `root` and in the sessions they lead or `sessions` names, `root` left out,
// never this process or its session. A session of `sessions` whose leader runs is left out too:
// the pid of a pane that ended may have come back as another program's.
std::set<int> processes_of(int root, std::set<int> sessions) {
    const std::vector<ProcessEntry> procs = all_processes();
    for (const auto& p : procs) sessions.erase(p.pid);
    std::set<int> found{root};
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& p : procs) {
            if (found.count(p.pid) && p.sid == p.pid) sessions.insert(p.pid);
        }
        for (const auto& p : procs) {
            if (found.count(p.pid) || p.pid == ::getpid() || p.sid == ::getsid(0)) continue;
            if (found.count(p.ppid) || sessions.count(p.sid)) grew = found.insert(p.pid).second || grew;
        }
    }
    found.erase(root);
    return found;
}

// Ends (SIGKILL) every process the tmux server `server_pid` started and what they started, also
// what is left in the session of one of `pane_pids` after its pane's process ended, but not the
// server itself: a pane's hang-up at kill-server reaches neither a background job nor a process
// that ignores it, nor a job of the server's such as pipe-pane's.
void kill_server_processes(int server_pid, const std::set<int>& pane_pids) {
    if (server_pid <= 0) return;
    // Each stopped when found, so that none starts another after the search went past it.
    std::set<int> stopped;
    for (bool grew = true; grew;) {
        grew = false;
        for (int pid : processes_of(server_pid, pane_pids)) {
            if (!stopped.insert(pid).second) continue;
            ::kill(pid, SIGSTOP);
            grew = true;
        }
    }
    for (int pid : stopped) ::kill(pid, SIGKILL);
}

}  // namespace

std::vector<ProcessEntry> all_processes() {
    std::vector<ProcessEntry> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        std::getline(in, stat);
        const std::size_t open = stat.find('('), close = stat.rfind(')');  // the name may hold anything
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        std::istringstream rest(stat.substr(close + 1));
        ProcessEntry p{std::stoi(name)};
        p.name = stat.substr(open + 1, close - open - 1);
        int pgrp = 0;
        if (rest >> p.state >> p.ppid >> pgrp >> p.sid) out.push_back(p);
    }
    return out;
}

std::string real_tmux() {
    static const std::string found = [] {
        const char* path = std::getenv("PATH");
        std::stringstream dirs(path ? path : "/usr/bin:/bin");
        for (std::string dir; std::getline(dirs, dir, ':');) {
            const fs::path candidate = fs::path(dir) / "tmux";
            if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate) &&
                !candidate.string().starts_with(VESK_SOURCE_DIR))
                return candidate.string();
        }
        return std::string("/usr/bin/tmux");
    }();
    return found;
}

fs::path recording_tmux_path() { return fs::path(VESK_SOURCE_DIR) / "tests/support/recording-tmux"; }
fs::path floating_tmux_path() { return fs::path(VESK_SOURCE_DIR) / "tools/tmux-floating"; }

TmuxServer::TmuxServer(int width, int height, fs::path tmpdir, fs::path home) {
    static std::atomic<int> counter{0};
    name_ = "vesk-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    if (tmpdir.empty()) tmpdir = own_tmpdir_.emplace().path();
    fs::create_directories(tmpdir_ = tmpdir);
    fs::create_directories(home_ = home.empty() ? tmpdir_ / "home" : home);
    // remain-on-exit is global so that even a command that ends at once leaves its status; an
    // empty remain-on-exit-format keeps "Pane is dead" from scrolling a full screen's first line away.
    // The options come first, so that the first pane runs the quiet shell too.
    const std::string line =
        tmux_ok({"set-option", "-g", "default-command", kQuietShell, ";", "set-option", "-g", "remain-on-exit", "on",
                 ";", "set-option", "-g", "remain-on-exit-format", "", ";", "new-session", "-d", "-x",
                 std::to_string(width), "-y", std::to_string(height), "-P", "-F", "#{session_name}\t#{pane_id}"});
    session_ = line.substr(0, line.find('\t'));
    first_pane_ = line.substr(line.find('\t') + 1);
    // A test that never reaches the destructor (killed at its time limit, crashed) still takes its
    // server with it: the watcher's input is a pipe only this process writes to, and its end
    // comes with this process's end.
    ChildCommand watcher("sh", {"-c", "read -r _; exec \"$0\" -L \"$1\" -f /dev/null kill-server", real_tmux(), name_});
    watcher.env = client_env();
    watcher_.emplace(Child::spawn(watcher.stdin_(Stdio::Pipe).stdout_(Stdio::Null).stderr_(Stdio::Null).own_session()));
}

TmuxServer::~TmuxServer() {
    end_tmux_server([this](const std::vector<std::string>& args) { return tmux(args); });
    if (watcher_) {
        watcher_->kill();
        watcher_->wait();
    }
}

void end_tmux_server(const std::function<RunResult(const std::vector<std::string>&)>& tmux) {
    // The server's pid, then the pid of each pane.
    std::stringstream pids(tmux({"display-message", "-p", "#{pid}", ";", "list-panes", "-a", "-F", "#{pane_pid}"}).out);
    std::string server;
    std::getline(pids, server);
    std::set<int> panes;
    for (std::string pid; std::getline(pids, pid);)
        if (!pid.empty()) panes.insert(std::atoi(pid.c_str()));
    kill_server_processes(std::atoi(server.c_str()), panes);
    tmux({"kill-server"});
}

std::string TmuxServer::tmux_env_value() const {
    const fs::path socket = tmpdir_ / ("tmux-" + std::to_string(::getuid())) / name_;
    return socket.string() + "," + format("", "#{pid}") + ",0";
}

EnvChanges TmuxServer::client_env() const {
    return {{"TMUX_TMPDIR", tmpdir_.string()}, {"HOME", home_.string()},   {"SHELL", "/bin/bash"},
            {"LANG", "C.UTF-8"},               {"LC_ALL", std::nullopt},   {"TMUX", std::nullopt},
            {"TMUX_PANE", std::nullopt}};
}

RunResult TmuxServer::tmux(const std::vector<std::string>& args) const {
    ChildCommand command(real_tmux(), {"-L", name_, "-f", "/dev/null"});
    command.args.insert(command.args.end(), args.begin(), args.end());
    command.env = client_env();
    command.stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe);
    Output output = run_child(command);
    return RunResult{output.status.code().value_or(-1), std::move(output.out), std::move(output.err)};
}

std::string TmuxServer::tmux_ok(const std::vector<std::string>& args) const {
    RunResult r = tmux(args);
    if (r.status != 0) {
        std::string joined;
        for (const auto& a : args) joined += " " + a;
        throw std::runtime_error("tmux" + joined + " failed (" + std::to_string(r.status) + "): " + r.err);
    }
    return strip_newline(r.out);
}

std::string TmuxServer::start_window(bool detached, const std::vector<std::string>& argv, const EnvChanges& env,
                                     const std::optional<fs::path>& cwd) {
    std::vector<std::string> args = {"new-window", "-t", session_ + ":", "-P", "-F", "#{pane_id}"};
    if (detached) args.push_back("-d");
    if (cwd) {
        // tmux expands formats in a start directory: every # doubled names the directory itself.
        std::string dir;
        for (char c : cwd->string()) dir += c == '#' ? std::string("##") : std::string(1, c);
        args.insert(args.end(), {"-c", dir});
    }
    // `env -u A B=c sh -c WRAPPER STATUS-FILE ARGV...`: the command's environment without a shell
    // reading it, and its status written to a file.
    args.insert(args.end(), {"--", "env"});
    for (const auto& [k, v] : env)
        if (!v) args.insert(args.end(), {"-u", k});
    for (const auto& [k, v] : env)
        if (v) args.push_back(k + "=" + *v);
    const fs::path status_file = tmpdir_ / ("pane-status-" + std::to_string(panes_started_++));
    args.insert(args.end(), {"sh", "-c", "\"$@\"; s=$?; echo \"$s\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0\"; exit \"$s\"",
                             status_file.string()});
    args.insert(args.end(), argv.begin(), argv.end());
    const std::string pane = tmux_ok(args);
    status_files_[pane] = status_file;
    return pane;
}

std::string TmuxServer::run_in_pane(const std::vector<std::string>& argv, const EnvChanges& env,
                                    const std::optional<fs::path>& cwd) {
    return start_window(true, argv, env, cwd);
}

std::string TmuxServer::run_in_current_window(const std::vector<std::string>& argv, const EnvChanges& env,
                                              const std::optional<fs::path>& cwd) {
    return start_window(false, argv, env, cwd);
}

std::string TmuxServer::split(const std::string& pane) {
    return tmux_ok({"split-window", "-d", "-t", pane, "-P", "-F", "#{pane_id}", "--", "sleep", "100000"});
}

void TmuxServer::send_keys(const std::string& pane, const std::vector<std::string>& keys) {
    std::vector<std::string> args = {"send-keys", "-t", pane};
    args.insert(args.end(), keys.begin(), keys.end());
    tmux_ok(args);
}

void TmuxServer::send_text(const std::string& pane, const std::string& text) {
    tmux_ok({"send-keys", "-t", pane, "-l", "--", text});
}

std::string TmuxServer::capture(const std::string& pane, bool joined) const {
    return tmux(joined ? std::vector<std::string>{"capture-pane", "-p", "-J", "-t", pane}
                       : std::vector<std::string>{"capture-pane", "-p", "-t", pane})
        .out;
}

std::optional<std::string> TmuxServer::wait_for_screen(const std::string& pane,
                                                       const std::function<bool(const std::string&)>& pred,
                                                       std::chrono::milliseconds deadline) const {
    std::string screen;
    if (wait_until([&] { return pred(screen = capture(pane)); }, deadline)) return screen;
    return std::nullopt;
}

bool TmuxServer::wait_for_text(const std::string& pane, const std::string& needle,
                               std::chrono::milliseconds deadline) const {
    return wait_for_screen(pane, showing(needle), deadline).has_value();
}

std::optional<std::string> TmuxServer::wait_for_preview(const std::string& pane,
                                                        const std::function<bool(const std::string&)>& shown,
                                                        const std::function<void()>& ask_again) const {
    // A preview seldom takes seconds, but on a busy machine it may: asking again restarts it, so
    // each try waits longer than the last.
    std::chrono::milliseconds limit{5000}, spent{0};
    for (;;) {
        if (auto screen = wait_for_screen(pane, shown, limit)) return screen;
        spent += limit;
        if (spent >= kTmuxDeadline) return std::nullopt;
        ask_again();
        limit = std::min(limit * 2, kTmuxDeadline - spent);
    }
}

std::optional<int> TmuxServer::exit_status(const std::string& pane) const {
    const auto it = status_files_.find(pane);
    if (it == status_files_.end() || !fs::exists(it->second)) return std::nullopt;
    const int status = std::atoi(read_text(it->second).c_str());
    return status > 128 ? -1 : status;  // the shell reports a signal as 128 + N
}

int TmuxServer::wait_for_exit(const std::string& pane, std::chrono::milliseconds deadline) const {
    if (!wait_until([&] { return exit_status(pane).has_value(); }, deadline))
        throw std::runtime_error("pane " + pane + " still runs; screen:\n" + capture(pane));
    return *exit_status(pane);
}

bool TmuxServer::wait_for_raw_mode(const std::string& pane, std::chrono::milliseconds deadline) const {
    const std::string tty = format(pane, "#{pane_tty}");
    return wait_until(
        [&] {
            ChildCommand stty("stty", {"-F", tty, "-a"});
            stty.stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Null);
            return run_child(stty).out.find("-icanon") != std::string::npos;
        },
        deadline);
}

bool TmuxServer::pane_exists(const std::string& pane) const {
    return ("\n" + tmux({"list-panes", "-a", "-F", "#{pane_id}"}).out).find("\n" + pane + "\n") != std::string::npos;
}

bool TmuxServer::runs_jobs() const {
    std::stringstream pids(tmux({"display-message", "-p", "#{pid}", ";", "list-panes", "-a", "-F", "#{pane_pid}"}).out);
    std::string server;
    std::getline(pids, server);
    std::set<int> jobs = processes_of(std::atoi(server.c_str()), {});
    for (std::string line; std::getline(pids, line);) {
        const int pane = std::atoi(line.c_str());
        jobs.erase(pane);
        for (int pid : processes_of(pane, {})) jobs.erase(pid);
    }
    // A job that has ended may wait a while for the server to reap it.
    for (const auto& p : all_processes())
        if (p.state == 'Z') jobs.erase(p.pid);
    return !jobs.empty();
}

std::string TmuxServer::format(const std::string& target, const std::string& fmt) const {
    if (target.empty()) return tmux_ok({"display-message", "-p", fmt});
    return tmux_ok({"display-message", "-p", "-t", target, fmt});
}

std::string TmuxServer::global_option(const std::string& name, const std::string& flags) const {
    return strip_newline(tmux({"show-options", flags, name}).out);
}

std::string TmuxServer::pane_option(const std::string& pane, const std::string& name) const {
    return strip_newline(tmux({"show-options", "-pqv", "-t", pane, name}).out);
}

AttachedClient::AttachedClient(TmuxServer& inner, int width, int height)
    : outer_(width, height, inner.tmpdir(), inner.home()) {
    outer_.tmux_ok({"set-option", "-g", "status", "off"});
    pane_ = outer_.run_in_current_window({real_tmux(), "-L", inner.socket_name(), "attach", "-t", inner.session()},
                                         inner.client_env());
    if (!wait_until([&] { return !inner.tmux({"list-clients", "-F", "#{client_name}"}).out.empty(); }))
        throw std::runtime_error("the client did not attach; outer screen:\n" + outer_.capture(pane_));
}

std::string AttachedClient::capture() const { return outer_.capture(pane_); }

std::optional<std::string> AttachedClient::wait_for_screen(const std::function<bool(const std::string&)>& pred,
                                                           std::chrono::milliseconds deadline) const {
    return outer_.wait_for_screen(pane_, pred, deadline);
}

bool AttachedClient::wait_for_text(const std::string& needle, std::chrono::milliseconds deadline) const {
    return outer_.wait_for_text(pane_, needle, deadline);
}

bool AttachedClient::wait_for_no_text(const std::string& needle, std::chrono::milliseconds deadline) const {
    return wait_for_screen([&](const std::string& s) { return s.find(needle) == std::string::npos; }, deadline)
        .has_value();
}

std::optional<std::string> AttachedClient::wait_for_preview(const std::function<bool(const std::string&)>& shown,
                                                            const std::function<void()>& ask_again) const {
    return outer_.wait_for_preview(pane_, shown, ask_again);
}

void AttachedClient::send_keys(const std::vector<std::string>& keys) { outer_.send_keys(pane_, keys); }

void AttachedClient::send_text(const std::string& text) { outer_.send_text(pane_, text); }

std::function<bool(const std::string&)> showing(const std::string& needle) {
    return [needle](const std::string& screen) { return screen.find(needle) != std::string::npos; };
}

EnvChanges inside_tmux(const EnvChanges& env) {
    EnvChanges out;
    for (const auto& change : env)
        if (change.first != "TMUX" && change.first != "TMUX_PANE") out.push_back(change);
    return out;
}

std::vector<std::vector<std::string>> recorded_calls(const fs::path& log) {
    std::vector<std::vector<std::string>> calls;
    if (!fs::exists(log)) return calls;
    std::stringstream lines(read_text(log));
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> words;
        std::stringstream fields(line);
        for (std::string word; std::getline(fields, word, '\t');) words.push_back(word);
        if (line.empty() || line.ends_with('\t')) words.push_back("");
        if (!words.empty() && words.front() == "-N") words.erase(words.begin());
        calls.push_back(std::move(words));
    }
    return calls;
}

}  // namespace vesk::test

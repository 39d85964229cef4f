#include "support/tmux_server.hpp"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace vesk::test {

namespace {

std::atomic<int> server_counter{0};

std::string unique_name() {
    return "vesk-test-" + std::to_string(::getpid()) + "-" + std::to_string(server_counter++);
}

std::string strip_newline(std::string s) {
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

bool executable(const fs::path& p) { return ::access(p.c_str(), X_OK) == 0 && !fs::is_directory(p); }

}  // namespace

std::string real_tmux() {
    static const std::string found = [] {
        const char* path = std::getenv("PATH");
        std::string dirs = path ? path : "/usr/bin:/bin";
        std::stringstream ss(dirs);
        std::string dir;
        while (std::getline(ss, dir, ':')) {
            if (dir.empty()) continue;
            fs::path candidate = fs::path(dir) / "tmux";
            // Skip the stand-ins of this source tree should a test have put them first on PATH.
            if (executable(candidate) && candidate.string().find(VESK_SOURCE_DIR) != 0) return candidate.string();
        }
        return std::string("/usr/bin/tmux");
    }();
    return found;
}

fs::path recording_tmux_path() { return fs::path(VESK_SOURCE_DIR) / "tests/support/recording-tmux"; }
fs::path floating_tmux_path() { return fs::path(VESK_SOURCE_DIR) / "tools/tmux-floating"; }

TmuxServer::TmuxServer(int width, int height, fs::path tmpdir) : name_(unique_name()) {
    if (tmpdir.empty()) {
        own_tmpdir_.emplace();
        tmpdir_ = own_tmpdir_->path();
    } else {
        tmpdir_ = std::move(tmpdir);
        fs::create_directories(tmpdir_);
    }
    // remain-on-exit is global so that even a command that ends at once leaves its status behind.
    // Without a remain-on-exit-format tmux writes "Pane is dead" under the output, which scrolls
    // the first line of a full screen away.
    RunResult r = tmux({"new-session", "-d", "-x", std::to_string(width), "-y", std::to_string(height), "-P", "-F",
                        "#{session_name}\t#{pane_id}", ";", "set-option", "-g", "remain-on-exit", "on", ";",
                        "set-option", "-g", "remain-on-exit-format", ""});
    if (r.status != 0) throw std::runtime_error("cannot start tmux server " + name_ + ": " + r.err);
    alive_ = true;
    std::string line = strip_newline(r.out);
    auto tab = line.find('\t');
    session_ = line.substr(0, tab);
    first_pane_ = tab == std::string::npos ? std::string() : line.substr(tab + 1);
}

TmuxServer::~TmuxServer() { kill(); }

void TmuxServer::kill() {
    if (!alive_) return;
    alive_ = false;
    tmux({"kill-server"});
}

std::string TmuxServer::tmux_env_value() const {
    const fs::path socket = tmpdir_ / ("tmux-" + std::to_string(::getuid())) / name_;
    return socket.string() + "," + format("", "#{pid}") + ",0";
}

EnvChanges TmuxServer::client_env() const {
    return {{"TMUX_TMPDIR", tmpdir_.string()}, {"LANG", "C.UTF-8"}, {"LC_ALL", std::nullopt},
            {"TMUX", std::nullopt},           {"TMUX_PANE", std::nullopt}};
}

RunResult TmuxServer::tmux(const std::vector<std::string>& args) const {
    ChildCommand command(real_tmux(), {"-L", name_, "-f", "/dev/null"});
    for (const auto& a : args) command.args.push_back(a);
    command.env = client_env();
    command.in = Stdio::Null;
    command.out = Stdio::Pipe;
    command.err = Stdio::Pipe;
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

namespace {

// `env -u A B=c ARGV...`: the pane's command with its environment, without a shell in between.
std::vector<std::string> with_env(const std::vector<std::string>& argv, const EnvChanges& env) {
    std::vector<std::string> words = {"env"};
    for (const auto& [k, v] : env) {
        if (!v) {
            words.push_back("-u");
            words.push_back(k);
        }
    }
    for (const auto& [k, v] : env)
        if (v) words.push_back(k + "=" + *v);
    // A program name with '=' would be read by env as an assignment; none of ours has one.
    for (const auto& a : argv) words.push_back(a);
    return words;
}

}  // namespace

std::string TmuxServer::start_window(bool detached, const std::vector<std::string>& argv, const EnvChanges& env,
                                     const std::optional<fs::path>& cwd) {
    std::vector<std::string> args = {"new-window", "-t", session_ + ":", "-P", "-F", "#{pane_id}"};
    if (detached) args.push_back("-d");
    if (cwd) {
        args.push_back("-c");
        args.push_back(cwd->string());
    }
    args.push_back("--");
    fs::path status_file = tmpdir_ / ("pane-status-" + std::to_string(panes_started_++));
    std::vector<std::string> wrapped = {
        "sh", "-c", "\"$@\"; s=$?; echo \"$s\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0\"; exit \"$s\"", status_file.string()};
    wrapped.insert(wrapped.end(), argv.begin(), argv.end());
    for (auto& w : with_env(wrapped, env)) args.push_back(std::move(w));
    std::string pane = tmux_ok(args);
    status_files_[pane] = status_file;
    return pane;
}

std::string TmuxServer::run_in_pane(const std::vector<std::string>& argv, const EnvChanges& env,
                                    const std::optional<fs::path>& cwd) {
    return start_window(true, argv, env, cwd);
}

std::string TmuxServer::run_in_current_window(const std::vector<std::string>& argv, const EnvChanges& env) {
    return start_window(false, argv, env, std::nullopt);
}

std::string TmuxServer::split(const std::string& pane) {
    return tmux_ok({"split-window", "-d", "-t", pane, "-P", "-F", "#{pane_id}", "--", "sleep", "100000"});
}

void TmuxServer::send_keys(const std::string& pane, const std::vector<std::string>& keys) {
    std::vector<std::string> args = {"send-keys", "-t", pane};
    for (const auto& k : keys) args.push_back(k);
    tmux_ok(args);
}

void TmuxServer::send_text(const std::string& pane, const std::string& text) {
    tmux_ok({"send-keys", "-t", pane, "-l", "--", text});
}

std::string TmuxServer::capture(const std::string& pane, bool escapes) const {
    std::vector<std::string> args = {"capture-pane", "-p", "-t", pane};
    if (escapes) args.push_back("-e");
    RunResult r = tmux(args);
    return r.out;
}

std::optional<std::string> TmuxServer::wait_for_screen(const std::string& pane,
                                                       const std::function<bool(const std::string&)>& pred,
                                                       std::chrono::milliseconds deadline, bool escapes) const {
    std::string screen;
    if (wait_until([&] { return pred(screen = capture(pane, escapes)); }, deadline)) return screen;
    return std::nullopt;
}

bool TmuxServer::wait_for_text(const std::string& pane, const std::string& needle,
                               std::chrono::milliseconds deadline) const {
    return wait_for_screen(pane, [&](const std::string& s) { return s.find(needle) != std::string::npos; }, deadline)
        .has_value();
}

std::optional<int> TmuxServer::exit_status(const std::string& pane) const {
    auto it = status_files_.find(pane);
    if (it == status_files_.end() || !fs::exists(it->second)) return std::nullopt;
    int status = std::atoi(read_text(it->second).c_str());
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
            stty.in = stty.err = Stdio::Null;
            stty.out = Stdio::Pipe;
            return run_child(stty).out.find("-icanon") != std::string::npos;
        },
        deadline);
}

bool TmuxServer::pane_exists(const std::string& pane) const {
    RunResult r = tmux({"list-panes", "-a", "-F", "#{pane_id}"});
    std::stringstream ss(r.out);
    std::string line;
    while (std::getline(ss, line))
        if (line == pane) return true;
    return false;
}

std::string TmuxServer::format(const std::string& target, const std::string& fmt) const {
    std::vector<std::string> args = {"display-message", "-p"};
    if (!target.empty()) {
        args.push_back("-t");
        args.push_back(target);
    }
    args.push_back(fmt);
    return tmux_ok(args);
}

std::string TmuxServer::global_option(const std::string& name, const std::string& flags) const {
    return strip_newline(tmux({"show-options", flags, name}).out);
}

std::string TmuxServer::pane_option(const std::string& pane, const std::string& name) const {
    return strip_newline(tmux({"show-options", "-pqv", "-t", pane, name}).out);
}

AttachedClient::AttachedClient(TmuxServer& inner, int width, int height)
    : inner_(inner), outer_(width, height, inner.tmpdir()) {
    outer_.tmux_ok({"set-option", "-g", "status", "off"});
    pane_ = outer_.run_in_current_window({real_tmux(), "-L", inner_.socket_name(), "attach", "-t", inner_.session()},
                                         inner_.client_env());
    if (!wait_until([&] { return !strip_newline(inner_.tmux({"list-clients", "-F", "#{client_name}"}).out).empty(); }))
        throw std::runtime_error("the client did not attach; outer screen:\n" + outer_.capture(pane_));
}

std::string AttachedClient::capture(bool escapes) const { return outer_.capture(pane_, escapes); }

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

void AttachedClient::send_keys(const std::vector<std::string>& keys) { outer_.send_keys(pane_, keys); }

EnvChanges inside_tmux(const EnvChanges& env) {
    EnvChanges out;
    for (const auto& change : env)
        if (change.first != "TMUX" && change.first != "TMUX_PANE") out.push_back(change);
    return out;
}

std::vector<std::vector<std::string>> recorded_calls(const fs::path& log) {
    std::vector<std::vector<std::string>> calls;
    std::string text;
    try {
        text = read_text(log);
    } catch (...) {
        return calls;
    }
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line)) {
        std::vector<std::string> words;
        size_t start = 0;
        for (;;) {
            auto tab = line.find('\t', start);
            words.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        calls.push_back(std::move(words));
    }
    return calls;
}

}  // namespace vesk::test

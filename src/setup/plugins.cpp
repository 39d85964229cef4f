#include "setup/plugins.hpp"

#include <signal.h>
#include <unistd.h>

#include <fmt/format.h>

#include <iostream>
#include <optional>
#include <thread>

#include "core/command.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/signal_cleanup.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::setup {

namespace fs = std::filesystem;

namespace {

std::string plugin_dir_name(const std::string& repo) {
    const auto slash = repo.rfind('/');
    return slash == std::string::npos ? repo : repo.substr(slash + 1);
}

std::string join(const std::vector<std::string>& words, std::string_view separator) {
    std::string out;
    for (const auto& w : words) {
        if (!out.empty()) out += separator;
        out += w;
    }
    return out;
}

// The private server of the plugin step, started in the constructor. On every way out it is ended
// with the plugin manager's work (tmux ends a job's shell but not the git clones below it, which
// share the server's process group) and its socket is removed (tmux leaves the socket behind); a
// signal that ends setup meanwhile does the same.
class SetupServer {
public:
    explicit SetupServer(std::string socket) : socket_(std::move(socket)), socket_file_(tmux_socket_path(socket_)) {
        const std::string pid = run_tmux_for_setup(socket_, {"new-session", "-d", "-s", "vesk-setup", "-P", "-F", "#{pid}"});
        if (const pid_t n = parse_i32(pid, 0); n > 0) {
            // The server leads a process group of its own, which its jobs join.
            group_ = ::getpgid(n) == n ? -n : n;
            end_on_signal_ = OnSignal::terminate(group_);
        }
    }
    ~SetupServer() {
        try {
            run_tmux_for_setup(socket_, {"kill-server"});
        } catch (...) {
        }
        if (group_ != 0) ::kill(group_, SIGTERM);
    }
    SetupServer(const SetupServer&) = delete;
    SetupServer& operator=(const SetupServer&) = delete;

private:
    std::string socket_;
    RemoveOnExit socket_file_;
    pid_t group_ = 0;  // -pgid, or the pid when the server leads no group
    OnSignal end_on_signal_;
};

}  // namespace

const std::vector<std::string>& default_plugin_repos() {
    static const std::vector<std::string> repos = {
        "tmux-plugins/tmux-yank", "tmux-plugins/tmux-resurrect",  "tmux-plugins/tmux-fpp",
        "sainnhe/tmux-fzf",       "artemave/tmux_super_fingers", "nhdaly/tmux-tab",
    };
    return repos;
}

std::vector<std::string> missing_plugin_repos(const fs::path& root, const std::vector<std::string>& repos) {
    std::vector<std::string> missing;
    for (const auto& repo : repos) {
        std::error_code ec;
        if (!fs::is_directory(root / "plugins" / plugin_dir_name(repo), ec)) missing.push_back(repo);
    }
    return missing;
}

std::string run_tmux_for_setup(const std::string& socket, const std::vector<std::string>& args) {
    const Tmux server = Tmux::private_server("tmux", socket);
    const Output output =
        with_context("setup plugin bootstrap용 tmux 명령 실행 실패", [&] { return server.capture(args); });
    if (!output.status.success()) {
        const auto code = output.status.code();
        throw Error(fmt::format("setup plugin bootstrap용 tmux 명령 실패(exit={}, args={}): stdout={} stderr={}",
                                code ? fmt::format("Some({})", *code) : std::string("None"), join(args, " "),
                                trim(lossy_utf8(output.out)), trim(lossy_utf8(output.err))));
    }
    return output.out;
}

PluginWait plugin_wait_for_socket(const std::string& socket) {
    PluginWait wait;
    wait.now = [] { return std::chrono::steady_clock::now(); };
    wait.sleep = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
    wait.busy = [socket] {
        try {
            return trim(run_tmux_for_setup(socket, {"show-options", "-sqv", "@__apply_plugins"})) == "true";
        } catch (const std::exception&) {
            return false;  // a server that is gone runs no plugin manager either
        }
    };
    wait.why = [socket](const std::vector<std::string>& unfinished) {
        std::vector<std::string> lines;
        try {
            // The framework's own report, when it could not even get the plugin manager.
            std::string reported(trim(run_tmux_for_setup(socket, {"show-options", "-sqv", "@__vesk_plugins_error"})));
            if (!reported.empty()) lines.push_back(std::move(reported));
        } catch (const std::exception&) {
        }
        for (auto& line : git_reasons(unfinished)) lines.push_back(std::move(line));
        return lines;
    };
    return wait;
}

std::vector<std::string> git_reasons(const std::vector<std::string>& repos, std::chrono::milliseconds limit) {
    // The plugin manager clones https://git::@github.com/<repo> (after trying the name as a URL);
    // git is asked for the same place, all repositories at once.
    struct Asked {
        std::string repo;
        std::optional<Child> git;
        std::optional<ExitStatus> status;
    };
    std::vector<Asked> asked;
    for (const auto& repo : repos) {
        ChildCommand command("git", {"ls-remote", "--heads", "https://git::@github.com/" + repo});
        command.set_env("GIT_TERMINAL_PROMPT", "0").stdin_(Stdio::Null).stdout_(Stdio::Null).stderr_(Stdio::Pipe);
        Asked a{repo, std::nullopt, std::nullopt};
        try {
            a.git.emplace(Child::spawn(command));
        } catch (const std::exception&) {
            continue;  // no git: nothing to say
        }
        asked.push_back(std::move(a));
    }
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        bool running = false;
        for (auto& a : asked)
            if (!a.status && !(a.status = a.git->try_wait())) running = true;
        if (!running || std::chrono::steady_clock::now() >= end) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::vector<std::string> lines;
    for (auto& a : asked) {
        if (!a.status) {
            a.git->kill();
            a.git->wait();
            lines.push_back(a.repo + ": git이 제때 답하지 않았습니다");
            continue;
        }
        if (a.status->success()) continue;
        std::string said;
        try {
            said = lossy_utf8(read_all(a.git->stderr_fd()));
        } catch (const std::exception&) {
        }
        std::string reason;
        for (const auto& line : split_lines(said)) {
            if (line.starts_with("fatal:")) {
                reason = line;
                break;
            }
            if (!is_blank(line) && reason.empty()) reason = line;
        }
        if (!reason.empty()) lines.push_back(a.repo + ": " + std::string(trim(reason)));
    }
    return lines;
}

std::vector<std::string> wait_for_plugins(const fs::path& root, const std::vector<std::string>& repos,
                                          const PluginWait& wait) {
    const auto start = wait.now();
    bool seen_busy = false;
    bool busy = false;
    std::vector<std::string> missing;
    for (;;) {
        // Ask the manager first: once it has stopped, the directories no longer change.
        busy = wait.busy();
        seen_busy = seen_busy || busy;
        missing = missing_plugin_repos(root, repos);
        if (!busy && (missing.empty() || seen_busy)) break;
        if (wait.now() - start >= wait.limit) break;
        wait.sleep(wait.interval);
    }
    std::vector<std::string> unfinished = !missing.empty() ? missing : busy ? repos : std::vector<std::string>{};
    if (!unfinished.empty()) {
        std::cout.flush();
        std::cerr << "플러그인 설치가 끝나지 않았습니다: " << join(unfinished, ", ") << "\n";
        if (wait.why)
            for (const auto& line : wait.why(unfinished)) std::cerr << "  " << line << "\n";
        std::cerr << "나중에 `vesk config plugins`에서 다시 받을 수 있습니다.\n";
        std::cerr.flush();
    }
    return unfinished;
}

void bootstrap_plugins_with_paths(const fs::path& root, const fs::path& conf,
                                  const std::function<PluginWait(const std::string& socket)>& make_wait) {
    const std::vector<std::string> missing = missing_plugin_repos(root, default_plugin_repos());
    if (missing.empty()) return;
    std::cout << "플러그인 " << missing.size() << "개를 받습니다...\n";
    std::cout.flush();
    require_command("tmux", "tmux를 찾을 수 없어 plugin bootstrap을 실행할 수 없습니다.");
    require_command("git", "git을 찾을 수 없어 plugin bootstrap을 실행할 수 없습니다.");
    fs::create_directories(root / "plugins");

    const std::string socket = fmt::format("vesk-setup-{}", ::getpid());
    SetupServer server(socket);
    const std::string conf_text = path_text(conf);
    run_tmux_for_setup(socket, {"set-environment", "-g", "TMUX_PLUGIN_MANAGER_PATH", path_text(root / "plugins")});
    run_tmux_for_setup(socket, {"set-environment", "-g", "TMUX_CONF", conf_text});
    run_tmux_for_setup(socket, {"set-environment", "-g", "TMUX_CONF_LOCAL", conf_text});
    run_tmux_for_setup(socket, {"source-file", tmux_source_path(conf_text)});
    wait_for_plugins(root, missing, make_wait(socket));
}

void install_plugins_after_setup(const fs::path& root, const fs::path& conf) {
    bootstrap_plugins_with_paths(root, conf, plugin_wait_for_socket);
}

}  // namespace vesk::setup

#include "plugin/tpm.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "core/error.hpp"
#include "core/files.hpp"
#include "tmux/tmux.hpp"

namespace vesk::plugin::tpm {

namespace fs = std::filesystem;

namespace {

// The repository as a piece of a file name: ASCII letters and digits kept, all else "-".
std::string safe_repo(std::string_view repo) {
    std::string out(repo);
    for (char& c : out) {
        bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!keep) c = '-';
    }
    return out;
}

// A fresh directory only this user can enter. The name carries the process and the repository so
// a person looking into /tmp can tell what it is, and a random tail so nobody can create it first
// and hand the installer a configuration of their own.
fs::path make_private_temp_dir(std::string_view repo) {
    fs::path base = fs::absolute(fs::temp_directory_path());
    std::string pattern =
        (base / fmt::format("vesk-tpm-{}-{}-XXXXXX", ::getpid(), safe_repo(repo))).string();
    if (::mkdtemp(pattern.data()) == nullptr) throw_errno(pattern);
    return pattern;
}

void remove_quietly(const fs::path& dir) noexcept {
    std::error_code ec;
    fs::remove_all(dir, ec);
}

// Starts a detached helper that removes `dir` once every holder of the returned descriptor has
// closed it. The install script inherits the descriptor (and so does everything it starts), so the
// configuration outlives this process when the screen is left while the script still runs. The
// helper gets a session of its own: closing the popup or the terminal does not take it along.
// The shell we start only puts the helper in the background and exits, and is waited for here: the
// helper is then nobody's child but init's, which reaps it, instead of lingering as a zombie of the
// screen until the screen ends. (The background job gets /dev/null as its standard input, so the
// pipe goes to it as descriptor 3.)
int start_reaper(const fs::path& dir) {
    ChildCommand command("sh", {"-c", "exec 3<&0; (cat <&3 >/dev/null; rm -rf -- \"$1\") & exit 0", "vesk-tpm-reaper",
                                dir.string()});
    command.own_session().stdin_(Stdio::Pipe).stdout_(Stdio::Null).stderr_(Stdio::Null);
    Child reaper = Child::spawn(command);
    reaper.wait();
    // The pipe end is close-on-exec; a duplicate without that flag is what the script inherits.
    int inheritable = ::fcntl(reaper.stdin_fd(), F_DUPFD, 3);
    if (inheritable < 0) throw_errno();
    // Dropping `reaper` closes our close-on-exec end.
    return inheritable;
}

}  // namespace

Job::Job(Child child, std::optional<fs::path> temp_dir) : child_(std::move(child)), temp_dir_(std::move(temp_dir)) {}

Job::Job(Job&& other) noexcept
    : child_(std::move(other.child_)), temp_dir_(std::exchange(other.temp_dir_, std::nullopt)) {}

Job& Job::operator=(Job&& other) noexcept {
    if (this != &other) {
        let_go();
        child_ = std::move(other.child_);
        temp_dir_ = std::exchange(other.temp_dir_, std::nullopt);
    }
    return *this;
}

Job::~Job() { let_go(); }

void Job::let_go() noexcept {
    if (!temp_dir_) return;
    try {
        // A script that has ended needs its configuration no more. One that still runs keeps it:
        // its reaper removes it when the script and everything it started are gone.
        if (child_.try_wait()) remove_temp_dir();
    } catch (const std::exception&) {
        // Whether it ended cannot be told: leave the directory to the reaper.
    }
    temp_dir_.reset();
}

void Job::remove_temp_dir() noexcept {
    if (!temp_dir_) return;
    remove_quietly(*temp_dir_);
    temp_dir_.reset();
}

bool Job::finished() {
    std::optional<ExitStatus> status = child_.try_wait();
    if (!status) return false;
    remove_temp_dir();
    if (status->success()) return true;
    throw Error(fmt::format("tpm이 끝내지 못했습니다 (종료 코드 {})", status->code().value_or(-1)));
}

fs::path scripts_dir(const fs::path& plugins_dir) {
    fs::path scripts = plugins_dir / "tpm" / "scripts";
    std::error_code ec;
    if (!fs::is_directory(scripts, ec)) throw Error("tpm을 찾지 못했습니다: " + scripts.string());
    return scripts;
}

void announce_path(const fs::path& plugins_dir) {
    std::string text = plugins_dir.string();
    if (!text.ends_with('/')) text += '/';
    ExitStatus status = with_context("tmux를 부르지 못했습니다", [&] {
        return Tmux::named().capture({"set-environment", "-g", "TMUX_PLUGIN_MANAGER_PATH", text}).status;
    });
    // Without the variable the plugin manager installs into "/" (its fallback outside a server that
    // knows the path): no script may start unless tmux took it.
    if (!status.success()) {
        throw Error(fmt::format("tmux에 플러그인 자리를 알리지 못했습니다 (종료 코드 {})", status.code().value_or(-1)));
    }
}

Job fetch(const fs::path& plugins_dir, std::string_view repo) {
    fs::path scripts = scripts_dir(plugins_dir);
    announce_path(plugins_dir);

    fs::path temp_dir = make_private_temp_dir(repo);
    int inherited = -1;
    try {
        write_file_atomically(temp_dir / "tmux" / "tmux.conf", fmt::format("set -g @plugin '{}'\n", repo), 0600);
        ChildCommand command("bash", {(scripts / "install_plugins.sh").string()});
        command.set_env("XDG_CONFIG_HOME", temp_dir.string());
        // Its own session: leaving the screen closes the pane or popup, and the hang-up must not
        // end a clone half-way.
        command.own_session().stdin_(Stdio::Null).stdout_(Stdio::Null).stderr_(Stdio::Null);
        Child child = with_context("tpm의 설치 스크립트를 실행하지 못했습니다", [&] {
            inherited = start_reaper(temp_dir);
            return Child::spawn(command);
        });
        ::close(inherited);
        return Job(std::move(child), temp_dir);
    } catch (...) {
        if (inherited >= 0) ::close(inherited);
        remove_quietly(temp_dir);
        throw;
    }
}

Job update(const fs::path& plugins_dir, std::string_view repo) {
    fs::path scripts = scripts_dir(plugins_dir);
    announce_path(plugins_dir);
    // The updater drops its first argument (a flag slot of the plugin manager's own key binding).
    ChildCommand command("bash", {(scripts / "update_plugin.sh").string(), "", std::string(repo)});
    command.own_session().stdin_(Stdio::Null).stdout_(Stdio::Null).stderr_(Stdio::Null);
    Child child = with_context("tpm의 갱신 스크립트를 실행하지 못했습니다", [&] { return Child::spawn(command); });
    return Job(std::move(child), std::nullopt);
}

void remove(const fs::path& plugins_dir, std::string_view name) {
    if (name.empty() || name == "tpm") throw Error(fmt::format("지울 수 없는 이름입니다: {}", name));
    if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos ||
        name.find("..") != std::string_view::npos || name == ".") {
        throw Error(fmt::format("이름에 경로가 섞여 있습니다: {}", name));
    }
    fs::path target = plugins_dir / std::string(name);
    std::error_code ec;
    if (!fs::is_directory(target, ec)) return;
    with_context(fmt::format("{}을(를) 지우지 못했습니다", target.string()), [&] {
        std::error_code remove_ec;
        fs::remove_all(target, remove_ec);
        if (remove_ec) throw SystemError(remove_ec.value());
    });
}

}  // namespace vesk::plugin::tpm

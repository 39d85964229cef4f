#include "doctor/checks.hpp"

#include <fmt/format.h>

#include "core/command.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/text.hpp"
#include "doctor/checks_live.hpp"
#include "tmux/tmux.hpp"

namespace vesk::doctor {

namespace fs = std::filesystem;

namespace {

void push_programs(std::vector<Check>& checks) {
    // tmux answers --version with a usage error; -V is its version flag.
    push_command_check(checks, "system", "tmux", "tmux", {"tmux"}, Severity::Error,
                       install_remedy("tmux", "tmux를 설치한 뒤 `vesk setup`을 다시 실행하십시오."), "-V");
    push_command_check(checks, "system", "git", "git", {"git"}, Severity::Warn,
                       install_remedy("git", "git이 없으면 프로젝트 루트 판별과 일부 검색 흐름이 제한됩니다."));
    push_command_check(checks, "system", "fzf", "fzf", {"fzf"}, Severity::Error,
                       install_remedy("fzf", "fzf를 설치하십시오. 대부분의 vesk popup 선택 UI가 fzf에 의존합니다."));
    push_command_check(checks, "system", "rg", "ripgrep", {"rg"}, Severity::Warn,
                       install_remedy("ripgrep", "ripgrep(`rg`)이 없으면 content/deep search 기능이 제한됩니다."));
    push_command_check(checks, "system", "bat", "bat", {"bat", "batcat"}, Severity::Warn,
                       install_remedy("bat", "bat이 없으면 일부 preview가 단순 출력으로 대체될 수 있습니다."));
    push_command_check(checks, "system", "zip", "zip", {"zip"}, Severity::Warn,
                       install_remedy("zip", "zip이 없으면 로컬에서 배포 archive를 만들 수 없습니다."));
    push_command_check(
        checks, "system", "editor", "vim editor", editor_candidates(env_var("VISUAL"), env_var("EDITOR")),
        Severity::Error,
        install_remedy("neovim", "vim 또는 nvim을 설치하거나 VISUAL/EDITOR를 실행 가능한 편집기로 지정하십시오."));
}

void push_current_exe(std::vector<Check>& checks) {
    std::error_code ec;
    const fs::path self = current_exe(ec);
    if (ec) {
        checks.push_back(Check{"install", "current-exe", Severity::Warn, "현재 vesk 실행 파일 경로를 확인하지 못했습니다.",
                               SystemError(ec.value()).what(), std::nullopt});
        return;
    }
    checks.push_back(Check{"install", "current-exe", Severity::Ok, fmt::format("current executable: {}", path_text(self)),
                           fmt::format("host platform: {}", host_platform()), std::nullopt});
}

void push_installation(std::vector<Check>& checks, const config::Places& places, const fs::path& root) {
    const auto setup = [](const char* text) { return vesk_remedy(text, setup_args()); };
    push_path_check(checks, "install", "zelt-root", root, PathKind::Directory, Severity::Error,
                    setup("`vesk setup`을 실행해 설치 자리를 마련합니다."));
    push_path_check(checks, "install", "bin/vesk", root / "bin/vesk", PathKind::Executable, Severity::Error,
                    setup("`vesk setup`을 다시 실행해 실행 파일을 설치합니다."));
    push_path_check(checks, "install", ".tmux.conf", root / ".tmux.conf", PathKind::File, Severity::Error,
                    setup("`vesk setup`이 설치 진입점을 다시 쓰게 합니다."));
    // The file the rebuild writes and tmux reads (through ~/.tmux.conf): the one its remedy makes.
    const fs::path local = places.home ? *places.home / ".tmux.conf.local" : fs::path(".tmux.conf.local");
    push_path_check(checks, "install", ".tmux.conf.local", local, PathKind::File, Severity::Error,
                    vesk_remedy("`vesk rebuild`를 실행해 tmux 설정을 조립합니다.", {"rebuild"}));
    const char* fill = "`vesk setup`을 다시 실행해 빠진 파일을 채웁니다.";
    push_path_check(checks, "install", "lib/vimrc", root / "lib/vimrc", PathKind::File, Severity::Error, setup(fill));
    for (const char* file : {"lib/general-index-aligner.vim", "lib/grf-index-aligner.vim", "doc/MAPPING.md",
                             "doc/keybindings.itermkeymap"})
        push_path_check(checks, "install", file, root / file, PathKind::File, Severity::Warn, setup(fill));
}

void push_lists(std::vector<Check>& checks, const fs::path& root) {
    for (const char* list : {"lists/session-name.list", "lists/favorite-dir.list", "lists/launch-app.list",
                             "lists/quillbox.list", "lists/note-dir.list", "lists/find-file-and-exec.list",
                             "lists/tidewell.list"})
        push_path_check(checks, "features", list, root / list, PathKind::File, Severity::Warn,
                        vesk_remedy("`vesk setup`을 실행해 빠진 list 파일을 채웁니다.", setup_args()));
}

void push_config_dirs(std::vector<Check>& checks, const config::Places& places) {
    if (!places.config_dir) {
        checks.push_back(Check{"features", "config-dir", Severity::Warn, "vesk 설정 디렉터리 위치를 정하지 못했습니다.",
                               "HOME과 XDG_CONFIG_HOME 어느 쪽도 쓸 수 없었습니다.",
                               Remedy{"HOME 또는 XDG_CONFIG_HOME 환경 변수를 확인하십시오.", Action{NoAction{}}}});
        return;
    }
    const fs::path dir = *places.config_dir, confs = dir / "confs";
    push_path_check(checks, "features", "config-dir", dir, PathKind::WritableDirectory, Severity::Warn,
                    Remedy{"설정 디렉터리를 만듭니다.", Action{Mkdir{dir}}});
    push_path_check(checks, "features", "user-confs-dir", confs, PathKind::WritableDirectory, Severity::Warn,
                    Remedy{"사용자 설정 조각을 둘 디렉터리를 만듭니다. 여기에 둔 조각이 기본 설정을 덮습니다.",
                           Action{Mkdir{confs}}});
}

void push_plugins(std::vector<Check>& checks, const fs::path& root) {
    const fs::path plugins = root / "plugins", tpm = plugins / "tpm";
    push_path_check(checks, "features", "plugins-dir", plugins, PathKind::WritableDirectory, Severity::Warn,
                    Remedy{"플러그인을 둘 디렉터리를 만듭니다.", Action{Mkdir{plugins}}});
    Remedy fetch = which("git")
                       ? Remedy{"TPM을 받아 옵니다. tmux plugin 자동 설치와 갱신이 여기에 달려 있습니다.",
                                Action{Recipe::make("git", {"clone", "https://github.com/tmux-plugins/tpm",
                                                            path_text(tpm)})}}
                       : Remedy{"TPM을 받으려면 git이 먼저 있어야 합니다.", Action{NoAction{}}};
    push_path_check(checks, "features", "tpm-install", tpm / "bin/install_plugins", PathKind::Executable,
                    Severity::Warn, std::move(fetch));
}

void push_work_dirs(std::vector<Check>& checks, const config::Places& places) {
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    if (ec) {
        checks.push_back(Check{"features", "log-parent", Severity::Warn, "현재 작업 디렉터리를 확인하지 못했습니다.",
                               SystemError(ec.value()).what(), std::nullopt});
    } else {
        push_path_check(checks, "features", "log-parent", cwd, PathKind::WritableDirectory, Severity::Warn,
                        Remedy{"log 기능은 현재 프로젝트 아래 `.agent/shell` 또는 `.agent/chat`을 만들 수 있어야 "
                               "합니다. 쓰기 권한이 있는 자리에서 실행하십시오.",
                               Action{NoAction{}}});
    }
    const std::optional<std::string> set = env_var("TIDEWELL_DIR");
    const fs::path tidewell = set ? fs::path(*set) : places.home ? *places.home / ".tidewell" : fs::path(".tidewell");
    push_path_check(checks, "features", "tidewell-dir", tidewell, PathKind::WritableDirectory, Severity::Warn,
                    Remedy{"TideWell가 쓸 디렉터리를 만듭니다.", Action{Mkdir{tidewell}}});
}

// Runs one step of the list; whatever it throws becomes a check of its own instead of ending the
// report.
template <class F>
void step(std::vector<Check>& checks, std::string_view group, std::string_view id, F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        checks.push_back(Check{group, id, Severity::Error, fmt::format("{} 점검 중 오류가 났습니다.", id),
                               error_one_line(e), std::nullopt});
    }
}

}  // namespace

Report collect(const config::Places& places) {
    const Tmux tmux;
    const bool inside = inside_tmux();
    Report report;
    auto& checks = report.checks;
    fs::path root = places.root;
    step(checks, "system", "programs", [&] { push_programs(checks); });
    checks.push_back(Check{"config", "mode", Severity::Ok,
                           fmt::format("mode={}", places.embedded ? "general-user" : "authoring"), std::nullopt,
                           std::nullopt});
    step(checks, "tmux", "@zelt", [&] { root = push_zelt_check(checks, tmux, inside, places.root); });
    step(checks, "install", "current-exe", [&] { push_current_exe(checks); });
    step(checks, "install", "installation", [&] { push_installation(checks, places, root); });
    step(checks, "tmux", "live-session", [&] { push_live_checks(checks, tmux, inside); });
    step(checks, "features", "lists", [&] { push_lists(checks, root); });
    step(checks, "features", "config-dir", [&] { push_config_dirs(checks, places); });
    step(checks, "features", "plugins-dir", [&] { push_plugins(checks, root); });
    step(checks, "features", "work-dirs", [&] { push_work_dirs(checks, places); });
    step(checks, "features", "@qbox_root", [&] { push_qbox_root_check(checks, tmux, inside); });
    return report;
}

}  // namespace vesk::doctor

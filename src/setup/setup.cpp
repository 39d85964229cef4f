#include "setup/setup.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fmt/format.h>
#include <iostream>
#include <limits>
#include <optional>
#include <system_error>

#include "config/places.hpp"
#include "core/command.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"
#include "setup/messages.hpp"
#include "rebuild/run.hpp"
#include "setup/plugins.hpp"
#include "ui/select.hpp"

namespace vesk::setup {

namespace fs = std::filesystem;

namespace {

// Replaced on every setup: they belong to this version of the distribution. libexec/vesk/tmux is
// the floating-pane layer that conf.prefix puts first on the tmux server's PATH when the running
// tmux has no new-pane.
const char* const kSupportFiles[] = {
    "lib/vimrc", "lib/general-index-aligner.vim", "lib/grf-index-aligner.vim", "doc/MAPPING.md",
    "doc/keybindings.itermkeymap", "libexec/vesk/tmux",
};
// The user's own once written: only copied where missing.
const char* const kListFiles[] = {
    "lists/favorite-dir.list", "lists/find-file-and-exec.list", "lists/git-porcelain.list",
    "lists/quillbox-ignore.list", "lists/quillbox.list", "lists/launch-app.list",
    "lists/note-dir.list", "lists/tidewell.list", "lists/session-name.list",
};
// The fragments of the linux order, whatever profile this setup is for.
const char* const kStubFragments[] = {
    "conf.prefix", "conf.common", "conf.session", "conf.window",
    "conf.codex",  "conf.linux",  "conf.lab",     "conf.plugins",
};

std::string stub_text(std::string_view fragment) {
    return fmt::format(
        "# 여기에 적은 것은 기본 {} 바로 뒤에 붙습니다.\n"
        "# tmux 문법 그대로 쓰십시오. 적용하려면 `vesk rebuild`를 부르십시오.\n"
        "#\n"
        "# 기본값의 키를 옮기려면 unbind로 풀고 다시 bind하십시오.\n"
        "#   unbind C-k\n"
        "#   bind-key F9 run-shell -b \"#{{@zelt}}/bin/vesk session kill-and-next\"\n",
        fragment);
}

fs::path own_executable() {
    return with_context("현재 vesk 실행 파일 경로를 찾지 못했습니다.", [] {
        std::error_code ec;
        fs::path exe = current_exe(ec);
        if (ec) throw SystemError(ec.value());
        return exe;
    });
}

std::string already_exists(const fs::path& home_conf) {
    return fmt::format("{} 파일이 이미 존재합니다. 정리 후 다시 실행하거나 `--force`를 사용하십시오.", path_text(home_conf));
}

bool exists_no_follow(const fs::path& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) return true;
    if (errno == ENOENT || errno == ENOTDIR) return false;
    throw SystemError(errno, path_text(path));
}

bool regular_file(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

fs::path first_free_backup(const fs::path& home_conf) {
    fs::path candidate = fs::path(home_conf.string() + ".bak");
    for (int n = 1; exists_no_follow(candidate); ++n) candidate = fs::path(fmt::format("{}.bak.{}", home_conf.string(), n));
    return candidate;
}

// Asks before an existing ~/.tmux.conf is moved aside to `backup`, which the question names;
// throws unless the user goes on.
void confirm_replacement(const fs::path& home_conf, const fs::path& root_conf, const fs::path& backup) {
    const std::string go_on = fmt::format("계속: {}를 .bak로 옮기고 링크 생성", path_text(home_conf));
    const auto chosen = ui_select(fmt::format("{} 파일이 {} 링크로 교체됩니다. 지금 파일은 {}로 옮겨 둡니다.",
                                              path_text(home_conf), path_text(root_conf), path_text(backup)),
                                  {go_on, "취소"}, go_on);
    if (!chosen || !chosen->starts_with("계속:")) throw Error("사용자가 setup --force 교체를 취소했습니다.");
}

// The same file: equal paths, or two names of one file (a root reached through a symbolic link).
// Copying a file onto itself would empty it.
bool same_file(const fs::path& a, const fs::path& b) {
    if (a == b) return true;
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

// A copy through the one atomic writer: a file size limit or a full disk ends it with the system's
// own error (not a signal, nor the "Input/output error" a short copy_file reports), and the target
// is never half written. The copy keeps the source's permission bits unless `mode` says otherwise.
void copy_atomically(const fs::path& from, const fs::path& to, std::size_t limit = kReadLimit,
                     std::optional<unsigned> mode = std::nullopt) {
    struct stat st;
    if (::stat(from.c_str(), &st) != 0) throw_errno(path_text(from));
    write_file_atomically(to, read_file(from, limit), mode.value_or(st.st_mode & 0777));
}

// Earlier versions copied the program to bin/.vesk.tmp<pid> first; a run that was stopped left it
// there for good.
void remove_stale_program_copies(const fs::path& bin) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(bin, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 9 && name.starts_with(".vesk.tmp") &&
            name.find_first_not_of("0123456789", 9) == std::string::npos) {
            std::error_code ignored;
            fs::remove(entry.path(), ignored);
        }
    }
}

// The program is renamed over the old one in one step, so a tmux binding that runs <root>/bin/vesk
// meanwhile finds either the old or the new program, never half of one (writing into a running
// program's file fails with "Text file busy" besides).
void install_program(const fs::path& exe, const fs::path& target) {
    remove_stale_program_copies(target.parent_path());
    with_context(copy_failed(exe, target), [&] {
        copy_atomically(exe, target, std::numeric_limits<std::size_t>::max(), 0755);
    });
}

// Copies the support files and the missing lists; returns how many files were copied.
int copy_support_files(const fs::path& source_root, const fs::path& root) {
    int copied = 0;
    const auto copy = [&](const char* name, bool keep_existing) {
        const fs::path from = source_root / name;
        const fs::path to = root / name;
        if (!regular_file(from)) return;
        if (keep_existing && exists_no_follow(to)) return;
        with_context(fmt::format("{} 를 {} 로 옮기지 못했습니다.", path_text(from), path_text(to)),
                     [&] { copy_atomically(from, to); });
        ++copied;
    };
    for (const char* name : kSupportFiles) copy(name, false);
    for (const char* name : kListFiles) copy(name, true);
    return copied;
}

fs::path required_dir(const std::optional<fs::path>& dir) {
    if (!dir) throw Error("설정 자리를 찾지 못했습니다.");
    fs::create_directories(*dir);
    return *dir;
}

}  // namespace

bool home_tmux_conf_points_to_output(const fs::path& link, const fs::path& target) {
    return with_context("tmux 기본 설정 파일 상태를 확인하지 못했습니다.", [&] {
        if (!exists_no_follow(link)) return false;
        if (!fs::is_symlink(fs::symlink_status(link))) return false;
        return fs::read_symlink(link) == target;
    });
}

void announce_iterm2_keymap(const fs::path& root) {
    const fs::path keymap = root / "doc/keybindings.itermkeymap";
    if (!regular_file(keymap)) return;
    std::cout << "\n"
              << "iTerm2를 쓰신다면 키 설정을 넣어 주십시오. 없으면 여러 조합키가 닿지 않습니다.\n"
              << "  Preferences > Keys > Key Bindings > Presets... > Import JSON\n"
              << "  " << path_text(keymap) << "\n";
    std::cout.flush();
}

void setup(const SetupArgs& args) {
    const fs::path exe = own_executable();
    const std::optional<fs::path> zeltdir = args.zeltdir ? std::optional<fs::path>(*args.zeltdir) : std::nullopt;
    const config::Places places = config::Places::resolve(zeltdir);
    const fs::path home_conf = places.home ? *places.home / ".tmux.conf" : fs::path(".tmux.conf");
    const fs::path& root = places.root;
    const fs::path root_conf = root / ".tmux.conf";
    const fs::path source_root =
        places.embedded && exe.has_parent_path() && exe.parent_path().has_parent_path() ? exe.parent_path().parent_path()
                                                                                         : root;

    if (!home_tmux_conf_points_to_output(home_conf, root_conf) && exists_no_follow(home_conf)) {
        if (!args.force) throw Error(already_exists(home_conf));
        confirm_replacement(home_conf, root_conf, first_free_backup(home_conf));
    }

    fs::create_directories(root / "plugins");
    fs::create_directories(root / "bin");
    const fs::path installed = root / "bin" / "vesk";
    if (!same_file(exe, installed)) install_program(exe, installed);

    int copied = 0;
    if (!same_file(source_root, root)) copied = copy_support_files(source_root, root);

    if (places.embedded || !regular_file(root_conf)) {
        write_file_atomically(root_conf, places.defaults().asset(".tmux.conf"), Links::Followed);
    }

    const fs::path confs_dir_parent = required_dir(places.config_dir);
    const fs::path confs_dir = required_dir(places.user_confs_dir());
    for (const char* fragment : kStubFragments) {
        const fs::path stub = confs_dir / fragment;
        if (!exists_no_follow(stub)) write_file_atomically(stub, stub_text(fragment), Links::Followed);
    }

    std::optional<fs::path> moved_to;
    if (!home_tmux_conf_points_to_output(home_conf, root_conf)) {
        if (home_conf.has_parent_path()) fs::create_directories(home_conf.parent_path());
        if (exists_no_follow(home_conf)) {
            if (!args.force) throw Error(already_exists(home_conf));
            const fs::path backup = first_free_backup(home_conf);
            with_context(move_aside_failed(home_conf, backup), [&] { fs::rename(home_conf, backup); });
            moved_to = backup;
        }
        with_context(symlink_failed(home_conf, root_conf), [&] { fs::create_symlink(root_conf, home_conf); });
    }

    const fs::path output = places.local_conf();
    rebuild::run(places, output, args.profile, true);

    std::cout << "설치 자리를 마련했습니다: " << path_text(root) << "\n";
    if (copied > 0) std::cout << "  자산 " << copied << "개를 " << path_text(source_root) << "에서 옮겼습니다\n";
    std::cout << "사용자 설정 자리: " << path_text(confs_dir_parent) << "\n"
              << "tmux 진입점을 이었습니다: " << path_text(home_conf) << " -> " << path_text(root_conf) << "\n";
    if (moved_to) std::cout << "  원래 있던 파일은 " << path_text(*moved_to) << "로 옮겼습니다\n";
    std::cout << "설정을 조립했습니다: " << path_text(output) << "\n";
    std::cout.flush();

    if (!args.skip_plugins) install_plugins_after_setup(root, output);
    announce_iterm2_keymap(root);
}

}  // namespace vesk::setup

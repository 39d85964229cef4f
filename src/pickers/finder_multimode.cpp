// The finder's two tmux steps: `finder multimode-open` (in the background of the client that
// pressed M-f) and `finder multimode` (the picker in the floating pane).
#include <chrono>
#include <exception>
#include <system_error>
#include <thread>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/git.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/filter_edit.hpp"
#include "pickers/finder.hpp"
#include "pickers/finder_lines.hpp"
#include "pickers/fzf.hpp"
#include "pickers/open_with.hpp"
#include "pickers/state_files.hpp"
#include "pickers/tools.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

namespace {

bool is_dir(const fs::path& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

fs::path home_or_root() {
    if (auto home = env_var("HOME"); home && is_dir(*home)) return *home;
    return "/";
}

// PANE_PATH when it is a directory, else the origin pane's directory, else HOME, else "/".
fs::path finder_directory(const Tmux& tmux, const std::string& origin, const std::optional<std::string>& pane_path) {
    if (pane_path && is_dir(*pane_path)) return *pane_path;
    try {
        fs::path dir = tmux.display(origin, "#{pane_current_path}");
        if (is_dir(dir)) return dir;
    } catch (const std::exception&) {
        // The origin is gone or tmux could not tell: the usual fallbacks.
    }
    return home_or_root();
}

void unset_global(const Tmux& tmux, const char* name) {
    try {
        tmux.run({"set-option", "-g", "-u", name});
    } catch (const std::exception&) {
        // Unset already, or tmux refused: nothing is kept either way.
    }
}

// A tmux whose new-pane returns as soon as the pane is open leaves the picker running: the
// choice exists only once that pane has gone. (The stand-in returns when its popup has closed,
// with an id no pane has.)
void wait_for_pane_to_end(const Tmux& tmux, const std::string& pane) {
    for (;;) {
        try {
            if (!tmux.pane_exists(pane)) return;
        } catch (const std::exception&) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

// The picker's state files, made before fzf starts and removed when the picker ends, however it
// ends.
struct MultimodeState {
    explicit MultimodeState(const fs::path& root)
        : mode("mf-mode", "filename\n"),
          git_mode("mf-git-mode", "list\n"),
          source("mf-source", "normal\n"),
          root_file("mf-root", path_text(root) + "\n"),
          git_root_file("mf-git-root", path_text(git_root_or(root)) + "\n") {}

    std::string read(const PrivateStateFile& file, std::string_view fallback) const {
        try {
            return read_mode_file(file.path());
        } catch (const std::exception&) {
            return std::string(fallback);
        }
    }

    PrivateStateFile mode, git_mode, source, root_file, git_root_file;
};

// alt-enter: the origin pane goes to the file's directory. Typed as a `cd` line only into a shell;
// typed into vim it would change the text, so anything else gets a split in that directory.
void go_to_directory(const Tmux& tmux, const std::optional<std::string>& origin, const fs::path& dir) {
    if (origin && tmux.get_option_global("@find_exec_is_shell") == "1") {
        tmux.run({"send-keys", "-t", *origin, "-l", "--", "cd " + shell_quote_path(dir)});
        tmux.run({"send-keys", "-t", *origin, "Enter"});
        return;
    }
    std::vector<std::string> split = {"split-window", "-h"};
    if (origin) split.insert(split.end(), {"-t", *origin});
    // tmux expands formats in the start directory: a # in it comes through doubled.
    split.insert(split.end(), {"-c", tmux_format_escape(path_text(dir))});
    tmux.run(split);
}

}  // namespace

void finder_multimode_open(const FinderOpenArgs& args) {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    std::optional<std::string> origin = given_origin_pane(args.origin_pane);
    const std::string current = current_pane(tmux);
    if (!origin) origin = current;
    const fs::path dir = finder_directory(tmux, *origin, args.pane_path);
    const std::string program = vesk_bin(tmux);

    tmux.run({"set-option", "-gq", "@find_exec_origin_pane", *origin});
    tmux.run({"set-option", "-gq", "@find_exec_pane_path", path_text(dir)});
    unset_global(tmux, "@find_exec_file");
    unset_global(tmux, "@find_exec_file_line");
    std::string command;
    try {
        command = tmux.display(origin, "#{pane_current_command}");
    } catch (const std::exception&) {
        // Unknown: not a shell, so nothing is ever typed into it.
    }
    tmux.run({"set-option", "-gq", "@find_exec_is_shell", is_shell_command(command) ? "1" : "0"});

    const std::string pane = tmux.open_floating_pane({"95%", "70%", "3%", "15%", path_text(dir)},
                                                     shell_quote(program) + " finder multimode");
    wait_for_pane_to_end(tmux, pane);
    if (!tmux.get_option_global("@find_exec_file")) return;

    const fs::path list = zelt_path(tmux) / "lists" / "find-file-and-exec.list";
    const std::size_t entries = parse_open_with_entries(read_text_if_any(list).value_or("")).size();
    if (entries == 0) {
        tmux.run({"display-message", "lists/find-file-and-exec.list가 비어있습니다."});
        return;
    }
    tmux.run({"display-popup", "-E", "-w", "60%", "-h", open_with_popup_height(entries), "-T", "Open With",
              shell_quote(program) + " finder open-with"});
}

void finder_multimode() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    prepend_tool_path();
    require_fzf();
    Tmux tmux;
    const std::string program = vesk_bin(tmux);
    const std::optional<std::string> origin = tmux.get_option_global("@find_exec_origin_pane");
    fs::path root = home_or_root();
    if (auto path = tmux.get_option_global("@find_exec_pane_path"); path && is_dir(*path)) root = *path;
    if (root.lexically_normal() == "/") throw Error("Error: Searching from root (/) is not allowed");

    const MultimodeState state(root);
    const FzfEnv env = multimode_env({program, path_text(root), state.source.path(), state.mode.path(),
                                      state.git_mode.path(), state.root_file.path(), state.git_root_file.path()});
    const std::string out = run_fzf_picker("", multimode_fzf_args(), env);
    if (out.empty()) return;
    const FzfExpect chosen = split_fzf_expect_output(out);
    if (chosen.selection.empty() || chosen.selection.starts_with("[모드:")) return;
    const auto selection =
        resolve_multimode_selection(root, state.read(state.source, "normal"), state.read(state.mode, "filename"),
                                    state.read(state.git_mode, "list"), chosen.selection);
    if (!selection) return;

    if (chosen.key == "alt-enter") {
        go_to_directory(tmux, origin, selection->path.parent_path());
        return;
    }
    tmux.run({"set-option", "-gq", "@find_exec_file", path_text(selection->path)});
    if (selection->line) tmux.run({"set-option", "-gq", "@find_exec_file_line", std::to_string(*selection->line)});
    else unset_global(tmux, "@find_exec_file_line");
}

}  // namespace vesk::pickers

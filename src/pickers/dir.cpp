#include "pickers/dir.hpp"

#include <algorithm>
#include <system_error>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/filter_edit.hpp"
#include "pickers/fzf.hpp"
#include "pickers/list_files.hpp"
#include "pickers/picker_tmux.hpp"
#include "pickers/tools.hpp"
#include "pickers/walkers.hpp"
#include "tmux/popup_message.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

fs::path normalize_favorite_dir(std::string_view text) {
    const std::optional<std::string> home_var = env_var("HOME");
    const std::string home = home_var ? lossy_utf8(*home_var) : "/";
    std::string out;
    if (text.find("~~") != std::string_view::npos) {
        while (text.starts_with("~~")) text.remove_prefix(2);
        out = home + "/" + std::string(text);
    } else if (text == "~") {
        out = home;
    } else if (text.starts_with("~/")) {
        out = home + "/" + std::string(text.substr(2));
    } else {
        out = text;
    }
    for (std::size_t pos; (pos = out.find("//")) != std::string::npos;) out.erase(pos, 1);
    while (out.ends_with('/')) out.pop_back();
    // The line "/" names no directory, and neither does "~/" when HOME is unset: only a lone "~"
    // stands for home itself, which is then "/".
    if (out.empty() && text == "~") out = "/";
    return fs::path(out);
}

std::vector<std::string> dir_popup_candidates(const fs::path& root) {
    std::vector<std::string> found;
    collect_dirs(root, root, found);
    std::vector<std::string> candidates = {"."};
    for (auto& dir : found) {
        // collect_dirs gives lossy text: a name that is not UTF-8 would lead nowhere.
        std::error_code ec;
        if (dir.find('\n') != std::string::npos || !fs::is_directory(root / dir, ec)) continue;
        candidates.push_back(std::move(dir));
    }
    std::sort(candidates.begin(), candidates.end());
    return candidates;
}

void change_pane_dir(const Tmux& tmux, const std::string& pane, const fs::path& dir) {
    // Unknown (""): not typed into.
    const std::string command = quiet_display(tmux, pane, "#{pane_current_command}");
    if (is_shell_command(command)) {
        // Typed literally (-l), so no word is read as a key name; a relative favourite that starts
        // with '-' is "./-x", never an option of cd.
        tmux.run({"send-keys", "-t", pane, "-l", "--", "cd " + shell_quote(file_argument(path_text(dir)))});
        tmux.run({"send-keys", "-t", pane, "C-m"});
        return;
    }
    // Typing into vim would edit its buffer: a shell in that directory, next to the pane's window.
    const std::string window = tmux.display(pane, "#{window_id}");
    tmux.run({"new-window", "-a", "-t", window, "-c", tmux_format_escape(path_text(dir))});
}

void dir_popup() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    prepend_tool_path();
    require_fzf();
    Tmux tmux;
    const std::string pane = origin_pane(tmux);
    const fs::path root = pane_path_or_zelt(tmux, pane);
    std::string input;
    for (const auto& candidate : dir_popup_candidates(root)) input += candidate + "\n";
    // Only the line end goes: a directory may begin or end with blanks of its own.
    const std::string chosen = run_fzf_picker(
        input, {"--prompt=dir> ", "--height=100%", "--border=rounded", "--bind=ctrl-d:clear-query", "--preview",
                "ls -la " + shell_quote_path(root) + "/{}", "--preview-window=right:50%"});
    if (chosen.empty()) return;
    change_pane_dir(tmux, pane, chosen == "." ? root : root / chosen);
}

void dir_favorite() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    prepend_tool_path();
    require_fzf();
    Tmux tmux;
    const fs::path list = zelt_path(tmux) / "lists" / "favorite-dir.list";
    const std::string pane = origin_pane(tmux);
    std::error_code ec;
    if (!fs::is_regular_file(list, ec)) {
        display_message(tmux, "즐겨찾기 파일이 없습니다: " + path_text(list));
        return;
    }
    for (;;) {
        std::vector<std::string> lines;
        for (const auto& line : split_lines(read_file(list))) {
            std::string_view trimmed = trim(line);
            if (!trimmed.empty()) lines.emplace_back(trimmed);
        }
        std::string input;
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) input += *it + "\n";
        const FzfExpect pick = split_fzf_expect_output(run_fzf_picker(
            input, {"--prompt=fav> ", "--height=100%", "--border=rounded", "--expect=ctrl-n,esc,ctrl-c",
                    "--bind=ctrl-d:clear-query"}));
        if (pick.key == "ctrl-n") {
            edit_list(list);
            continue;
        }
        if (pick.key == "esc" || pick.key == "ctrl-c" || pick.selection.empty()) return;
        move_line_to_bottom(list, pick.selection);
        const fs::path dir = normalize_favorite_dir(trim(pick.selection));
        if (!fs::is_directory(dir, ec)) {
            popup_modal(tmux, "디렉토리가 존재하지 않습니다: " + path_text(dir));
            return;
        }
        change_pane_dir(tmux, pane, dir);
        return;
    }
}

}  // namespace vesk::pickers

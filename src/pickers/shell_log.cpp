// Shell logging: the pane's output piped into a log file of the project while @shell_log says so.
#include "pickers/shell_log.hpp"

#include <unistd.h>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/git.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/picker_tmux.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

namespace {

// Another tool's pipe (the agent's log) is not ours to end or replace: it would stop silently
// while its marks stay.
bool refused_for_other_pipe(const Tmux& tmux, const std::string& pane) {
    if (!pane_piped(tmux, pane) || pane_option(tmux, pane, "@shell_log")) return false;
    display_message(tmux, "다른 로그가 활성화되어 있습니다. 먼저 끄세요.");
    return true;
}

}  // namespace

fs::path shell_log_file(const fs::path& git_root, const std::string& minute) {
    std::string project;
    std::string text = git_root.native();
    while (text.size() > 1 && text.ends_with('/')) text.pop_back();
    const std::string last = text.substr(text.rfind('/') + 1);
    if (!last.empty() && last != "." && last != ".." && is_valid_utf8(last)) project = last;
    if (project.empty()) project = "unknown";
    return git_root / ".agent" / "shell" / (minute + "_" + safe_name(project) + ".log");
}

void log_shell_toggle() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const std::string pane = origin_pane(tmux);
    if (pane_piped(tmux, pane)) {
        if (refused_for_other_pipe(tmux, pane)) return;
        tmux.run({"pipe-pane", "-t", pane});
        unset_pane_option(tmux, pane, "@shell_log");
        display_message(tmux, "Shell log off");
        return;
    }
    // run-shell expands formats in its command: the program's path passes with its '#' doubled.
    tmux.run({"run-shell", "-b", tmux_format_escape(shell_quote(vesk_bin(tmux)) + " log shell-start")});
}

void log_shell_start() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const std::string pane = origin_pane(tmux);
    const fs::path dir = pane_path_or_zelt(tmux, pane);
    if (refused_for_other_pipe(tmux, pane)) return;
    const fs::path root = git_root_or(dir);
    const fs::path log = shell_log_file(root, timestamp_minute());
    // The repository may come from someone else: a link planted at the log's folders or at its
    // name would have tmux's `cat >>` write into a file outside it, and a FIFO there would hold
    // the pane's pipe. The file is made here, a regular file, before the pipe appends to it.
    with_context("로그 폴더를 만들지 못했습니다: " + path_text(log.parent_path()),
                 [&] { create_folders_inside(root, log.parent_path().lexically_relative(root)); });
    ::close(open_for_append(log));
    // pipe-pane expands formats in its command: a '#' in the project's path must reach the shell
    // as itself, or the pane would be copied into another file than @shell_log names.
    tmux.run({"pipe-pane", "-t", pane, tmux_format_escape("cat >> " + shell_quote_path(log))});
    tmux.run({"set-option", "-p", "-t", pane, "@shell_log", path_text(log)});
    display_message(tmux, "Shell log on: " + path_text(log));
}

}  // namespace vesk::pickers

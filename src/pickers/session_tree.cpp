// `session tree-popup`: the running sessions in fzf, in the floating pane M-Tab opens.
#include "core/error.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/fzf.hpp"
#include "pickers/session.hpp"
#include "pickers/text.hpp"
#include "pickers/tools.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

void session_tree_popup() {
    require_tmux("tmux 안에서 실행해야 합니다.");
    prepend_tool_path();
    require_fzf();
    Tmux tmux;
    std::string input;
    for (const auto& line : session_tree_lines(tmux.output({"list-sessions", "-F", "#{session_name}\t#{session_id}"})))
        input += line + "\n";
    const FzfRun run = run_fzf_with_input_status(
        input, {"--prompt=session tree> ", "--height=100%", "--border=rounded", "--no-sort", "--cycle", "--delimiter=\t",
                "--with-nth=1", "--expect=ctrl-n,esc,ctrl-c", "--bind=tab:down,btab:up,shift-tab:up,ctrl-d:clear-query",
                "--header=Tab: next / Shift-Tab: previous / C-n: new session / Enter: switch / Esc: cancel"});
    if (!run.code) throw ExitCode(1);
    if (*run.code >= 2 && *run.code != 130) throw ExitCode(*run.code);
    if (run.output.empty()) return;

    const FzfExpect pick = split_fzf_expect_output(run.output);
    if (pick.key == "esc" || pick.key == "ctrl-c") return;
    if (pick.key == "ctrl-n") {
        // After a moment: this floating pane must be gone before the next popup can open.
        tmux.run({"run-shell", "-b",
                  tmux_format_escape("sleep 0.1; " + shell_quote(vesk_bin(tmux)) + " session create-popup-open")});
        return;
    }
    const std::string& line = pick.selection.empty() ? pick.key : pick.selection;
    const std::string_view id = trim(tab_field(line, 1).value_or(""));
    if (!id.empty()) tmux.run({"switch-client", "-t", std::string(id)});
}

}  // namespace vesk::pickers

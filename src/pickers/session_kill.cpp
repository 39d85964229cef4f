// `session kill-and-next`: ends the current session after tmux has asked, moving the client on.
#include "core/error.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/picker_tmux.hpp"
#include "pickers/session.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

void session_kill_and_next(const SessionKillArgs& args) {
    require_tmux("tmux 세션 안에서만 실행 가능합니다.");
    Tmux tmux;
    // The id ends the session: its name may start with '$' or '=', which a target reads otherwise.
    const std::string current = tmux.display(std::nullopt, "#{session_id}\t#S");
    const std::size_t tab = current.find('\t');
    const std::string id = current.substr(0, tab);
    const std::string name = tab == std::string::npos ? "" : current.substr(tab + 1);
    std::size_t count = 0;
    for (const auto& line : split_lines(tmux.output({"list-sessions", "-F", "#S"})))
        if (!line.empty()) ++count;

    if (!args.confirmed) {
        const std::string prompt = count > 1
                                       ? "세션 \"" + name + "\"을 끝냅니까? (y/n)"
                                       : "세션 \"" + name + "\"은 마지막입니다. 끝내면 tmux가 내려갑니다. 정말 끝냅니까? (y/n)";
        std::string program = "vesk";
        try {
            program = shell_quote(vesk_bin(tmux));
        } catch (const Exit99&) {
            // Without @zelt the program is looked up on PATH.
        }
        // confirm-before expands its command before parsing it, and run-shell expands the shell
        // text again: the program's path passes both with its '#' doubled twice.
        const std::string run = "run-shell -b " +
                                tmux_double_quote(tmux_format_escape(program + " session kill-and-next --confirmed"));
        // -b: the prompt stays with the client and this call returns at once. Waiting for the
        // answer, tmux would end this call with 1 on "n" or Esc, and run-shell would show a
        // refusal as a failed command; only a "y" runs the command, so a refusal is a quiet cancel.
        tmux.run({"confirm-before", "-b", "-p", tmux_format_escape(prompt), tmux_format_escape(run)});
        return;
    }
    if (count > 1) {
        tmux.run({"switch-client", "-p"});
        tmux.run({"kill-session", "-t", id});
        display_message(tmux, "세션 \"" + name + "\" 종료, 이전 세션으로 이동했습니다.");
        return;
    }
    display_message(tmux, "마지막 세션을 종료합니다.");
    tmux.run({"kill-session", "-t", id});
}

}  // namespace vesk::pickers

#include "pickers/picker_tmux.hpp"

#include <unistd.h>

#include <cstdio>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "tmux/popup_message.hpp"

namespace vesk::pickers {

namespace {

void print_in_popup(std::string_view message) {
    std::fflush(stdout);
    std::string text = std::string(message) + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

std::string origin_pane(const Tmux& tmux) {
    const std::optional<std::string> own = env_non_empty("TMUX_PANE");
    if (!own) return current_pane(tmux);
    // A pane whose process is this one exists for this command alone: typing into it would type
    // into nothing once the picker has ended. A shell the user typed the command into is the pane's
    // process, and this command its child: that pane is the one meant.
    if (quiet_display(tmux, *own, "#{pane_pid}") != std::to_string(::getpid())) return *own;
    std::string last;
    for (const std::string& line :
         split_lines(tmux.output({"list-panes", "-t", *own, "-F", "#{pane_id}\t#{pane_active}\t#{pane_last}"}))) {
        const std::size_t first = line.find('\t');
        const std::size_t second = line.find('\t', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string id = line.substr(0, first);
        if (id == *own) continue;
        if (line.substr(first + 1, second - first - 1) == "1") return id;
        if (line.substr(second + 1) == "1") last = id;
    }
    if (last.empty()) throw Exit99();
    return last;
}

std::string quiet_display(const Tmux& tmux, const std::optional<std::string>& target, std::string_view format) {
    try {
        return tmux.display(target, format);
    } catch (const std::exception&) {
        return "";
    }
}

std::string current_session_id(const Tmux& tmux) { return quiet_display(tmux, std::nullopt, "#{session_id}"); }

void tell_and_fail(const Tmux& tmux, std::string_view message) {
    display_message(tmux, message);
    if (running_in_popup()) print_in_popup(message);
    throw ExitCode(1);
}

void modal_and_fail(const Tmux& tmux, std::string_view message) {
    if (running_in_popup())
        print_in_popup(message);
    else
        popup_modal(tmux, message);
    throw ExitCode(1);
}

}  // namespace vesk::pickers

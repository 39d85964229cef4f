#include "pickers/launch.hpp"

#include <algorithm>
#include <system_error>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/fzf.hpp"
#include "pickers/list_files.hpp"
#include "pickers/picker_tmux.hpp"
#include "pickers/text.hpp"
#include "pickers/tools.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

std::vector<LaunchEntry> launch_entries(std::string_view text) {
    std::vector<LaunchEntry> entries;
    for (const std::string& raw : split_lines(text)) {
        const std::string_view line = raw;
        const std::size_t first = line.find('|');
        if (first == std::string_view::npos) continue;
        const std::size_t second = line.find('|', first + 1);
        if (second == std::string_view::npos) continue;
        LaunchEntry e{std::string(trim(line.substr(0, first))),
                      std::string(trim(line.substr(first + 1, second - first - 1))),
                      std::string(trim(line.substr(second + 1)))};
        if (e.keyword.empty() || e.command.empty()) continue;
        if (e.label.empty()) e.label = e.keyword;
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<std::string> launch_picker_lines(const std::vector<LaunchEntry>& entries) {
    std::size_t widest = 0;
    for (const auto& e : entries) widest = std::max(widest, display_width(e.label));
    std::vector<std::string> lines;
    for (const auto& e : entries)
        lines.push_back(pad_display(e.label, widest) + " | " + e.command + "\t" + e.keyword + "\t" + e.command);
    return lines;
}

std::optional<LaunchEntry> parse_launch_fzf_line(std::string_view line) {
    const std::optional<std::string_view> command = tab_field(line, 2);
    if (!command) return std::nullopt;
    return LaunchEntry{std::string(trim(*tab_field(line, 0))), std::string(trim(*tab_field(line, 1))),
                       std::string(trim(*command))};
}

std::vector<std::string> launch_fzf_args(const std::optional<std::string>& keyword) {
    std::vector<std::string> args = {"--height=100%", "--border=rounded",           "--prompt=launch> ",
                                     "--delimiter=\t", "--with-nth=1",              "--expect=ctrl-n,esc,ctrl-c",
                                     "--no-sort",      "--bind=ctrl-d:clear-query"};
    if (keyword && !keyword->empty()) {
        args.push_back("--query");
        args.push_back(*keyword);
    }
    return args;
}

void app_launch_open() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const std::string program = vesk_bin(tmux);
    tmux.run({"display-popup", "-E", "-w", "70%", "-h", "60%", "-T", "[ Launch App ]",
              shell_quote(program) + " app launch"});
}

void app_launch() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    prepend_tool_path();
    require_fzf();
    Tmux tmux;
    const fs::path list = zelt_path(tmux) / "lists" / "launch-app.list";
    std::error_code ec;
    if (!fs::is_regular_file(list, ec)) modal_and_fail(tmux, "lists/launch-app.list 파일이 없습니다: " + path_text(list));
    // The session by its id: a name may start with '$' or '=', which a target reads otherwise.
    const std::string session = current_session_id(tmux);

    LaunchEntry chosen;
    for (;;) {
        const std::vector<LaunchEntry> entries = launch_entries(read_file(list));
        const std::vector<std::string> lines = launch_picker_lines(entries);
        std::string input;
        for (const auto& line : lines) input += line + "\n";
        const std::optional<std::string> keyword = get_tmux_option_for_session(tmux, session, "@launch_app_last_keyword");
        const FzfExpect pick = split_fzf_expect_output(run_fzf_picker(input, launch_fzf_args(keyword)));
        if (pick.key == "ctrl-n") {
            edit_list(list);
            continue;
        }
        if (pick.key == "esc" || pick.key == "ctrl-c" || pick.selection.empty()) return;
        std::optional<LaunchEntry> entry = entry_for_picked_line(lines, entries, pick.selection, parse_launch_fzf_line);
        if (!entry) return;
        chosen = std::move(*entry);
        break;
    }

    if (chosen.keyword.empty()) modal_and_fail(tmux, "기억할 키워드가 없습니다.");
    set_tmux_option_for_session(tmux, session, "@launch_app_last_keyword", chosen.keyword);
    if (chosen.command.empty()) modal_and_fail(tmux, "실행할 명령이 없습니다.");
    tmux.run({"new-window", "bash -lc " + shell_quote(chosen.command)});
}

}  // namespace vesk::pickers

// Creating and switching sessions from the user's list: `session create-popup-open` opens the
// popup, `session create-popup` is the picker inside it.
#include <algorithm>
#include <system_error>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/fzf.hpp"
#include "pickers/list_files.hpp"
#include "pickers/picker_tmux.hpp"
#include "pickers/session.hpp"
#include "pickers/text.hpp"
#include "pickers/tools.hpp"
#include "tmux/popup_message.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

namespace {

fs::path session_list(const Tmux& tmux) {
    const fs::path list = zelt_path(tmux) / "lists" / "session-name.list";
    fs::create_directories(list.parent_path());
    touch(list);
    return list;
}

// Built when the picker runs, not at every start of the program.
std::vector<std::string> create_fzf_args() {
    return {"--prompt=session> ", "--height=100%", "--border=rounded",           "--no-sort",
            "--delimiter=\t",     "--with-nth=1",  "--expect=ctrl-n,esc,ctrl-c", "--bind=ctrl-d:clear-query"};
}

// The session tmux knows under the name it would give `name`, by its id; none when there is none.
// Compared with tmux's own listing: `has-session -t work` would also answer for "work2", and a name
// starting with '$' cannot be reached as a target at all.
std::optional<std::string> session_named(const Tmux& tmux, std::string_view name) {
    const std::string wanted = tmux_session_name(name);
    for (const std::string& line : split_lines(tmux.output({"list-sessions", "-F", "#{session_id}\t#{session_name}"}))) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos && std::string_view(line).substr(tab + 1) == wanted) return line.substr(0, tab);
    }
    return std::nullopt;
}

// The entry behind the chosen fzf line: the line fzf gave back is one of ours, whole (a name or a
// directory may hold a tab of its own, so the fields are read only when no line matches).
std::optional<SessionEntry> chosen_entry(const std::vector<SessionEntry>& entries,
                                         const std::vector<std::string>& lines, std::string_view selection) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (trim_end(lines[i]) == trim_end(selection)) return entries[i];
    const std::optional<std::string_view> name = tab_field(selection, 1);
    if (!name) return std::nullopt;
    return SessionEntry{std::string(trim(*name)), fs::path(std::string(trim(tab_field(selection, 2).value_or("")))),
                        ""};
}

// Switches the client to `entry`'s session, creating it first in its directory when missing.
void switch_or_create(const Tmux& tmux, const SessionEntry& entry, const std::string& default_dir) {
    if (auto id = session_named(tmux, entry.name)) {
        tmux.run({"switch-client", "-t", *id});
        return;
    }
    const fs::path dir = entry.dir.empty() ? fs::path(default_dir) : entry.dir;
    std::error_code ec;
    if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) {
        popup_modal(tmux, "디렉토리가 아닙니다: " + path_text(dir));
        return;
    }
    if (!fs::is_directory(dir, ec)) {
        fs::create_directories(dir, ec);
        if (!fs::is_directory(dir, ec)) {
            popup_modal(tmux, "디렉토리를 생성하지 못했습니다: " + path_text(dir));
            return;
        }
    }
    // The name and the directory are formats to new-session: '#' doubled, they arrive as written.
    const std::string id = tmux.output({"new-session", "-d", "-P", "-F", "#{session_id}", "-s",
                                        tmux_format_escape(entry.name), "-c", tmux_format_escape(path_text(dir))});
    tmux.run({"switch-client", "-t", id});
}

}  // namespace

void session_create_popup_open() {
    require_tmux("Must be run inside tmux.");
    prepend_tool_path();
    Tmux tmux;
    const fs::path list = session_list(tmux);
    const long count = static_cast<long>(session_entries(list, "").size());
    const long height = std::min(std::max(count, 6L), 10L) + 9;
    tmux.run({"display-popup", "-E", "-w", "70%", "-h", std::to_string(height), "-T", "[ Session Create ]",
              shell_quote(vesk_bin(tmux)) + " session create-popup"});
}

void session_create_popup() {
    require_tmux("Must be run inside tmux.");
    prepend_tool_path();
    require_fzf();
    Tmux tmux;
    const fs::path list = session_list(tmux);
    // No directory to offer (""): entries without one stay without.
    const std::string default_dir = quiet_display(tmux, std::nullopt, "#{pane_current_path}");

    SessionEntry entry;
    for (;;) {
        const std::vector<SessionEntry> entries = session_entries(list, default_dir);
        const std::vector<std::string> lines = format_session_entries(entries);
        std::string input;
        for (const auto& line : lines) input += line + "\n";
        const FzfRun run = run_fzf_with_input_status(input, create_fzf_args());
        if (!run.code || (*run.code != 0 && *run.code != 1 && *run.code != 130)) throw ExitCode(1);
        const FzfExpect pick = split_fzf_expect_output(run.output);
        if (pick.key == "esc" || pick.key == "ctrl-c") return;
        if (pick.key == "ctrl-n") {
            if (!edit_list(list).success()) throw ExitCode(1);
            continue;
        }
        if (pick.selection.empty()) return;
        std::optional<SessionEntry> chosen = chosen_entry(entries, lines, pick.selection);
        if (!chosen || chosen->name.empty()) return;
        entry = std::move(*chosen);
        break;
    }

    std::string text;
    try {
        text = read_file(list);
    } catch (const std::exception&) {
        // Unreadable: nothing to reorder.
    }
    if (auto moved = move_session_to_top(text, entry.name)) write_file_atomically(list, *moved, Links::Followed);
    switch_or_create(tmux, entry, default_dir);
}

}  // namespace vesk::pickers

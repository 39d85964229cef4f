// Sessions (`vesk session`): the session lists, creating and switching, ending one and moving on.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::pickers {

struct SessionKillArgs {
    bool confirmed = false;
};

// One entry of lists/session-name.list ("name | dir").
struct SessionEntry {
    std::string name;
    std::filesystem::path dir;  // ~ and $HOME expanded
    std::string line;           // the list line as written
};

// The entries of the list text: split once at the first '|', both parts trimmed; blank lines
// skipped; an empty dir is `default_dir`; an empty name is the dir's last component (a line with
// neither is skipped).
std::vector<SessionEntry> parse_session_entries(std::string_view text, std::string_view default_dir);
// The same from the file; a missing or unreadable list gives no entries.
std::vector<SessionEntry> session_entries(const std::filesystem::path& list, std::string_view default_dir);

// One fzf line per entry: "name<padding> | dir<TAB>name<TAB>dir", names padded to the longest
// (counted in characters).
std::vector<std::string> format_session_entries(const std::vector<SessionEntry>& entries);

// The list text with the first line naming `name` moved to the top (every line ended by '\n'); nothing
// when no line names it.
std::optional<std::string> move_session_to_top(std::string_view text, std::string_view name);

// The name tmux gives a session asked for as `name`: '.' and ':' become '_', a backslash is
// doubled and control characters are written as C escapes ("\t") or in octal ("\033").
std::string tmux_session_name(std::string_view name);

// The session tree's lines from `list-sessions -F "#{session_name}<TAB>#{session_id}"`: those
// with an id, in case-insensitive order.
std::vector<std::string> session_tree_lines(std::string_view listing);

void session_create_popup_open();
void session_create_popup();
void session_tree_popup();
void session_kill_and_next(const SessionKillArgs& args);

}  // namespace vesk::pickers

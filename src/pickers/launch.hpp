// The application launcher (`vesk app`): an entry of lists/launch-app.list run by `bash -lc` in a
// new window; the keyword launched last in a session is the next search there.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::pickers {

struct LaunchEntry {
    std::string label;  // the keyword when the list gives none
    std::string keyword;
    std::string command;
    bool operator==(const LaunchEntry&) const = default;
};

// "label | keyword | command" per line, split at the first two '|' (the command keeps any further
// ones), each part trimmed; lines with fewer than two '|' or an empty keyword or command are skipped.
std::vector<LaunchEntry> launch_entries(std::string_view text);

// "label<padding> | command<TAB>keyword<TAB>command" per entry, labels padded to the widest
// (display columns).
std::vector<std::string> launch_picker_lines(const std::vector<LaunchEntry>& entries);

// A picker line split at tabs, the first three parts trimmed; nothing with fewer than three.
std::optional<LaunchEntry> parse_launch_fzf_line(std::string_view line);

// fzf's arguments; the remembered keyword, when there is one, is the first query.
std::vector<std::string> launch_fzf_args(const std::optional<std::string>& keyword);

void app_launch_open();
void app_launch();

}  // namespace vesk::pickers

// The version controller (`vesk version`): a git client of the user's choice (lists/git-porcelain.list)
// run in a new window at the top of the current pane's repository.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::pickers {

struct VersionEntry {
    std::string label;
    std::string bin;
    std::string args;
    bool operator==(const VersionEntry&) const = default;
};

// "label | bin | args" per line, each part trimmed; blank lines and '#' comments skipped, as are
// lines without a second part; an empty label is the bin; label and bin both empty: skipped.
std::vector<VersionEntry> parse_version_entries(std::string_view text);

// "label<TAB>bin<TAB>args" per entry.
std::vector<std::string> version_picker_lines(const std::vector<VersionEntry>& entries);

// A picker line split at tabs into label, bin and args (trimmed; args may be missing); nothing
// without a second field.
std::optional<VersionEntry> parse_version_fzf_line(std::string_view line);

// The picker's first query: the bin chosen last in this session, else "nvim"; empty when no entry
// runs that program, so that the picker never opens on an empty list.
std::string version_initial_query(const std::optional<std::string>& last_bin, const std::vector<VersionEntry>& entries);

// fzf's arguments. The picker shows the label and the program and matches what it shows.
std::vector<std::string> version_fzf_args(const std::string& query);

void version_controller();
void version_run();
void version_exec();

}  // namespace vesk::pickers

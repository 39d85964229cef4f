// Shell logging (`vesk log shell-*`) and the log search popup.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vesk::pickers {

struct LogSearchArgs {
    std::string file;
    std::optional<std::string> query;
};

// <git root>/.agent/shell/<minute>_<project>.log, the project being the root's last component made
// file-safe ("unknown" when it has none).
std::filesystem::path shell_log_file(const std::filesystem::path& git_root, const std::string& minute);

// Appends every file below `dir` whose extension is exactly "log", in listing order. Walks as
// walk_tree does; an unreadable `dir` throws.
void collect_logs(const std::filesystem::path& dir, std::vector<std::filesystem::path>& out);

// The logs of a project folder for the picker: newest first within a folder, folders in
// descending order.
std::vector<std::filesystem::path> log_search_candidates(const std::filesystem::path& folder);

void log_shell_toggle();
void log_shell_start();
void log_search_popup();
void log_search_query(const LogSearchArgs& args);
void log_search_preview(const LogSearchArgs& args);

}  // namespace vesk::pickers

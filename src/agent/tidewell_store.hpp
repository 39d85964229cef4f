// Where the staging area keeps things: the project folders of question files, the per-session
// history of project names, the project each tmux session used last; and how a question is kept.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tmux/tmux.hpp"

namespace vesk::agent {

// $HOME/.tidewell ("/.tidewell" without HOME).
std::filesystem::path staging_root(const std::optional<std::string>& home);
// The project's folder of question files.
std::filesystem::path project_folder(const std::filesystem::path& staging, std::string_view project);
// <staging root>/project/<session id>: the projects chosen in that tmux session, one a line.
std::filesystem::path session_history_file(const std::filesystem::path& staging, std::string_view session_id);

// A project name that is one plain folder name under the staging root: '/', '\' and control
// characters become '-', surrounding blanks and leading '.' and '-' go (no "..", no hidden
// folder, nothing an option parser takes for a flag); "inbox" when nothing is left.
std::string safe_project_name(std::string_view name);

// The history file's lines, trimmed, blank ones left out; nothing when it cannot be read.
std::vector<std::string> read_history(const std::filesystem::path& file);
// Appends the project as a line unless a line equals it already; the file and its folder are
// created when missing. Failures throw.
void remember_in_history(const std::filesystem::path& file, std::string_view project);

// The global option naming the pane a question is pasted into: set when the staging area opens,
// read and cleared by the chat popup.
inline constexpr const char* kTargetOption = "@tidewell_target_pane";

// @tidewell_last_project_<session id>; the stored "require_scan" counts as none.
std::optional<std::string> remembered_project(const Tmux& tmux, std::string_view session_id);
void remember_project(const Tmux& tmux, std::string_view session_id, std::string_view project);

// Keeps a question as <folder>/<stamp>.md; when a question of the same second is there already,
// as <stamp>_2.md, <stamp>_3.md...: an existing file is never replaced, and the file appears with
// its whole text or not at all. Returns the path.
std::filesystem::path save_question(const std::filesystem::path& folder, std::string_view stamp,
                                    std::string_view text);

// What leaving vim asked for.
enum class Ending { Drop, Save, Send };
// The word vim's script left in the sentinel file decides ("send" before "save"); without one, a
// question the user wrote to the file (:x, ZZ, :w then :q) is kept rather than lost.
Ending vim_ending(std::string_view sentinel, bool written);

}  // namespace vesk::agent

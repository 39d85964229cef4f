// The small files through which a picker and its fzf bindings share state (the mode, the query,
// the source), named after the picker's process so that two pickers never share one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/signal_cleanup.hpp"

namespace vesk {

// Writes `contents` to <temp dir>/<prefix>-<pid> (created or truncated) and returns that path.
std::filesystem::path temp_state_file(std::string_view prefix, std::string_view contents);

// A picker's state file that no other user can guess, plant or read: a new file (mkstemp, 0600)
// named <temp dir>/<prefix>-<pid>-XXXXXX holding `contents`. It is removed when this goes out of
// scope, and also when SIGINT, SIGTERM or SIGHUP ends the process first (tmux hangs up a pane it
// kills). Creating or writing it throws SystemError and leaves nothing behind.
class PrivateStateFile {
public:
    PrivateStateFile(std::string_view prefix, std::string_view contents);
    const std::filesystem::path& path() const { return file_.path(); }

private:
    RemoveOnExit file_;
};

// The note tools' mode file as read_mode_file reads it; any failure gives "filename".
std::string read_note_mode(const std::filesystem::path& path);

}  // namespace vesk

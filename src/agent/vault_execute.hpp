// Running a vault item: a .tmux item is sourced into the server, a .sh item runs in a new window,
// any other item is pasted into the target pane as it stands.
#pragma once

#include <filesystem>

namespace vesk {
class Tmux;
}

namespace vesk::agent {

// Sources the item's non-blank, non-comment lines (trimmed, "~/" made $HOME/) into the server and
// shows "Sourced: NAME", tmux's error, or "No executable content in NAME".
void quillbox_source_tmux_file(const Tmux& tmux, const std::filesystem::path& file);

}  // namespace vesk::agent

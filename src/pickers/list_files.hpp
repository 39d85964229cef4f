// The lists a picker keeps for the user to edit (session names, favourite directories, the version
// controller's and the launcher's programs): present before the first read, opened in the user's
// editor, and rewritten whole so that a crash leaves the old list or the new one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/process.hpp"

namespace vesk {

// Creates the file (0666 before the umask) when its metadata cannot be read, through a dangling
// link as well (these are the user's own lists); an existing file keeps its content and
// modification time. A failed open throws as open_for_append does, never waiting on a FIFO.
void touch(const std::filesystem::path& path);

// Removes every line that equals `line` once both are trimmed, appends `line` trimmed, and
// rewrites the file atomically (its bits and a symbolic link to it are kept). The other lines
// stay exactly as they were. A missing or unreadable file throws.
void move_line_to_bottom(const std::filesystem::path& path, std::string_view line);

// The program a list opens in: $VISUAL, else $EDITOR, else "vim".
std::string list_editor();
// Runs the editor on the list (no shell, the list its only argument) and waits for it. A failure to
// start it throws SystemError.
ExitStatus edit_list(const std::filesystem::path& path);

}  // namespace vesk

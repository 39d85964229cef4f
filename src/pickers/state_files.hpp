// The small files through which a picker and its fzf bindings share state (the mode, the query,
// the source), named after the picker's process so that two pickers never share one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vesk {

// Writes `contents` to <temp dir>/<prefix>-<pid> (created or truncated) and returns that path.
std::filesystem::path temp_state_file(std::string_view prefix, std::string_view contents);

// The note tools' mode file as read_mode_file reads it; any failure gives "filename".
std::string read_note_mode(const std::filesystem::path& path);

}  // namespace vesk

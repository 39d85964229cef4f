// The lists a picker keeps for the user to edit (session names, favourite directories): present
// before the first read, and the latest choice kept at the bottom.
#pragma once

#include <filesystem>
#include <string_view>

namespace vesk {

// Creates the file (0666 before the umask) when its metadata cannot be read; an existing file
// keeps its content and modification time. A failed open throws SystemError.
void touch(const std::filesystem::path& path);

// Removes every line equal to `line`, appends `line` and writes the file back (plain write).
void move_line_to_bottom(const std::filesystem::path& path, std::string_view line);

}  // namespace vesk

// What the vault and the question picker show of a file: a window of its lines for a preview,
// and the first line worth a title.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace vesk {

// 1-based, inclusive.
struct LineRange {
    std::size_t first = 1;
    std::size_t last = 1;
};
// Prints a window of the file on standard output: through bat (batcat on Debian) when it is on
// PATH, else numbered like `cat -n` (lines 1-40 when no range is given).
void show_range(const std::filesystem::path& path, std::optional<std::size_t> highlight,
                std::optional<LineRange> range);

// The first non-blank line among the first 20, unchanged; none when unreadable or all blank.
std::optional<std::string> first_non_empty_line(const std::filesystem::path& path);

}  // namespace vesk

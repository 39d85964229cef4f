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
// PATH, else numbered like `cat -n` from the window's first line (lines 1-40 when no range is
// given). A file larger than kPreviewBytes is shown as far as those bytes reach
// (pickers/file_preview.hpp); a FIFO, a device or an unreadable file shows nothing.
void show_range(const std::filesystem::path& path, std::optional<std::size_t> highlight,
                std::optional<LineRange> range);

// The first non-blank line among the first 20, unchanged; none when unreadable, all blank or not
// UTF-8 (as far as read_title_lines reads). A FIFO or a device is not read at all.
std::optional<std::string> first_non_empty_line(const std::filesystem::path& path);

// Reads into `out` no more of the regular file open on `fd` than a title can need: its first 20
// lines, each with its line end, and never more than kTitleBytes (a character cut there is
// dropped). False when reading fails.
bool read_title_lines(int fd, std::string& out);

// A title is the first non-blank line among the first twenty, cut to 100 characters, so a few
// kilobytes are all it takes. Twenty lines of 3,000 bytes each still fit; a file of one endless
// line (a minified script, a log, a gigabyte of base64) is read no further. Only a first line
// longer than this and made mostly of blanks could give another title than the whole file would.
inline constexpr std::size_t kTitleLines = 20;
inline constexpr std::size_t kTitleBytes = std::size_t{64} << 10;

}  // namespace vesk

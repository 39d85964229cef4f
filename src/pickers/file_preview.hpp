// How the previews show a window of a file's lines: through bat when it is found, else numbered
// as `cat -n` numbers them. No preview reads more of a file than kPreviewBytes: a larger file is
// shown as far as those bytes reach (bat reads them on its standard input, told the file's name
// for its syntax), and a window that lies beyond them shows the file's first lines instead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/files.hpp"
#include "core/process.hpp"

namespace vesk {

// Lines 1-based and inclusive; no `last` runs to the end.
struct FileWindow {
    std::uint64_t first = 1;
    std::optional<std::uint64_t> last;
    std::optional<std::uint64_t> highlight;
};

// The file as far as a preview reads it; none when it is no regular file (a FIFO would hang the
// preview, a device never ends) or cannot be read.
std::optional<FileHead> preview_head(const std::filesystem::path& path);

// The window as `head` can show it: unchanged when it holds the whole file or the window's first
// line; otherwise as many lines from line 1, without the highlight.
FileWindow window_within(const FileHead& head, FileWindow window);

// Runs `bat` (the program and its options) over the window of the file: given the file itself
// when `head` holds all of it, else the bytes of `head` up to the window's end. Its exit status;
// failing to start it throws.
ExitStatus run_bat(ChildCommand bat, const std::filesystem::path& path, const FileHead& head,
                   const FileWindow& window);

// The window's lines of `bytes` (decoded lossily), each as `cat -n` prints it: the number
// right-aligned in 6 columns, a tab, the line, "\n". Numbered from 1 at the window's first line
// when `from_window`, else by their lines in the file.
std::string numbered_window(std::string_view bytes, const FileWindow& window, bool from_window);

}  // namespace vesk

#include "pickers/file_preview.hpp"

#include <cstdio>
#include <exception>

#include <fmt/format.h>

#include "core/text.hpp"

namespace vesk {

namespace {

// Where line `line` (1-based) of `bytes` begins; none when the bytes end before it.
std::optional<std::size_t> line_start(std::string_view bytes, std::uint64_t line) {
    std::size_t at = 0;
    for (std::uint64_t n = 1; n < line; ++n) {
        const std::size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos) return std::nullopt;
        at = end + 1;
    }
    if (at >= bytes.size() && line > 1) return std::nullopt;
    return at;
}

}  // namespace

std::optional<FileHead> preview_head(const std::filesystem::path& path) {
    try {
        return read_file_head(path, kPreviewBytes);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

FileWindow window_within(const FileHead& head, FileWindow window) {
    if (head.whole || line_start(head.bytes, window.first)) return window;
    if (window.last) window.last = *window.last - window.first + 1;
    window.first = 1;
    window.highlight.reset();
    return window;
}

ExitStatus run_bat(ChildCommand bat, const std::filesystem::path& path, const FileHead& head,
                   const FileWindow& window) {
    if (window.highlight) bat.arg("--highlight-line").arg(std::to_string(*window.highlight));
    if (window.last) bat.arg("--line-range").arg(fmt::format("{}:{}", window.first, *window.last));
    else if (window.first > 1) bat.arg("--line-range").arg(fmt::format("{}:", window.first));
    std::fflush(stdout);
    if (head.whole) return run_child(bat.arg("--").arg(path.native())).status;
    // bat stops reading at the window's end: what lies after it need not be written.
    std::string_view bytes = head.bytes;
    if (window.last && *window.last < UINT64_MAX)
        bytes = bytes.substr(0, line_start(bytes, *window.last + 1).value_or(bytes.size()));
    bat.arg("--file-name=" + path_text(path));
    bat.in = Stdio::Pipe;
    return run_child(bat, bytes).status;
}

std::string numbered_window(std::string_view bytes, const FileWindow& window, bool from_window) {
    std::string out;
    const std::size_t start = line_start(bytes, window.first).value_or(bytes.size());
    std::uint64_t line_number = window.first;
    for (const std::string& line : split_lines(lossy_utf8(bytes.substr(start)))) {
        if (window.last && line_number > *window.last) break;
        out += fmt::format("{:>6}\t{}\n", from_window ? line_number - window.first + 1 : line_number, line);
        ++line_number;
    }
    return out;
}

}  // namespace vesk

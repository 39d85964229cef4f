#include "agent/preview.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <string>

#include <fmt/format.h>

#include "core/command.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "pickers/file_preview.hpp"
#include "pickers/tools.hpp"

namespace vesk {

void show_range(const std::filesystem::path& path, std::optional<std::size_t> highlight,
                std::optional<LineRange> range) {
    // A preview shows what it can: a FIFO, a device or an unreadable file shows nothing.
    const std::optional<FileHead> head = preview_head(path);
    if (!head) return;
    FileWindow window{1, std::nullopt, highlight};
    if (range) window = window_within(*head, {range->first, range->last, highlight});
    if (std::optional<std::filesystem::path> bat_path = which_first({"bat", "batcat"})) {
        ChildCommand bat(bat_path->filename().string(), {"--color=always", "--style=numbers"});
        if (run_bat(bat, path, *head, window).success()) return;
    }
    // Bytes that are not UTF-8 come out as U+FFFD rather than blanking the whole window.
    if (!range) window.last = 40;
    const std::string out = numbered_window(head->bytes, window, true);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

bool read_title_lines(int fd, std::string& out) {
    out.resize(kTitleBytes);
    std::size_t used = 0;
    bool ended = false;
    while (used < out.size()) {
        const std::size_t wanted = out.size() - used;
        const ssize_t n = ::read(fd, out.data() + used, wanted);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        used += static_cast<std::size_t>(n);
        // A regular file reads short only at its end: no second call to learn it.
        if (static_cast<std::size_t>(n) < wanted) {
            ended = true;
            break;
        }
    }
    out.resize(used);
    std::size_t end = 0;
    for (std::size_t lines = 0; lines < kTitleLines; ++lines) {
        const std::size_t line_end = out.find('\n', end);
        if (line_end == std::string::npos) {
            end = std::string::npos;
            break;
        }
        end = line_end + 1;
    }
    if (end != std::string::npos) {
        out.resize(end);
    } else if (!ended) {
        // Stopped inside a character: the bytes of it that came are no fault of the file.
        std::size_t lead = used;
        while (lead > 0 && used - lead < 4 && (static_cast<unsigned char>(out[lead - 1]) & 0xC0) == 0x80) --lead;
        if (lead > 0) {
            const unsigned char first = static_cast<unsigned char>(out[lead - 1]);
            const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
            if (used - (lead - 1) < length) out.resize(lead - 1);
        }
    }
    return true;
}

std::optional<std::string> first_non_empty_line(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st;
    std::string text;
    const bool read = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && read_title_lines(fd, text);
    ::close(fd);
    if (!read || !is_valid_utf8(text)) return std::nullopt;
    for (const std::string& line : split_lines(text)) {
        if (!is_blank(line)) return line;
    }
    return std::nullopt;
}

}  // namespace vesk

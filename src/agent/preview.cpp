#include "agent/preview.hpp"

#include <cstdio>
#include <exception>
#include <string>

#include <fmt/format.h>

#include "core/command.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "pickers/tools.hpp"

namespace vesk {

void show_range(const std::filesystem::path& path, std::optional<std::size_t> highlight,
                std::optional<LineRange> range) {
    std::fflush(stdout);
    if (std::optional<std::filesystem::path> bat_path = which_first({"bat", "batcat"})) {
        ChildCommand bat(bat_path->filename().string(), {"--color=always", "--style=numbers"});
        if (highlight) bat.arg("--highlight-line").arg(std::to_string(*highlight));
        if (range) bat.arg("--line-range").arg(fmt::format("{}:{}", range->first, range->last));
        bat.arg(path.native());
        if (run_child(bat).status.success()) return;
    }
    // A preview shows what it can: an unreadable file shows nothing, and bytes that are not UTF-8
    // come out as U+FFFD rather than blanking the whole window.
    std::string bytes;
    try {
        bytes = read_file(path);
    } catch (const std::exception&) {
    }
    std::string text = lossy_utf8(bytes);
    LineRange window = range.value_or(LineRange{1, 40});
    std::string out;
    std::size_t number = 0;
    for (const auto& line : split_lines(text)) {
        ++number;
        if (number < window.first || number > window.last) continue;
        out += fmt::format("{:>6}\t{}\n", number - window.first + 1, line);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

std::optional<std::string> first_non_empty_line(const std::filesystem::path& path) {
    auto text = read_text_if_any(path);
    if (!text) return std::nullopt;
    auto lines = split_lines(*text);
    for (size_t k = 0; k < lines.size() && k < 20; ++k) {
        if (!is_blank(lines[k])) return lines[k];
    }
    return std::nullopt;
}

}  // namespace vesk

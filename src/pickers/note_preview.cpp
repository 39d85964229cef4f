// `note preview`: the selected file around its hit, through bat when it is there.
//
// Two pickers call it. The note pickers show the lines that fit the preview window
// ($FZF_PREVIEW_LINES) around the hit. The finder sets VESK_PREVIEW_SPAN=file in its fzf's
// environment: the whole file when there is no line, so that fzf's preview scrolls through all of
// it, and 30 lines from 15 before a hit otherwise.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include <fmt/format.h>

#include "core/env.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "pickers/note.hpp"
#include "pickers/note_files.hpp"
#include "pickers/note_lines.hpp"
#include "pickers/tools.hpp"

namespace vesk::pickers {

namespace {

constexpr std::uint64_t kDefaultWindow = 40;
constexpr std::uint64_t kHitWindow = 30;

// The lines shown, 1-based and inclusive; no `last` runs to the end of the file.
struct Span {
    std::uint64_t first = 1;
    std::optional<std::uint64_t> last;
};

// `window` lines with `line` half-way down, never above line 1.
Span around(std::uint64_t line, std::uint64_t window) {
    const std::uint64_t first = line > window / 2 ? line - window / 2 : 1;
    return {first, first + std::min(window - 1, UINT64_MAX - first)};
}

// Nothing when the window has no line at all. Line 0 names no line.
std::optional<Span> preview_span(std::uint64_t line) {
    if (env_var("VESK_PREVIEW_SPAN") == "file") return line > 0 ? around(line, kHitWindow) : Span{};
    std::uint64_t window = kDefaultWindow;
    if (auto text = env_var("FZF_PREVIEW_LINES")) window = parse_line_number(*text).value_or(kDefaultWindow);
    if (window == 0) return std::nullopt;
    return line > 0 ? around(line, window) : Span{1, window};
}

}  // namespace

void note_preview(const NoteSelectionArgs& args) {
    auto target = note_file_and_line_from_args(args);
    std::error_code ec;
    if (!target || !std::filesystem::is_regular_file(target->path, ec)) return;
    const std::uint64_t line = target->line.value_or(0);
    const std::optional<Span> span = preview_span(line);
    if (!span) return;

    if (auto bat = which_first({"bat", "batcat"})) {
        ChildCommand cmd(bat->native(), {"--color=always", "--style=numbers,changes"});
        // bat pads the highlighted line, and wraps long ones, to what it takes for the terminal's
        // width; a row wider than the preview spills onto a second, empty row. fzf (0.38) wraps a
        // row that reaches the column before the preview's edge when an escape sequence follows,
        // as one ends every row of bat's: two columns fewer keep each row on its own.
        if (auto columns = env_var("FZF_PREVIEW_COLUMNS")) {
            if (auto width = parse_line_number(*columns); width && *width > 2)
                cmd.arg("--terminal-width=" + std::to_string(*width - 2));
        }
        if (line > 0) cmd.arg("--highlight-line").arg(std::to_string(line));
        if (span->last) cmd.arg("--line-range").arg(fmt::format("{}:{}", span->first, *span->last));
        cmd.arg("--").arg(target->path.native());
        std::fflush(stdout);
        run_child(cmd);
        return;
    }

    std::string bytes;
    try {
        bytes = read_file(target->path);
    } catch (const std::exception&) {
    }
    std::string out;
    std::uint64_t number = 0;
    for (const auto& text : split_lines(lossy_utf8(bytes))) {
        ++number;
        if (number < span->first) continue;
        if (span->last && number > *span->last) break;
        out += fmt::format("{:>6}\t{}\n", number, text);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

}  // namespace vesk::pickers

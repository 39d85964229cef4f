// `note preview`: the selected file around its hit, through bat when it is there.
//
// Two pickers call it. The note pickers show the lines that fit the preview window
// ($FZF_PREVIEW_LINES) around the hit. The finder sets VESK_PREVIEW_SPAN=file in its fzf's
// environment: the whole file when there is no line, so that fzf's preview scrolls through all of
// it (as far as a preview reads a file: file_preview.hpp), and 30 lines from 15 before a hit
// otherwise.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include <fmt/format.h>

#include "core/env.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "pickers/file_preview.hpp"
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
    if (!target) return;
    const std::uint64_t line = target->line.value_or(0);
    const std::optional<Span> span = preview_span(line);
    if (!span) return;
    const std::optional<FileHead> head = preview_head(target->path);
    if (!head) return;
    std::optional<std::uint64_t> highlight;
    if (line > 0) highlight = line;
    const FileWindow window = window_within(*head, {span->first, span->last, highlight});

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
        run_bat(cmd, target->path, *head, window);
        return;
    }
    const std::string out = numbered_window(head->bytes, window, false);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

}  // namespace vesk::pickers

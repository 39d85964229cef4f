// `note preview`: the window of a note around the selected hit, through bat when it is there.
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

std::uint64_t preview_window() {
    auto text = env_var("FZF_PREVIEW_LINES");
    if (!text) return kDefaultWindow;
    return parse_line_number(*text).value_or(kDefaultWindow);
}

}  // namespace

void note_preview(const NoteSelectionArgs& args) {
    auto target = note_file_and_line_from_args(args);
    std::error_code ec;
    if (!target || !std::filesystem::is_regular_file(target->path, ec)) return;
    std::uint64_t window = preview_window();
    if (window == 0) return;
    // Line 0 names no line: there is nothing to centre on or to highlight.
    std::uint64_t line = target->line.value_or(0);
    std::uint64_t first = line > window / 2 ? line - window / 2 : 1;
    std::uint64_t last = first + std::min(window - 1, UINT64_MAX - first);

    if (auto bat = which_first({"bat", "batcat"})) {
        ChildCommand cmd(bat->native(), {"--color=always", "--style=numbers,changes"});
        if (line > 0) {
            cmd.arg("--highlight-line").arg(std::to_string(line));
            cmd.arg("--line-range").arg(fmt::format("{}:{}", first, last));
        } else {
            cmd.arg("--line-range").arg(fmt::format(":{}", window));
        }
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
        if (number < first) continue;
        if (number > last) break;
        out += fmt::format("{:>6}\t{}\n", number, text);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

}  // namespace vesk::pickers

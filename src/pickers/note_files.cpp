#include "pickers/note_files.hpp"

#include <exception>
#include <system_error>

#include <fmt/format.h>

#include "core/command.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/state_files.hpp"
#include "pickers/tools.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

namespace {

// Every lister is asked for NUL-terminated names, so that a name holding a line feed stays one
// name instead of becoming two that may name other files.
std::vector<std::string> run_lister(ChildCommand lister) {
    return split_nul_entries(command_output_allow_failure(lister));
}

bool starts_find_expression(std::string_view dir) {
    return dir.starts_with('-') || dir.starts_with('(') || dir.starts_with('!') || dir.starts_with(')');
}

// Whether `inner` is `outer` or lies below it (both canonical).
bool is_within(const fs::path& outer, const fs::path& inner) {
    auto o = outer.begin(), i = inner.begin();
    for (; o != outer.end(); ++o, ++i) {
        if (i == inner.end() || *o != *i) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> note_files(bool include_hidden) {
    if (which("rg")) {
        ChildCommand rg("rg");
        if (include_hidden) rg.arg("--hidden");
        return run_lister(rg.arg("--files").arg("--null").arg("."));
    }
    if (auto fd = which_first({"fd", "fdfind"})) {
        ChildCommand cmd(fd->native());
        if (include_hidden) cmd.arg("--hidden");
        return run_lister(cmd.arg("--type").arg("f").arg("--print0").arg(".").arg("."));
    }
    return run_lister(ChildCommand("find", {".", "-type", "f", "-print0"}));
}

std::vector<std::string> note_files_below(const std::string& dir, std::string& listed_dir) {
    listed_dir = dir;
    if (which("rg")) return run_lister(ChildCommand("rg", {"--files", "--hidden", "--no-ignore", "--null", "--", dir}));
    if (auto fd = which_first({"fd", "fdfind"})) {
        return run_lister(
            ChildCommand(fd->native(), {"--type", "f", "--hidden", "--no-ignore", "--print0", "--", ".", dir}));
    }
    // find takes a leading '-', '(' or '!' for its expression and knows no "--".
    if (starts_find_expression(dir)) listed_dir = "./" + dir;
    return run_lister(ChildCommand("find", {listed_dir, "-type", "f", "-print0"}));
}

std::optional<std::vector<NoteContentHit>> rg_content_hits(std::string_view query, const std::vector<std::string>& extra,
                                                           const std::optional<std::string>& cwd) {
    if (!which("rg")) return std::nullopt;
    ChildCommand rg("rg", extra);
    // The query goes after -e: as a free word rg would take "--pre=rm" for an option and run rm
    // on every file it searches.
    rg.arg("--no-heading").arg("--color=never").arg("--null").arg("-e").arg(std::string(query)).arg(".");
    if (cwd) rg.dir(*cwd);
    return parse_rg_null_hits(command_output_allow_failure(rg));
}

std::optional<NoteTarget> note_file_and_line_from_args(const NoteSelectionArgs& args) {
    std::string root_text;
    try {
        root_text = read_file(args.root_dir_file);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    while (root_text.ends_with('\n')) root_text.pop_back();
    if (root_text.empty()) return std::nullopt;
    // Trailing '/' go, but "/" stays: stripped to nothing it would send the path to the working
    // directory.
    std::size_t last = root_text.find_last_not_of('/');
    root_text.resize(last == std::string::npos ? 1 : last + 1);

    std::string mode = read_note_mode(args.mode_file);
    std::string selection;
    for (const auto& word : args.selection) {
        if (!selection.empty()) selection += ' ';
        selection += word;
    }
    auto file = note_selection_file(mode, selection, true);
    if (!file) return std::nullopt;
    NoteTarget target{root_text, note_path_in(root_text, *file), std::nullopt};
    if (mode == "content") {
        if (auto parsed = parse_note_mf_line(selection)) target.line = parse_line_number(parsed->line);
    }
    return target;
}

bool remove_note_file(const fs::path& root, const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    fs::path root_dir = fs::canonical(root, ec);
    fs::path parent = ec ? fs::path() : fs::canonical(path.parent_path(), ec);
    if (ec || !is_within(root_dir, parent)) {
        throw Error(fmt::format("노트 디렉터리 밖의 파일은 지우지 않습니다: {}", path_text(path)));
    }
    if (!fs::remove(path, ec) && ec) throw SystemError(ec.value(), path_text(path));
    return true;
}

void reveal_note_path(const fs::path& path) {
    if (!which("open")) {
        display_note_popup("open 명령을 찾을 수 없습니다.");
        return;
    }
    // A relative name that begins with '-' must not reach open as an option.
    std::string operand = path.is_absolute() ? path.native() : "./" + path.native();
    run_child(ChildCommand("open", {"-R", operand}));
}

void display_note_popup(std::string_view message) {
    try {
        Tmux::named().capture({"display-message", tmux_format_escape(message)});
    } catch (const std::exception&) {
    }
}

}  // namespace vesk::pickers

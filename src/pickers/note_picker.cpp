// The note pickers: the one of `note popup` and the one vim's <Leader>o runs (`note select`).
#include <cstdio>
#include <system_error>

#include "core/files.hpp"
#include "core/text.hpp"
#include "pickers/fzf.hpp"
#include "pickers/note.hpp"
#include "pickers/note_files.hpp"
#include "pickers/note_lines.hpp"
#include "pickers/note_popup.hpp"
#include "pickers/state_files.hpp"
#include "pickers/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

namespace {

// The bindings' shell text: the note directory, the program and the state files come from the
// variables run_note_picker sets for fzf; {q} and {} are the words fzf quotes itself.
constexpr std::string_view kList = R"SH(cd "$VESK_NOTE_DIR" && "$VESK_NOTE_BIN" note list "$VESK_NOTE_MODE" )SH";
constexpr std::string_view kToggle = R"SH("$VESK_NOTE_BIN" note toggle-mode "$VESK_NOTE_MODE")SH";
constexpr std::string_view kPreview = R"SH("$VESK_NOTE_BIN" note preview "$VESK_NOTE_ROOT" "$VESK_NOTE_MODE" {})SH";

}  // namespace

std::vector<std::string> note_picker_fzf_args(NotePicker picker) {
    const std::string reload = std::string(kList) + "{q}";
    std::vector<std::string> args = {"--phony", "--header-lines=1", "--height=100%", "--border=rounded", "--prompt=노트> "};
    if (picker == NotePicker::Popup) {
        args.insert(args.end(), {"--delimiter=\t", "--with-nth=1,2,3", "--expect=esc,ctrl-c,ctrl-x,ctrl-o,ctrl-n"});
    } else {
        args.emplace_back("--expect=esc,ctrl-c,ctrl-x,ctrl-o");
    }
    args.insert(args.end(), {"--bind=ctrl-d:clear-query", "--preview-window=right:60%:wrap",
                             "--bind", "start:reload:" + std::string(kList) + "''",
                             "--bind", "ctrl-t:execute-silent(" + std::string(kToggle) + ")+reload:" + reload,
                             "--bind", "change:reload:" + reload});
    if (picker == NotePicker::Popup) {
        args.insert(args.end(), {"--bind", "ctrl-r:reload:" + reload, "--bind", "f5:reload:" + reload});
    }
    args.insert(args.end(), {"--preview", std::string(kPreview)});
    return args;
}

fs::path new_note_path(const fs::path& dir, std::string_view stamp) { return dir / (std::string(stamp) + ".md"); }

std::optional<NoteChoice> run_note_picker(const fs::path& dir, NotePicker picker) {
    const std::string program = vesk_bin(Tmux());
    const bool popup = picker == NotePicker::Popup;
    const PrivateStateFile mode(popup ? "note-popup-mode" : "note-mode", "filename\n");
    const PrivateStateFile root(popup ? "note-popup-root" : "note-root", path_text(dir) + "\n");
    const FzfEnv env = {{"VESK_NOTE_BIN", program},
                        {"VESK_NOTE_DIR", path_text(dir)},
                        {"VESK_NOTE_MODE", path_text(mode.path())},
                        {"VESK_NOTE_ROOT", path_text(root.path())}};
    const std::vector<std::string> args = note_picker_fzf_args(picker);
    for (;;) {
        const FzfExpect out = split_fzf_expect_output(run_fzf_picker("", args, env));
        if (out.key == "esc" || out.key == "ctrl-c") return std::nullopt;
        if (popup && out.key == "ctrl-n") return NoteChoice{new_note_path(dir, format_local_time("%Y-%m-%d_%H-%M-%S")), {}};

        const std::string note_mode = read_note_mode(mode.path());
        const std::optional<fs::path> path = note_selection_path(dir, note_mode, out.selection);
        std::error_code ec;
        if (out.key == "ctrl-x") {
            // Only a note of this directory is removed; the picker stays for the next one.
            if (!path || !remove_note_file(dir, *path)) display_note_popup("삭제할 파일이 없습니다.");
            continue;
        }
        if (out.key == "ctrl-o") {
            if (path && fs::exists(fs::symlink_status(*path, ec))) reveal_note_path(*path);
            else display_note_popup("Finder로 열 파일이 없습니다.");
            continue;
        }
        if (!path || !fs::is_regular_file(*path, ec)) continue;
        NoteChoice choice{*path, std::nullopt};
        if (note_mode == "content") {
            if (auto fields = parse_note_mf_line(out.selection)) choice.line = parse_line_number(fields->line);
        }
        return choice;
    }
}

void note_select(const NoteSelectArgs& args) {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    std::error_code ec;
    if (!fs::is_directory(args.dir, ec)) return;
    std::string dir = args.dir;
    while (dir.size() > 1 && dir.ends_with('/')) dir.pop_back();
    const std::optional<NoteChoice> choice = run_note_picker(dir, NotePicker::Select);
    if (!choice) return;
    // vim reads the answer from a file; without a line end it is the path alone.
    const std::string& text = choice->path.native();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace vesk::pickers

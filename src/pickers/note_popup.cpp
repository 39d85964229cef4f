// `note open` and `note popup`: the pane beside the user's work in which a note directory, a note
// and a command are chosen, and the note is opened.
#include "pickers/note_popup.hpp"

#include <algorithm>
#include <exception>
#include <system_error>

#include "core/command.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/fzf.hpp"
#include "pickers/note.hpp"
#include "pickers/note_files.hpp"
#include "pickers/open_with.hpp"
#include "pickers/picker_tmux.hpp"
#include "pickers/text.hpp"
#include "pickers/tools.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

std::vector<NoteDirEntry> parse_note_dir_entries(std::string_view text) {
    std::vector<NoteDirEntry> entries;
    for (const std::string& line : split_lines(text)) {
        std::size_t first = line.find('|');
        std::size_t second = first == std::string::npos ? first : line.find('|', first + 1);
        if (second == std::string::npos) continue;
        std::string_view view = line;
        NoteDirEntry entry{std::string(trim(view.substr(0, first))),
                           std::string(trim(view.substr(first + 1, second - first - 1))),
                           std::string(trim(view.substr(second + 1)))};
        if (entry.path.empty()) continue;
        if (entry.label.empty()) entry.label = entry.keyword;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string note_dir_picker_lines(const std::vector<NoteDirEntry>& entries) {
    std::size_t longest = 0;
    for (const auto& e : entries) longest = std::max(longest, decode_utf8(e.label).size());
    std::string out;
    for (const auto& e : entries) {
        out += pad_chars(e.label, longest) + " | " + e.path + "\t" + e.keyword + "\t" + e.path + "\n";
    }
    return out;
}

std::vector<std::string> note_dir_fzf_args() {
    return {"--height=100%", "--border=rounded", "--prompt=노트 위치> ", "--layout=reverse-list", "--no-sort",
            "--delimiter=\t", "--with-nth=1", "--expect=ctrl-n,esc,ctrl-c", "--bind=ctrl-d:clear-query"};
}

NoteDirPick read_note_dir_pick(std::string_view fzf_output) {
    FzfExpect e = split_fzf_expect_output(fzf_output);
    if (e.key == "esc" || e.key == "ctrl-c") return {};
    if (e.key == "ctrl-n") return {NoteDirPick::Kind::EditList, {}, {}};
    if (e.selection.empty()) return {};
    std::string_view line = e.selection;
    std::size_t first = line.find('\t');
    std::size_t second = first == std::string_view::npos ? first : line.find('\t', first + 1);
    if (second == std::string_view::npos) return {NoteDirPick::Kind::Again, {}, {}};
    std::string_view path = line.substr(second + 1);
    return {NoteDirPick::Kind::Chosen, std::string(line.substr(first + 1, second - first - 1)),
            std::string(path.substr(0, path.find('\t')))};
}

namespace {

std::vector<NoteDirEntry> load_note_dirs(const fs::path& list) {
    std::vector<NoteDirEntry> entries = parse_note_dir_entries(read_file(list));
    if (entries.empty()) throw Error("lists/note-dir.list가 비어있습니다.");
    return entries;
}

// The chosen note directory as a path: "~" expanded, trailing '/' removed ("/" stays "/").
fs::path note_dir_path(const std::string& written) {
    std::string text = strip_trailing_slash(expand_home(written));
    return text.empty() ? fs::path("/") : fs::path(text);
}

}  // namespace

std::optional<NoteDirEntry> select_note_dir(const std::string& editor, const fs::path& list) {
    std::vector<NoteDirEntry> entries = load_note_dirs(list);
    for (;;) {
        NoteDirPick pick = read_note_dir_pick(run_fzf_picker(note_dir_picker_lines(entries), note_dir_fzf_args()));
        switch (pick.kind) {
            case NoteDirPick::Kind::Cancel: return std::nullopt;
            case NoteDirPick::Kind::Chosen: return NoteDirEntry{"", pick.keyword, pick.path};
            case NoteDirPick::Kind::Again: display_note_popup("노트 위치를 선택할 수 없습니다."); break;
            case NoteDirPick::Kind::EditList:
                // The editor's status says nothing about the list; whatever it left is read again.
                Child::spawn(ChildCommand(editor, {path_text(list)})).wait();
                entries = load_note_dirs(list);
                break;
        }
    }
}

void note_open(const NoteOpenArgs& args) {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const std::string command = shell_quote(vesk_bin(tmux)) + " note popup";
    const std::string dir = tmux.display(std::nullopt, "#{pane_current_path}");
    std::vector<std::string> call;
    if (args.mode == "pane") call = {"split-window", "-h"};
    else if (args.mode == "window") call = {"new-window"};
    else throw Error("지원하지 않는 note open 모드입니다: " + args.mode);
    // tmux expands formats in the start directory: a # in it comes through doubled.
    if (!dir.empty()) call.insert(call.end(), {"-c", tmux_format_escape(dir)});
    call.push_back(command);
    tmux.run(call);
}

void note_popup() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    prepend_tool_path();
    Tmux tmux;
    const fs::path zelt = zelt_path(tmux);
    const std::string editor = env_var("VIM_BIN").value_or("vim");
    require_command(editor, "vim을 찾을 수 없습니다.");
    require_fzf();
    std::error_code ec;
    const fs::path vimrc = zelt / "lib" / "vimrc";
    if (!fs::is_regular_file(vimrc, ec)) throw Error("vimrc 파일이 없습니다: " + path_text(vimrc));
    const fs::path dirs = zelt / "lists" / "note-dir.list";
    if (!fs::is_regular_file(dirs, ec)) throw Error("lists/note-dir.list 파일이 없습니다: " + path_text(dirs));

    // The session by its id: a name may start with '$' or '=', which a target reads as an id or
    // an exact-match prefix, so its options would go to another session or nowhere.
    const std::string session = current_session_id(tmux);
    const std::optional<NoteDirEntry> chosen = select_note_dir(editor, dirs);
    if (!chosen) return;
    const fs::path dir = note_dir_path(chosen->path);
    if (!fs::exists(fs::symlink_status(dir, ec))) {
        fs::create_directories(dir, ec);
        if (ec) throw SystemError(ec.value(), path_text(dir));
    } else if (!fs::is_directory(dir, ec)) {
        throw Error("노트 경로가 디렉터리가 아닙니다: " + path_text(dir));
    }
    set_tmux_option_for_session(tmux, session, "@note_dir_keyword", chosen->keyword);
    set_tmux_option_for_session(tmux, session, "@note_dir_path", path_text(dir));

    const std::optional<NoteChoice> note = run_note_picker(dir, NotePicker::Popup);
    if (!note) {
        // Esc leaves the notes altogether; the picker's files are gone already, since closing
        // the pane ends this process too.
        kill_current_pane();
        return;
    }
    const std::optional<std::string> command =
        select_open_with_cmd(editor, zelt / "lists" / "find-file-and-exec.list",
                             get_tmux_option_for_session(tmux, session, "@note_open_with_last"));
    if (!command) return;
    set_tmux_option_for_session(tmux, session, "@note_open_with_last", *command);
    run_note_open_with(vimrc, dir, note->path, note->line, *command);
}

}  // namespace vesk::pickers

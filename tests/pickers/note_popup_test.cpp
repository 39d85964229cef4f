// The notes popup's pieces: the directory list, the pickers' arguments, the new note's name, and
// the command that opens a note (run here against recording programs).
#include <gtest/gtest.h>

#include "core/quote.hpp"
#include "pickers/note_popup.hpp"
#include "support/private_env.hpp"
#include "support/screen_run.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

TEST(NotePopup, DirectoryListPickerLinesAndPick) {
    EXPECT_EQ(parse_note_dir_entries("work | w | ~/notes/work\r\n | w | ~/n\na | b\na | b |\nno bars\n"
                                     "x | y | /p | with bar\n노트 | n | ~/노트\n"),
              (std::vector<NoteDirEntry>{{"work", "w", "~/notes/work"},
                                         {"w", "w", "~/n"},
                                         {"x", "y", "/p | with bar"},
                                         {"노트", "n", "~/노트"}}));
    EXPECT_EQ(parse_note_dir_entries("a | b\n# c | d |\n"), std::vector<NoteDirEntry>{});
    // Labels padded by characters: "노트" is two.
    EXPECT_EQ(note_dir_picker_lines({{"work", "w", "~/notes/work"}, {"w", "w", "~/n"}, {"노트", "n", "/x"}}),
              "work | ~/notes/work\tw\t~/notes/work\nw    | ~/n\tw\t~/n\n노트   | /x\tn\t/x\n");

    using K = NoteDirPick::Kind;
    for (const char* cancel : {"esc\nwork | x\tw\tx", "ctrl-c", "", "\n"}) EXPECT_EQ(read_note_dir_pick(cancel).kind, K::Cancel);
    EXPECT_EQ(read_note_dir_pick("ctrl-n\n").kind, K::EditList);
    EXPECT_EQ(read_note_dir_pick("\nwork | x\tw").kind, K::Again);
    const NoteDirPick pick = read_note_dir_pick("\nwork | ~/a b\tw\t~/a b\n");
    EXPECT_EQ(pick.kind, K::Chosen);
    EXPECT_EQ(pick.keyword, "w");
    EXPECT_EQ(pick.path, "~/a b");

    EXPECT_EQ(new_note_path("/n", "2024-05-01_09-30-05"), fs::path("/n/2024-05-01_09-30-05.md"));

    // The pickers' bindings carry no path: the directory and the files come through variables.
    for (NotePicker picker : {NotePicker::Popup, NotePicker::Select}) {
        const auto args = note_picker_fzf_args(picker);
        const bool popup = picker == NotePicker::Popup;
        EXPECT_EQ(std::find(args.begin(), args.end(), "--expect=esc,ctrl-c,ctrl-x,ctrl-o,ctrl-n") != args.end(), popup);
        EXPECT_EQ(std::find(args.begin(), args.end(), "--with-nth=1,2,3") != args.end(), popup);
        EXPECT_EQ(std::find(args.begin(), args.end(), "--expect=esc,ctrl-c,ctrl-x,ctrl-o") != args.end(), !popup);
        EXPECT_EQ(args.back(), R"("$VESK_NOTE_BIN" note preview "$VESK_NOTE_ROOT" "$VESK_NOTE_MODE" {})");
    }
}

TEST(NotePopup, VimArgumentsAndScript) {
    EXPECT_EQ(note_vim_args({"nvim", "-p"}, 12, "/z/lib/vimrc", "/t/s.vim", "/n/a.md"),
              (std::vector<std::string>{"-p", "+12", "-u", "/z/lib/vimrc", "-i", "NONE", "-n", "-c",
                                        "execute 'source' fnameescape('/t/s.vim')", "/n/a.md"}));
    // A temporary directory holding '%' or a quote is sourced as itself; a relative name that
    // begins with '+' is a file, not an Ex command.
    EXPECT_EQ(note_vim_args({"vim"}, std::nullopt, "v", "/t%#/it's", "+x.md"),
              (std::vector<std::string>{"-u", "v", "-i", "NONE", "-n", "-c", "execute 'source' fnameescape('/t%#/it''s')",
                                        "./+x.md"}));
    const std::string script = note_vim_script("/n/it's", "/z/bin/vesk");
    EXPECT_TRUE(script.starts_with("let g:note_dir = '/n/it''s'\nlet g:note_vesk = '/z/bin/vesk'\n")) << script;
    for (const char* piece : {"augroup note_files", "function! s:NoteInsertFile(path)", "function! s:NoteInsertNote()",
                              "' note select '", "nnoremap <silent> <Leader>o"})
        EXPECT_NE(script.find(piece), std::string::npos) << piece;
    // The leader is a blank: an insert-mode <Leader>o would open the picker on every " o" typed.
    EXPECT_EQ(script.find("inoremap <silent> <Leader>o"), std::string::npos);
}

// run_note_open_with with recording programs for vim and another command; a tmux that answers
// @zelt. Outside a pane nothing is killed.
class NoteOpenWith : public ::testing::Test {
protected:
    NoteOpenWith() {
        fs::create_directories(bin);
        fs::create_directories(notes);
        for (const char* name : {"vim", "nvim", "code"}) {
            write_script(bin / name, "{ printf '%s\\0' \"$NOTE_DIR\"; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; } > " +
                                         shell_quote((dir / "args").string()) + "\n");
        }
        write_script(bin / "tmux", "printf '/z\\n'\n");
        guard.set("PATH", bin.string() + ":/usr/bin:/bin");
        guard.set("TMUX_BIN", (bin / "tmux").string());
        guard.unset("TMUX_PANE");
        guard.set("TMPDIR", (dir / "tmp").string());
        fs::create_directories(dir / "tmp");
    }
    std::vector<std::string> args() {
        std::string text = read_text(dir / "args");
        std::vector<std::string> out;
        for (std::size_t pos = 0, end; pos < text.size(); pos = end + 1) out.push_back(text.substr(pos, (end = text.find('\0', pos)) - pos));
        return out;
    }

    TempDir dir;
    fs::path bin = dir / "bin", notes = dir / "notes";
    EnvGuard guard;
};

TEST_F(NoteOpenWith, VimGetsTheScriptOthersTheFile) {
    run_note_open_with("/z/lib/vimrc", notes, notes / "a.md", 12, "nvim  -p");
    std::vector<std::string> seen = args();
    ASSERT_EQ(seen.size(), 11u);
    EXPECT_EQ(seen[0], notes.string());  // NOTE_DIR
    EXPECT_EQ(std::vector<std::string>(seen.begin() + 1, seen.begin() + 8),
              (std::vector<std::string>{"-p", "+12", "-u", "/z/lib/vimrc", "-i", "NONE", "-n"}));
    EXPECT_EQ(seen[10], (notes / "a.md").string());
    // The script was there for vim and is gone once vim has ended.
    EXPECT_TRUE(seen[9].starts_with("execute 'source' fnameescape('" + (dir / "tmp").string() + "/")) << seen[9];
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
    EXPECT_FALSE(fs::exists(notes / "a.md"));  // vim makes it when the user writes

    // Any other command gets the file, made empty first, and no line.
    run_note_open_with("/z/lib/vimrc", notes, notes / "new.md", 3, "code --wait");
    EXPECT_EQ(args(), (std::vector<std::string>{"", "--wait", (notes / "new.md").string()}));
    EXPECT_TRUE(fs::is_regular_file(notes / "new.md"));

    EXPECT_EQ(error_text([&] { run_note_open_with("v", notes, notes / "a.md", {}, "  "); }), "실행할 명령이 없습니다.");
    EXPECT_EQ(error_text([&] { run_note_open_with("v", notes, notes / "a.md", {}, "no-such-editor x"); }),
              "명령을 찾을 수 없습니다: no-such-editor");
}

}  // namespace
}  // namespace vesk::pickers

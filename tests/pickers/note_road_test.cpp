// The notes popup the way a user reaches it: prefix C-n at a client of a tmux that runs the
// distribution, the directory picker, the note picker, Open With and the editor in the new split;
// and <Leader>o in that vim, which inserts another note.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include <fmt/format.h>

#include "pickers/note_lines.hpp"
#include "support/picker_session.hpp"
#include "support/screen_run.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

class NoteRoad : public ::testing::Test {
protected:
    NoteRoad() : s(env) {
        s.load_dist();
        fs::copy(fs::path(VESK_SOURCE_DIR) / "dist" / "lib", s.root() / "lib", fs::copy_options::recursive);
        fs::create_directories(notes);
        write_text(s.root() / "lists" / "note-dir.list", "work | w | " + notes.string() + "/\nother | o | ~/other\n");
        write_text(s.root() / "lists" / "find-file-and-exec.list", "vim | vim\nrec | rec\n");
        s.add_recorder("rec");
        s.add_recorder("open");
        s.shell_pane(env.root());
    }

    // prefix C-n, then the "work" directory: the note picker is up in the new split.
    void open_notes() {
        const std::vector<std::string> before = s.pane_ids();
        s.press_prefixed("C-n");
        ASSERT_TRUE(s.wait_for_text("노트 위치>")) << s.screen();
        pane = s.wait_for_new_pane(before);
        ASSERT_NE(pane, "");
        s.type("work");
        ASSERT_TRUE(s.wait_for_text(" 1/2")) << s.screen();
        s.press({"Enter"});
        ASSERT_TRUE(s.wait_for_text("노트>")) << s.screen();
        ASSERT_TRUE(s.wait_for_text("파일명 검색")) << s.screen();
    }
    // The file and cursor line of the vim in the notes pane (it reads the notes' vimrc, not
    // VIMINIT, so it is asked).
    std::pair<std::string, int> vim_at() {
        const fs::path out = env.root() / "vim-at";
        fs::remove(out);
        // vim makes the file before it writes into it: only both lines are the answer.
        auto answered = [&] {
            std::error_code ec;
            if (!fs::exists(out, ec)) return false;
            const std::string text = read_text(out);
            return std::count(text.begin(), text.end(), '\n') == 2;
        };
        // vim reads the terminal's answers to its start-up queries from the same input as keys, and
        // a key that comes with them may be lost: ask again until it answers.
        for (int attempt = 0; attempt < 5 && !answered(); ++attempt) {
            s.type(":call writefile([expand('%:p'), line('.')], '" + out.string() + "')");
            s.press({"Enter"});
            if (wait_until(answered, std::chrono::milliseconds(1500))) break;
            s.press({"Escape"});
            // Escape and the next ':' together would reach vim as M-:.
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
        }
        if (!answered()) return {"", 0};
        std::string text = read_text(out);
        std::size_t nl = text.find('\n');
        return {text.substr(0, nl), std::atoi(text.c_str() + nl + 1)};
    }
    // After a key that keeps the picker (ctrl-x, ctrl-o), fzf starts anew with an empty query:
    // keys typed before it is up would be lost.
    void picker_again(const std::string& last_query) {
        ASSERT_TRUE(s.wait_for_no_text("노트> " + last_query)) << s.screen();
        ASSERT_TRUE(s.wait_for_text("노트>")) << s.screen();
    }
    void quit_vim() {
        s.type(":qa!");
        s.press({"Enter"});
    }
    bool pane_closed() {
        return wait_until([&] {
            const auto ids = s.pane_ids();
            return std::find(ids.begin(), ids.end(), pane) == ids.end();
        });
    }
    // What the notes tools left in the temporary directory.
    std::vector<std::string> leftovers() {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(env.tmp())) {
            const std::string name = e.path().filename().string();
            if (name.starts_with("note-") || name.starts_with(".tmp")) found.push_back(name);
        }
        return found;
    }
    std::string session_option(const std::string& name) {
        return s.server().tmux({"show-option", "-t", s.server().session(), "-qv", name}).out;
    }

    PrivateEnv env;
    PickerSession s;
    fs::path notes = fs::canonical(env.root()) / "notes it's #{pane_id}";
    std::string pane;
};

TEST_F(NoteRoad, ByNameAndByContentInVimThenThePaneCloses) {
    write_text(notes / "plan.md", "the plan\n");
    write_text(notes / "sub" / "todo.md", "1\n2\n3\nneedle here\n5\n");
    open_notes();
    EXPECT_EQ(session_option("@note_dir_keyword"), "w\n");
    EXPECT_EQ(session_option("@note_dir_path"), notes.string() + "\n");
    s.ask("plan");
    // ctrl-r lists again, and fzf asks for the preview of the new list.
    EXPECT_TRUE(s.client().wait_for_preview(showing("the plan"), [&] { s.press({"C-r"}); })) << s.screen();
    s.press({"Enter"});
    s.open_with("vim");
    ASSERT_TRUE(s.wait_for_text("the plan")) << s.screen();
    EXPECT_EQ(vim_at(), (std::pair<std::string, int>{(notes / "plan.md").string(), 1})) << s.screen();
    quit_vim();
    EXPECT_TRUE(pane_closed()) << s.screen();
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
    EXPECT_EQ(session_option("@note_open_with_last"), "vim\n");

    // Content: C-t, the hit, and vim at its line; Open With offers the last command.
    open_notes();
    s.press({"C-t"});
    ASSERT_TRUE(s.wait_for_text("내용 검색")) << s.screen();
    s.ask("needle");
    s.press({"Enter"});
    ASSERT_TRUE(s.wait_for_text("open> vim")) << s.screen();
    s.press({"Enter"});
    ASSERT_TRUE(s.wait_for_text("needle here")) << s.screen();
    EXPECT_EQ(vim_at(), (std::pair<std::string, int>{(notes / "sub" / "todo.md").string(), 4})) << s.screen();
    quit_vim();
    EXPECT_TRUE(pane_closed()) << s.screen();
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

// A session named like another session's id ("$1"), which a target reads as that id: the notes
// keep their options on the session they run in.
TEST_F(NoteRoad, OptionsStayWithTheirSessionWhateverItsName) {
    const std::string own = s.server().format(s.server().session(), "#{session_id}");
    const std::string other = s.server().tmux_ok({"new-session", "-d", "-P", "-F", "#{session_id}", "-s", "other"});
    s.server().tmux_ok({"rename-session", "-t", own, other});
    open_notes();
    auto option = [&](const std::string& session, const char* name) {
        return s.server().tmux({"show-option", "-t", session, "-qv", name}).out;
    };
    EXPECT_EQ(option(own, "@note_dir_keyword"), "w\n");
    EXPECT_EQ(option(own, "@note_dir_path"), notes.string() + "\n");
    EXPECT_EQ(option(other, "@note_dir_keyword"), "");
    s.press({"Escape"});
    EXPECT_TRUE(pane_closed()) << s.screen();
}

TEST_F(NoteRoad, DeleteRevealNewNoteAndEscape) {
    write_text(notes / "a:b.md", "zap\n");
    write_text(notes / "a", "keep\n");  // what cutting "a:b.md" at its ':' would name
    write_text(notes / "keep.md", "keep\n");
    open_notes();
    s.press({"C-t"});
    ASSERT_TRUE(s.wait_for_text("내용 검색")) << s.screen();
    s.ask("zap");
    s.press({"C-x"});
    EXPECT_TRUE(wait_until([&] { return !fs::exists(notes / "a:b.md"); }));
    EXPECT_TRUE(fs::exists(notes / "a"));
    // The picker stays, in the mode it was in; nothing to delete is said on the client.
    picker_again("zap");
    ASSERT_TRUE(s.wait_for_text("내용 검색")) << s.screen();
    s.ask("nothing matches this", " 0/0");
    s.press({"C-x"});
    EXPECT_TRUE(s.wait_for_text("삭제할 파일이 없습니다.")) << s.screen();

    picker_again("nothing matches this");
    s.press({"C-t"});
    ASSERT_TRUE(s.wait_for_text("파일명 검색")) << s.screen();
    s.ask("keep.md");
    s.press({"C-o"});
    const auto revealed = s.recorded("open");
    ASSERT_TRUE(revealed) << s.screen();
    EXPECT_EQ(revealed->args, (std::vector<std::string>{"-R", (notes / "keep.md").string()}));

    // ctrl-n: a new note named by the time, made empty for a command that is not vim.
    picker_again("keep.md");
    s.press({"C-n"});
    s.open_with("rec");
    const auto made = s.recorded("rec");
    ASSERT_TRUE(made) << s.screen();
    ASSERT_EQ(made->args.size(), 1u);
    const fs::path note = made->args[0];
    EXPECT_EQ(note.parent_path(), notes);
    EXPECT_TRUE(std::regex_match(note.filename().string(), std::regex(R"(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.md)")));
    EXPECT_TRUE(fs::is_regular_file(note));
    EXPECT_TRUE(pane_closed()) << s.screen();

    // Esc in the note picker closes the pane, also over an empty list, and the picker's files go
    // with it.
    open_notes();
    EXPECT_EQ(leftovers().size(), 2u);
    s.ask("no such note", " 0/0");
    s.press({"Escape"});
    EXPECT_TRUE(pane_closed()) << s.screen();
    EXPECT_TRUE(wait_until([&] { return leftovers().empty(); }));
}

TEST_F(NoteRoad, EveryNameOpensWithTheCommand) {
    for (std::size_t i = 0; i < kHostileNames.size(); ++i) {
        const std::string& name = kHostileNames[i];
        SCOPED_TRACE(name);
        const std::string dir = fmt::format("n{:02}x", i);
        write_text(notes / dir / name, "x\n");
        fs::remove(env.root() / "records" / "rec");
        open_notes();
        s.ask(dir + "/");
        s.press({"Enter"});
        s.open_with("rec");
        const auto seen = s.recorded("rec");
        ASSERT_TRUE(seen) << s.screen();
        EXPECT_EQ(seen->args, std::vector<std::string>{(notes / dir / name).string()});
        EXPECT_TRUE(pane_closed()) << s.screen();
    }
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(NoteRoad, LeaderOInsertsAnotherNoteAtTheCursor) {
    write_text(notes / "main.md", "first line\nsecond\n");
    write_text(notes / "snippet.md", "INSERTED ONE\nINSERTED TWO\n");
    write_text(notes / "one.md", "SINGLE\n");
    open_notes();
    s.ask("main");
    s.press({"Enter"});
    s.open_with("vim");
    ASSERT_TRUE(s.wait_for_text("first line")) << s.screen();
    ASSERT_EQ(vim_at().first, (notes / "main.md").string()) << s.screen();

    // On "line" of the first line: two lines split it there.
    s.type("gg0w o");
    ASSERT_TRUE(s.wait_for_text("노트>")) << s.screen();
    s.ask("snip");
    s.press({"Enter"});
    ASSERT_TRUE(s.wait_for_text("INSERTED TWOline")) << s.screen();
    // One line goes in where the cursor is, after the inserted text.
    s.type(" o");
    ASSERT_TRUE(s.wait_for_text("노트>")) << s.screen();
    s.ask("one.md");
    s.press({"Enter"});
    ASSERT_TRUE(s.wait_for_text("INSERTED TWOSINGLEline")) << s.screen();
    // Esc in the picker inserts nothing and keeps vim.
    s.type(" o");
    ASSERT_TRUE(s.wait_for_text("노트>")) << s.screen();
    s.press({"Escape"});
    ASSERT_TRUE(s.wait_for_no_text("노트>")) << s.screen();
    // Typed text holding " o" stays text: the mapping is not an insert-mode one.
    s.type("A, a note on it");
    s.press({"Escape"});
    ASSERT_TRUE(s.wait_for_text("line, a note on it")) << s.screen();
    s.type(":wq");
    s.press({"Enter"});
    EXPECT_TRUE(pane_closed()) << s.screen();
    EXPECT_EQ(read_text(notes / "main.md"), "first INSERTED ONE\nINSERTED TWOSINGLEline, a note on it\nsecond\n");
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vesk::pickers

// `note open` and `note popup` up to the note picker, in a real tmux server: where the notes pane
// opens, what stops the popup before any picker, and the directory chosen from the list in fzf.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "core/quote.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

class NoteOpen : public ::testing::Test {
protected:
    NoteOpen() : server(120, 40, env.tmp()) { server.tmux_ok({"set-option", "-g", "@zelt", env.zelt().string()}); }

    // `vesk note ARGS...` in a pane started in `cwd`, in the selected window: run from a key
    // binding, `note open` asks tmux for the current pane.
    void start(const std::vector<std::string>& args, const fs::path& cwd, const EnvChanges& extra = {}) {
        EnvChanges changes = env.env();
        changes.insert(changes.end(), extra.begin(), extra.end());
        std::vector<std::string> argv{vesk_binary(), "note"};
        argv.insert(argv.end(), args.begin(), args.end());
        pane = server.run_in_current_window(argv, inside_tmux(changes), cwd);
    }
    // The pane's status once it ended, -2 when the command closed its pane.
    int finish() {
        int status = -3;
        wait_until([&] {
            if (!server.pane_exists(pane)) status = -2;
            else if (auto code = server.exit_status(pane)) status = *code;
            return status != -3;
        });
        EXPECT_NE(status, -3) << server.capture(pane);
        return status;
    }
    int note(const std::vector<std::string>& args, const fs::path& cwd, const EnvChanges& extra = {}) {
        start(args, cwd, extra);
        return finish();
    }
    // The directory picker is up with the one entry of the list: Enter.
    void choose_the_directory() {
        ASSERT_TRUE(server.wait_for_text(pane, "노트 위치>")) << server.capture(pane);
        ASSERT_TRUE(server.wait_for_text(pane, " 1/1")) << server.capture(pane);
        server.send_keys(pane, {"Enter"});
    }
    bool says(const std::string& text) { return server.capture(pane, true).find(text) != std::string::npos; }

    std::string session_option(const std::string& name) {
        return server.tmux({"show-option", "-t", server.session(), "-qv", name}).out;
    }

    PrivateEnv env;
    TmuxServer server;
    std::string pane;
};

TEST_F(NoteOpen, SplitOrWindowInThePaneDirectory) {
    const fs::path dir = fs::canonical(env.root()) / "work #{pane_id} it's";
    fs::create_directories(dir);
    const fs::path log = env.root() / "tmux.log";
    // The split and the window are only recorded; everything else reaches the server.
    fs::create_directories(env.root() / "tmux-answers");
    write_text(env.root() / "tmux-answers" / "split-window", "");
    write_text(env.root() / "tmux-answers" / "new-window", "");
    const EnvChanges recording = {{"TMUX_BIN", recording_tmux_path().string()},
                                  {"RECORD_TMUX_LOG", log.string()},
                                  {"RECORD_TMUX_SOCKET", server.socket_name()},
                                  {"RECORD_TMUX_ANSWERS", (env.root() / "tmux-answers").string()}};
    const std::string popup = shell_quote(env.zelt().string() + "/bin/vesk") + " note popup";
    const std::string escaped = std::regex_replace(dir.string(), std::regex("#"), "##");

    EXPECT_EQ(note({"open"}, dir, recording), 0);
    EXPECT_EQ(recorded_calls(log).back(), (std::vector<std::string>{"split-window", "-h", "-c", escaped, popup}));
    EXPECT_EQ(note({"open", "window"}, dir, recording), 0);
    EXPECT_EQ(recorded_calls(log).back(), (std::vector<std::string>{"new-window", "-c", escaped, popup}));
    fs::remove(log);
    EXPECT_EQ(note({"open", "tab"}, dir, recording), 1);
    EXPECT_TRUE(says("지원하지 않는 note open 모드입니다: tab")) << server.capture(pane);
    for (const auto& call : recorded_calls(log)) EXPECT_TRUE(call[0] == "show-option" || call[0] == "display") << call[0];

    // Without @zelt: 99, nothing said.
    server.tmux_ok({"set-option", "-gu", "@zelt"});
    EXPECT_EQ(note({"open"}, dir), 99);
    EXPECT_EQ(note({"popup"}, dir), 99);
}

TEST_F(NoteOpen, PopupChecksBeforeAnyPicker) {
    const fs::path vimrc = env.zelt() / "lib" / "vimrc";
    const fs::path list = env.zelt() / "lists" / "note-dir.list";
    fs::remove(vimrc);
    fs::remove(list);
    EXPECT_EQ(note({"popup"}, env.root()), 1);
    EXPECT_TRUE(says("vimrc 파일이 없습니다: " + vimrc.string())) << server.capture(pane);
    write_text(vimrc, "\" notes\n");
    EXPECT_EQ(note({"popup"}, env.root()), 1);
    EXPECT_TRUE(says("lists/note-dir.list 파일이 없습니다: " + list.string())) << server.capture(pane);
    write_text(list, "a | b\na | b |\n");
    EXPECT_EQ(note({"popup"}, env.root()), 1);
    EXPECT_TRUE(says("lists/note-dir.list가 비어있습니다.")) << server.capture(pane);

    EXPECT_EQ(note({"popup"}, env.root(), {{"VIM_BIN", "no-such-vim"}}), 1);
    EXPECT_TRUE(says("vim을 찾을 수 없습니다.")) << server.capture(pane);

    // A chosen path that is a file stops there.
    const fs::path file = env.root() / "plain file";
    write_text(file, "x\n");
    write_text(list, "file | f | " + file.string() + "\n");
    start({"popup"}, env.root());
    choose_the_directory();
    EXPECT_EQ(finish(), 1);
    EXPECT_TRUE(says("노트 경로가 디렉터리가 아닙니다: " + file.string())) << server.capture(pane);
}

TEST_F(NoteOpen, ChosenDirectoryIsMadeAndRemembered) {
    write_text(env.zelt() / "lib" / "vimrc", "\" notes\n");
    write_text(env.zelt() / "lists" / "note-dir.list", "새 노트 | n | ~/new/notes/\n");
    // The directory, then esc in the note picker, which closes the pane.
    start({"popup"}, env.root());
    choose_the_directory();
    ASSERT_TRUE(server.wait_for_text(pane, "노트>")) << server.capture(pane);
    server.send_keys(pane, {"Escape"});
    EXPECT_EQ(finish(), -2);
    EXPECT_TRUE(fs::is_directory(env.home() / "new" / "notes"));
    EXPECT_EQ(session_option("@note_dir_keyword"), "n\n");
    EXPECT_EQ(session_option("@note_dir_path"), (env.home() / "new" / "notes").string() + "\n");
    for (const auto& e : fs::directory_iterator(env.tmp()))
        EXPECT_FALSE(e.path().filename().string().starts_with("note-")) << e.path();
}

}  // namespace
}  // namespace vesk::test

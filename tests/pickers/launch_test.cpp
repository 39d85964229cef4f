// The application launcher: the list, the picker lines, and the road from C-M-g to a new window,
// with the keyword remembered per session (also one whose name a target would misread).
#include <gtest/gtest.h>

#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/launch.hpp"
#include "support/picker_session.hpp"
#include "support/screen_run.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

TEST(LaunchList, EntriesLinesAndThePick) {
    EXPECT_EQ(launch_entries("Editor | vi | vim ~/.vimrc\n | htop | htop -d 5 | cat\na | b |\na | | c\njust text\n"
                             "# 설명 | 없음\n"),
              (std::vector<LaunchEntry>{{"Editor", "vi", "vim ~/.vimrc"}, {"htop", "htop", "htop -d 5 | cat"}}));
    EXPECT_EQ(launch_picker_lines({{"ab", "k", "x"}, {"한글", "h", "y"}}),
              (std::vector<std::string>{"ab   | x\tk\tx", "한글 | y\th\ty"}));
    EXPECT_EQ(parse_launch_fzf_line("Editor | vim\t vi \tvim ~/.vimrc\textra"),
              (LaunchEntry{"Editor | vim", "vi", "vim ~/.vimrc"}));
    EXPECT_EQ(parse_launch_fzf_line("a\tb"), std::nullopt);
    EXPECT_EQ(launch_fzf_args(std::nullopt).size(), 8u);
    const auto with = launch_fzf_args("vi");
    EXPECT_EQ(std::vector<std::string>(with.end() - 2, with.end()), (std::vector<std::string>{"--query", "vi"}));
}

class LaunchRoad : public ::testing::Test {
protected:
    LaunchRoad() : s(env) {
        s.load_dist();
        s.add_recorder("rec");
        // bash -lc reads /etc/profile, which sets PATH anew: the recorder by its path.
        write_text(list, "Record | rk | " + sh_quote((s.bin() / "rec").string()) +
                             " one 'two words' \"$(echo 3)\"; until [ -e " + sh_quote(flag.string()) +
                             " ]; do sleep 0.1; done\n한글 | hk | true\n");
        s.shell_pane(env.root());
    }

    std::size_t windows() { return split_lines(s.server().tmux_ok({"list-windows", "-a", "-F", "#{window_id}"})).size(); }
    std::string client_session_id() { return s.server().tmux_ok({"list-clients", "-F", "#{session_id}"}); }
    std::string keyword(const std::string& session) {
        return s.server().tmux({"show-option", "-t", session, "-v", "@launch_app_last_keyword"}).out;
    }

    void launch(const std::string& query) {
        s.press({"C-M-g"});
        ASSERT_TRUE(s.wait_for_text("launch>")) << s.screen();
        s.press({"C-u"});
        s.type(query);
        ASSERT_TRUE(s.wait_for_text("1/2")) << s.screen();
        s.press({"Enter"});
    }

    PrivateEnv env;
    PickerSession s;
    fs::path list = s.root() / "lists" / "launch-app.list";
    fs::path flag = env.root() / "flag";
};

TEST_F(LaunchRoad, RunsInANewWindowAndRemembersPerSession) {
    const std::string first = client_session_id();
    // As a user's tmux has it (the test server keeps dead panes).
    s.server().tmux_ok({"set-option", "-g", "remain-on-exit", "off"});
    const std::size_t before = windows();
    launch("Record");
    const auto seen = s.recorded("rec");
    ASSERT_TRUE(seen) << s.screen();
    EXPECT_EQ(seen->args, (std::vector<std::string>{"one", "two words", "3"}));
    // In a window of its own, which goes when the command ends.
    EXPECT_EQ(windows(), before + 1);
    EXPECT_NE(s.server().tmux_ok({"list-panes", "-a", "-F", "#{pane_start_command}"}).find("bash -lc"), std::string::npos);
    write_text(flag, "");
    EXPECT_TRUE(wait_until([&] { return windows() == before; }));
    EXPECT_EQ(keyword(first), "rk\n");
    s.press({"C-M-g"});
    EXPECT_TRUE(s.wait_for_text("launch> rk")) << s.screen();
    s.press({"Escape"});
    ASSERT_TRUE(s.wait_for_no_text("launch>")) << s.screen();

    // A session named like a target ("=x" would mean "x") keeps its own keyword.
    const std::string other = s.server().tmux_ok(
        {"new-session", "-d", "-P", "-F", "#{session_id}", "-s", tmux_format_escape("=x $(touch PWNED) #S")});
    s.server().tmux_ok({"switch-client", "-t", other});
    ASSERT_TRUE(wait_until([&] { return client_session_id() == other; }));
    launch("한글");
    EXPECT_TRUE(wait_until([&] { return keyword(other) == "hk\n"; }));
    EXPECT_EQ(keyword(first), "rk\n");
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(LaunchRoad, CtrlNEditsTheListInVimAndThePickerReadsItAgain) {
    s.press({"C-M-g"});
    ASSERT_TRUE(s.wait_for_text("2/2")) << s.screen();
    s.press({"C-n"});
    write_text(list, "Fresh | fk | true\n");
    const auto vim = s.vim_view();
    ASSERT_TRUE(vim) << s.screen();
    EXPECT_EQ(vim->file, list.string());
    EXPECT_TRUE(s.wait_for_text("Fresh | true")) << s.screen();
    EXPECT_TRUE(s.wait_for_text("1/1")) << s.screen();
    s.press({"Escape"});
    EXPECT_TRUE(s.wait_for_no_text("launch>")) << s.screen();
}

TEST_F(LaunchRoad, MissingListIsSaidInThePopup) {
    fs::remove(list);
    s.press({"C-M-g"});
    EXPECT_TRUE(s.client().wait_for_screen([&](const std::string& screen) {
        return box_text(screen).find(without_blanks("lists/launch-app.list 파일이 없습니다: " + list.string())) !=
               std::string::npos;
    })) << s.screen();
    EXPECT_TRUE(s.wait_for_text("[아무 키나 누르면 닫힙니다]")) << s.screen();
    s.press({"q"});
    EXPECT_TRUE(s.wait_for_no_text("파일이 없습니다")) << s.screen();
}

}  // namespace
}  // namespace vesk::pickers

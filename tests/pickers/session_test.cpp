// Sessions: the list as the user writes it, the names tmux gives, and the three roads in a real
// tmux (prefix C-c, M-Tab, prefix C-k) with names that are quotes, code or tmux formats.
#include <gtest/gtest.h>

#include "core/quote.hpp"
#include "core/text.hpp"
#include "pickers/session.hpp"
#include "support/picker_session.hpp"
#include "support/screen_run.hpp"

namespace vesk::pickers {
namespace {

using namespace vesk::test;

TEST(SessionList, EntriesLinesAndTheMoveToTheTop) {
    EnvGuard env;
    env.set("HOME", "/home/u");
    const auto entries = parse_session_entries("api2 | ~/work/api/\r\n\n| ~/work/api\nsolo\n  |  \nx | $HOME\n| /\n", "/pane");
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].name, "api2");
    EXPECT_EQ(entries[0].dir, "/home/u/work/api/");
    EXPECT_EQ(entries[1].name, "api");
    EXPECT_EQ(entries[2].dir, "/pane");  // a name alone: the pane's directory
    EXPECT_EQ(entries[3].dir, "/home/u");
    EXPECT_EQ(entries[4].name, "");  // "/" has no last component to name it
    EXPECT_EQ(parse_session_entries("solo\n", "").size(), 1u);
    EXPECT_TRUE(parse_session_entries("|\n", "").empty());

    // Padded by characters: 한글 is two characters, not four columns.
    EXPECT_EQ(format_session_entries({{"한글", "/a", ""}, {"abcd", "/b", ""}}),
              (std::vector<std::string>{"한글   | /a\t한글\t/a", "abcd | /b\tabcd\t/b"}));

    EXPECT_EQ(move_session_to_top("a | /a\n\nb|/b\nb | /c\n", "b"), "b|/b\na | /a\n\nb | /c\n");
    EXPECT_EQ(move_session_to_top("b | /b", "b"), "b | /b\n");
    EXPECT_EQ(move_session_to_top("a | /a\n", "b"), std::nullopt);

    EXPECT_EQ(tmux_session_name("my.app:x"), "my_app_x");
    EXPECT_EQ(tmux_session_name("a\\b\tc\x1b\xff 한글 #{x} $y"), "a\\\\b\\tc\\033\\377 한글 #{x} $y");

    EXPECT_EQ(session_tree_lines("beta\t$1\nAlpha\t$2\nnoid\t\nno tab\ngamma\t$3\n"),
              (std::vector<std::string>{"Alpha\t$2", "beta\t$1", "gamma\t$3"}));
}

class SessionRoad : public ::testing::Test {
protected:
    SessionRoad() : s(env) {
        s.load_dist({"confs/conf.common", "confs/conf.session", "confs/conf.linux"});
        shell = s.shell_pane(env.root());
    }

    std::string client_session() { return client_format("#{client_session}"); }
    std::string client_format(const std::string& format) { return s.server().tmux_ok({"list-clients", "-F", format}); }
    std::string sessions() { return s.server().tmux_ok({"list-sessions", "-F", "#{session_name}"}); }
    std::size_t session_count() { return split_lines(sessions()).size(); }

    // prefix C-c, then Enter on the first entry once fzf shows it (the last popup gone first: the
    // key would reach it, and its screen pass for the new one).
    void create_first(const std::string& shown) {
        ASSERT_TRUE(s.wait_for_popup_gone("session>")) << s.screen();
        s.press_prefixed("C-c");
        ASSERT_TRUE(s.wait_for_text("session>")) << s.screen();
        ASSERT_TRUE(s.wait_for_text(shown)) << s.screen();
        s.press({"Enter"});
    }

    PrivateEnv env;
    PickerSession s;
    std::string shell;
    fs::path list = s.root() / "lists" / "session-name.list";
};

TEST_F(SessionRoad, CreatesAndSwitchesForEveryName) {
    for (const std::string& name : kHostileNames) {
        if (name.find('\n') != std::string::npos) continue;  // a list line cannot hold one
        SCOPED_TRACE(name);
        const fs::path dir = env.root() / "dirs" / name;
        write_text(list, name + " | " + dir.string() + "\nother | /tmp\n");
        create_first("other");
        ASSERT_TRUE(wait_until([&] { return client_session() == tmux_session_name(name); })) << s.screen();
        EXPECT_TRUE(fs::is_directory(dir));
        EXPECT_EQ(client_format("#{session_path}"), dir.string());
    }
    // Chosen again from another session: found under the name tmux gave it ("한글 이름_md"), not
    // created twice; the entry stays at the top once.
    const std::size_t count = session_count();
    s.server().tmux_ok({"switch-client", "-t", s.server().session()});
    write_text(list, "other | /tmp\n한글 이름.md | /tmp\n");
    s.press_prefixed("C-c");
    ASSERT_TRUE(s.wait_for_text("session>")) << s.screen();
    s.type("md");
    ASSERT_TRUE(s.wait_for_text("1/2")) << s.screen();
    s.press({"Enter"});
    ASSERT_TRUE(wait_until([&] { return client_session() == "한글 이름_md"; })) << s.screen();
    EXPECT_EQ(session_count(), count);
    EXPECT_EQ(read_text(list), "한글 이름.md | /tmp\nother | /tmp\n");
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(SessionRoad, ExactNamesAndMessagesFromThePopup) {
    // "work2" exists: asking for "work" makes "work", not a switch to "work2".
    s.server().tmux_ok({"new-session", "-d", "-s", "work2"});
    write_text(list, "work | " + env.root().string() + "\n");
    create_first("work");
    ASSERT_TRUE(wait_until([&] { return client_session() == "work"; })) << s.screen();

    // A file where the directory should be: said inside the popup, nothing created.
    write_text(env.root() / "plain", "");
    write_text(list, "nodir | " + (env.root() / "plain").string() + "\n");
    create_first("nodir");
    EXPECT_TRUE(s.wait_for_text("디렉토리가 아닙니다: " + (env.root() / "plain").string())) << s.screen();
    s.press({"q"});
    EXPECT_TRUE(s.wait_for_no_text("디렉토리가 아닙니다")) << s.screen();
    EXPECT_EQ(sessions().find("nodir"), std::string::npos);
}

TEST_F(SessionRoad, TreeSwitchesByIdAndOpensTheCreator) {
    for (const char* name : {"beta", "Alpha", "#(touch PWNED)"})
        s.server().tmux_ok({"new-session", "-d", "-s", tmux_format_escape(name)});
    s.press({"M-Tab"});
    ASSERT_TRUE(s.wait_for_text("session tree>")) << s.screen();
    // Case-insensitive order: Alpha above beta (fzf lists upwards from the prompt).
    const std::string screen = s.screen();
    EXPECT_LT(screen.find("beta"), screen.find("Alpha")) << screen;
    // Tab goes down the screen and wraps: from the first line, at the bottom, to the last, beta.
    const std::string count = std::to_string(session_count());
    ASSERT_TRUE(s.wait_for_text(count + "/" + count)) << s.screen();
    s.press({"Tab"});
    s.press({"Enter"});
    ASSERT_TRUE(wait_until([&] { return client_session() == "beta"; })) << client_session() << "\n" << s.screen();
    // The popup closes after the switch: the next key would reach it, its screen pass for the next.
    ASSERT_TRUE(s.wait_for_popup_gone("session tree>")) << s.screen();

    s.press({"M-Tab"});
    ASSERT_TRUE(s.wait_for_text("session tree>")) << s.screen();
    s.type("touch");
    ASSERT_TRUE(s.wait_for_text("1/")) << s.screen();
    s.press({"Enter"});
    ASSERT_TRUE(wait_until([&] { return client_session() == "#(touch PWNED)"; })) << s.screen();
    ASSERT_TRUE(s.wait_for_popup_gone("session tree>")) << s.screen();

    write_text(list, "fromtree | /tmp\n");
    s.press({"M-Tab"});
    ASSERT_TRUE(s.wait_for_text("session tree>")) << s.screen();
    s.press({"C-n"});
    EXPECT_TRUE(s.wait_for_text("[ Session Create ]")) << s.screen();
    EXPECT_TRUE(s.wait_for_text("fromtree")) << s.screen();
    s.press({"Escape"});
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(SessionRoad, KillAsksMovesOnAndEndsTheLast) {
    // A root whose path is a format: the confirmed call passes two expansions.
    const fs::path root = env.root() / "z#{pane_id} #(touch PWNED)";
    fs::create_directories(root / "bin");
    fs::create_symlink(s.vesk(), root / "bin" / "vesk");
    s.server().tmux_ok({"set-option", "-g", "@zelt", root.string()});
    const std::string doomed = s.server().tmux_ok(
        {"new-session", "-d", "-P", "-F", "#{session_id}", "-s", tmux_format_escape("$(touch PWNED) #S")});
    s.server().tmux_ok({"switch-client", "-t", doomed});
    ASSERT_TRUE(wait_until([&] { return client_session() == "$(touch PWNED) #S"; }));
    // "n" is a cancel: the session stays, and nothing reports a failure or leaves view mode.
    s.press_prefixed("C-k");
    ASSERT_TRUE(s.wait_for_text("세션 \"$(touch PWNED) #S\"을 끝냅니까? (y/n)")) << s.screen();
    s.type("n");
    EXPECT_FALSE(s.wait_for_text("returned", std::chrono::milliseconds(1500))) << s.screen();
    EXPECT_EQ(s.server().tmux_ok({"display", "-p", "-t", doomed, "#{pane_in_mode}"}), "0");
    EXPECT_EQ(client_session(), "$(touch PWNED) #S");
    s.press_prefixed("C-k");
    ASSERT_TRUE(s.wait_for_text("세션 \"$(touch PWNED) #S\"을 끝냅니까? (y/n)")) << s.screen();
    s.type("y");
    EXPECT_TRUE(s.wait_for_text("세션 \"$(touch PWNED) #S\" 종료, 이전 세션으로 이동했습니다.")) << s.screen();
    EXPECT_EQ(sessions(), s.server().session());
    EXPECT_EQ(client_session(), s.server().session());

    s.press_prefixed("C-k");
    ASSERT_TRUE(s.wait_for_text("은 마지막입니다. 끝내면 tmux가 내려갑니다. 정말 끝냅니까? (y/n)")) << s.screen();
    s.type("y");
    EXPECT_TRUE(wait_until([&] { return s.server().tmux({"list-sessions"}).status != 0; }));
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vesk::pickers

// The message popups and the small commands, run as the built program against private servers;
// the popups open on a real attached client through display-popup.
#include <gtest/gtest.h>

#include <thread>

#include "support/picker_session.hpp"
#include "support/private_env.hpp"
#include "support/screen_run.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

using Words = std::vector<std::string>;

// The program as the popups call it back: <@zelt>/bin/vesk.
void install_program(const PrivateEnv& env, TmuxServer& server) {
    fs::create_directories(env.zelt() / "bin");
    fs::create_symlink(vesk_binary(), env.zelt() / "bin" / "vesk");
    server.tmux_ok({"set-option", "-g", "@zelt", env.zelt().string()});
}

bool has_message_file(const PrivateEnv& env) {
    for (const auto& entry : fs::directory_iterator(env.tmp()))
        if (entry.path().filename().string().starts_with("vesk-popup-")) return true;
    return false;
}

TEST(MessagePopup, ShowsOnTheClientClosesAfterDisplayPanesTimeOrWaitsForAKey) {
    PrivateEnv env;
    TmuxServer server(120, 40, env.tmp(), env.home());
    AttachedClient client(server);
    install_program(env, server);
    server.tmux_ok({"set-option", "-g", "display-panes-time", "1500"});

    // Any mode but "modal" is a plain popup; the words arrive one clause a line, nothing in them runs.
    std::string pane = server.run_in_current_window(
        {vesk_binary(), "popup", "message", "other", "Done.", "Saved,", "reloaded", "한글 $(touch x) '#{pane_id}'"},
        inside_tmux(env.env()));
    auto screen = client.wait_for_screen([](const std::string& s) { return s.find("reloaded") != std::string::npos; });
    ASSERT_TRUE(screen) << client.capture();
    for (const char* part : {"[ @ Message ]", " Done.", " Saved,", "한글 $(touch x) '#{pane_id}'"})
        EXPECT_NE(screen->find(part), std::string::npos) << part << "\n" << *screen;
    EXPECT_TRUE(client.wait_for_no_text("reloaded", std::chrono::milliseconds(5000)));
    EXPECT_EQ(server.wait_for_exit(pane), 0) << server.capture(pane);
    EXPECT_FALSE(has_message_file(env));
    EXPECT_FALSE(fs::exists(env.home() / "x"));

    server.tmux_ok({"set-option", "-g", "display-panes-time", "100"});
    pane = server.run_in_current_window({vesk_binary(), "popup", "message", "modal", "확인하세요"},
                                        inside_tmux(env.env()));
    ASSERT_TRUE(client.wait_for_text("확인하세요")) << client.capture();
    EXPECT_NE(client.capture().find("[ ! Message ]"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_NE(client.capture().find("확인하세요"), std::string::npos) << "closed without a key";
    client.send_keys({"x"});
    EXPECT_TRUE(client.wait_for_no_text("확인하세요"));
    EXPECT_EQ(server.wait_for_exit(pane), 0);
    EXPECT_FALSE(has_message_file(env));
}

TEST(MessagePopup, OutsideTmuxFailuresAndThePopupsInside) {
    PrivateEnv env;
    // Commands that need a client refuse to run outside tmux; an empty TMUX is outside too.
    for (const auto& [args, message] : std::vector<std::pair<Words, std::string>>{
             {{"popup", "message", "popup", "hello"}, "tmux 세션 안에서만 실행 가능합니다.\n"},
             {{"config", "plugins-popup"}, "tmux 세션 안에서만 실행 가능합니다.\n"},
             {{"pane", "zoom-toggle"}, "tmux 세션에서만 사용할 수 있습니다.\n"}}) {
        for (const char* tmux : {"unset", ""}) {
            env.vars["TMUX"] = *tmux ? std::nullopt : std::optional<std::string>("");
            const RunResult r = env.run(args);
            EXPECT_EQ(r.status, 1) << args[0];
            EXPECT_EQ(r.err, message) << args[0];
            EXPECT_EQ(r.out, "") << args[0];
        }
    }
    env.vars.erase("TMUX");
    TmuxServer server(120, 40, env.tmp(), env.home());
    // Without @zelt there is no program to show the popup: quiet 99.
    std::string pane = server.run_in_pane({vesk_binary(), "popup", "message", "popup", "hi"}, inside_tmux(env.env()));
    EXPECT_EQ(server.wait_for_exit(pane), 99);
    EXPECT_EQ(server.capture(pane).find_first_not_of(" \n"), std::string::npos);
    install_program(env, server);
    pane = server.run_in_pane({vesk_binary(), "popup", "message", "popup", ""}, inside_tmux(env.env()));
    EXPECT_EQ(server.wait_for_exit(pane), 1);
    EXPECT_NE(server.capture(pane).find("Error: 표시할 메시지를 전달하세요."), std::string::npos);
    EXPECT_FALSE(has_message_file(env));

    // The popup's inside: prints the file and removes it, then waits display-panes-time.
    server.tmux_ok({"set-option", "-g", "display-panes-time", "1"});
    fs::path file = env.tmp() / "msg.txt";
    write_text(file, "a\nb");
    pane = server.run_in_pane({vesk_binary(), "popup", "message-render", "popup", file.string()}, inside_tmux(env.env()));
    EXPECT_EQ(server.wait_for_exit(pane), 0) << server.capture(pane);
    EXPECT_EQ(server.capture(pane).substr(0, 4), "a\nb\n");
    EXPECT_FALSE(fs::exists(file));

    // Modal: any key ends the wait, whatever display-panes-time says.
    pane = server.run_in_pane({vesk_binary(), "popup", "message-render", "modal", "/nonexistent"}, inside_tmux(env.env()));
    EXPECT_TRUE(server.wait_for_text(pane, "메시지가 없습니다."));
    ASSERT_TRUE(server.wait_for_raw_mode(pane));
    server.send_keys(pane, {"Down", "F5"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(server.exit_status(pane), std::nullopt);
    server.send_keys(pane, {"Enter"});
    EXPECT_EQ(server.wait_for_exit(pane), 0);
}

TEST(CopyCutSelection, SendsOneBackspacePerCharacter) {
    PrivateEnv env;
    TmuxServer server(120, 40, env.tmp(), env.home());
    fs::path log = env.tmp() / "calls.log";
    env.vars["TMUX_BIN"] = recording_tmux_path().string();
    env.vars["RECORD_TMUX_LOG"] = log.string();
    env.vars["RECORD_TMUX_SOCKET"] = server.socket_name();

    std::string pane = server.run_in_pane({"sh", "-c", "read line; printf '[%s]\\n' \"$line\"; sleep 100"});
    server.send_text(pane, "abcdefgh");
    ASSERT_TRUE(server.wait_for_text(pane, "abcdefgh"));

    // No paste buffer: nothing to cut.
    RunResult r = env.run({"copy", "cut-selection", pane});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(recorded_calls(log), (std::vector<Words>{{"save-buffer", "-"}}));

    server.tmux_ok({"set-buffer", "héllo"});
    r = env.run({"copy", "cut-selection", pane});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(recorded_calls(log).back(), (Words{"send-keys", "-t", pane, "-N", "5", "BSpace"}));
    server.send_keys(pane, {"Enter"});
    EXPECT_TRUE(server.wait_for_text(pane, "[abc]")) << server.capture(pane);

    // Without a target the current pane is asked for; an empty answer is an error.
    write_text(env.tmp() / "answers" / "display-message", "");
    env.vars["RECORD_TMUX_ANSWERS"] = (env.tmp() / "answers").string();
    r = env.run({"copy", "cut-selection"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: target pane is missing\n");
    EXPECT_EQ(recorded_calls(log).back(), (Words{"display-message", "-p", "#{pane_id}"}));
}

// tmux 3.3a opens no popup over a popup: a message asked for from inside one is printed there
// instead of being lost while the tool goes on, and waits there as its popup would: for a key
// (modal), or for display-panes-time.
TEST(MessagePopup, InsideAPopupShowsInPlaceAsItsPopupWould) {
    PrivateEnv env;
    PickerSession s(env);
    for (const char* mode : {"modal", "popup"}) {
        SCOPED_TRACE(mode);
        const fs::path done = env.root() / (std::string(mode) + "-done");
        const std::string command = sh_quote(s.vesk().string()) + " popup message " + mode +
                                    " '한글 #{pane_id} $(touch PWNED). 다음, 끝'; echo $? > " + sh_quote(done.string());
        // run-shell expands its command as a format: the # of the message go doubled.
        std::string doubled;
        for (char c : "tmux display-popup -E -w 60 -h 12 " + sh_quote(command)) doubled += c == '#' ? "##" : std::string(1, c);
        s.run_shell_b(doubled);
        ASSERT_TRUE(s.wait_for_text("한글 #{pane_id} $(touch PWNED).")) << s.screen();
        EXPECT_TRUE(s.wait_for_text(std::string(mode) == "modal" ? "[ ! Message ]" : "[ @ Message ]")) << s.screen();
        EXPECT_TRUE(s.wait_for_text("다음,")) << s.screen();
        if (std::string(mode) == "modal") {
            // Longer than display-panes-time (1000 ms here): still there.
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            EXPECT_FALSE(fs::exists(done));
            s.press({"Enter"});
        }
        EXPECT_TRUE(wait_until([&] { return fs::exists(done) && read_text(done) == "0\n"; }));
        EXPECT_TRUE(s.wait_for_no_text("다음,")) << s.screen();
    }
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST(PaneZoomToggle, TogglesTheRealZoom) {
    PrivateEnv env;
    TmuxServer server(120, 40, env.tmp(), env.home());
    std::string pane = server.run_in_pane(
        {"sh", "-c", "read a; \"$0\" pane zoom-toggle; echo \"first $?\"; read b; \"$0\" pane zoom-toggle; echo \"second $?\"",
         vesk_binary()},
        inside_tmux(env.env()));
    server.split(pane);
    EXPECT_EQ(server.format(pane, "#{window_zoomed_flag}"), "0");
    server.send_keys(pane, {"Enter"});
    ASSERT_TRUE(server.wait_for_text(pane, "first 0")) << server.capture(pane);
    EXPECT_EQ(server.format(pane, "#{window_zoomed_flag}"), "1");
    server.send_keys(pane, {"Enter"});
    ASSERT_TRUE(server.wait_for_text(pane, "second 0")) << server.capture(pane);
    EXPECT_EQ(server.format(pane, "#{window_zoomed_flag}"), "0");
}

}  // namespace
}  // namespace vesk::test

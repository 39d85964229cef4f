// The shared tmux fixtures themselves: if these fail, every tmux test after them means nothing.
#include <gtest/gtest.h>

#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

TEST(TmuxServerFixture, RunsCommandsInPanesAndReportsTheirEnd) {
    TmuxServer server;
    EXPECT_EQ(server.format(server.first_pane(), "#{window_width}x#{window_height}"), "120x40");
    std::string pane = server.run_in_pane({"sh", "-c", "printf '%s|%s\\n' \"$A\" \"${GONE-unset}\"; read x; exit 7"},
                                          {{"A", "한글 a'b"}, {"GONE", std::nullopt}});
    EXPECT_TRUE(server.wait_for_text(pane, "한글 a'b|unset"));
    EXPECT_EQ(server.exit_status(pane), std::nullopt);
    server.send_keys(pane, {"Enter"});
    EXPECT_EQ(server.wait_for_exit(pane), 7);
    server.tmux_ok({"set-option", "-p", "-t", pane, "@log", "/tmp/a b.log"});
    EXPECT_EQ(server.pane_option(pane, "@log"), "/tmp/a b.log");
    std::string split = server.split(pane);
    EXPECT_TRUE(server.pane_exists(split));
    server.kill();
    EXPECT_NE(server.tmux({"list-sessions"}).status, 0);
}

TEST(TmuxServerFixture, AttachedClientShowsTheInnerServer) {
    TmuxServer inner;
    AttachedClient client(inner);
    inner.send_text(inner.first_pane(), "echo seen-through-client");
    inner.send_keys(inner.first_pane(), {"Enter"});
    EXPECT_TRUE(client.wait_for_text("seen-through-client")) << client.capture();
}

TEST(TmuxServerFixture, RecordingTmuxLogsAndAnswers) {
    PrivateEnv env;
    fs::path log = env.tmp() / "calls.log";
    env.vars["RECORD_TMUX_LOG"] = log.string();
    fs::create_directories(env.tmp() / "answers");
    write_text(env.tmp() / "answers" / "display-message", "%5\n");
    env.vars["RECORD_TMUX_ANSWERS"] = (env.tmp() / "answers").string();
    RunResult r = env.run_program(recording_tmux_path().string(), {"display-message", "-p", "#{pane_id} x"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "%5\n");
    env.vars["RECORD_TMUX_STATUS"] = "3";
    EXPECT_EQ(env.run_program(recording_tmux_path().string(), {"kill-pane", "-t", "%1"}).status, 3);

    TmuxServer server(120, 40, env.tmp());
    env.vars.erase("RECORD_TMUX_ANSWERS");
    env.vars["RECORD_TMUX_SOCKET"] = server.socket_name();
    r = env.run_program(recording_tmux_path().string(), {"display-message", "-p", "#{session_name}"});
    EXPECT_EQ(r.out, server.session() + "\n");

    auto calls = recorded_calls(log);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], (std::vector<std::string>{"display-message", "-p", "#{pane_id} x"}));
    EXPECT_EQ(calls[1], (std::vector<std::string>{"kill-pane", "-t", "%1"}));
}

}  // namespace
}  // namespace vesk::test

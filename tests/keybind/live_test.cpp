#include "keybind/live.hpp"

#include <algorithm>

#include <gtest/gtest.h>

#include "core/env_guard.hpp"
#include "core/error.hpp"
#include "keybind/postlude.hpp"
#include "keybind/bindings.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk::keybind {
namespace {

namespace fs = std::filesystem;
using test::recorded_calls;
using test::TmuxServer;
using Calls = std::vector<std::vector<std::string>>;

// The polls and the sleeps of the wait, with a clock whose poll answers from `answers` (the last
// answer repeats).
std::pair<std::size_t, std::size_t> waited(std::vector<bool> answers) {
    std::size_t polls = 0, sleeps = 0;
    postlude::Clock clock{[&] { return answers[std::min(polls++, answers.size() - 1)]; },
                          [&](std::chrono::milliseconds d) {
                              EXPECT_EQ(d, std::chrono::milliseconds(50));
                              ++sleeps;
                          }};
    const std::size_t reported = postlude::wait_for_plugins(clock);
    EXPECT_EQ(reported, polls);
    return {polls, sleeps};
}

TEST(KeybindLive, PluginWaitPhases) {
    using Counts = std::pair<std::size_t, std::size_t>;
    // Never "true": 81 polls, 80 sleeps (about 4 s).
    EXPECT_EQ(waited({false}), Counts(81, 80));
    // "true" at once, then something else: applied right after the first poll that is not "true".
    EXPECT_EQ(waited({true, true, true, false}).first, 4u);
    // "true" for ever: the first poll, then 601 more (about 30 s).
    EXPECT_EQ(waited({true}), Counts(602, 601));
    // The loading seen late: phase 2 counts from 0 again.
    std::vector<bool> late(60, false);
    late.push_back(true);
    late.push_back(false);
    EXPECT_EQ(waited(late).first, 62u);
    std::vector<bool> last_chance(80, false);
    last_chance.push_back(true);
    EXPECT_EQ(waited(last_chance).first, 81u + 601u);
}

TEST(KeybindLive, ApplyAllOnARealServer) {
    TmuxServer server;
    test::EnvGuard env;
    env.set("TMUX", server.tmux_env_value());
    env.unset("TMUX_BIN");
    server.tmux_ok({"bind-key", "F7", "display-message old"});

    // A key tmux reads specially is quoted, or its line would be a comment.
    live::apply_all({{"root", std::nullopt, std::make_pair("M-F12", "display-message new")},
                     {"prefix", "F7", std::nullopt},
                     {"prefix", std::nullopt, std::nullopt},
                     {"copy-mode-vi", std::nullopt, std::make_pair("#", "send -X cancel")}});
    EXPECT_NE(server.tmux_ok({"list-keys", "-T", "root", "M-F12"}).find("display-message new"), std::string::npos);
    EXPECT_NE(server.tmux({"list-keys", "-T", "prefix", "F7"}).status, 0);  // gone
    EXPECT_NE(server.tmux_ok({"list-keys", "-T", "copy-mode-vi", "#"}).find("cancel"), std::string::npos);

    // A rejected script reports tmux's status; the lines before the bad one stay bound.
    try {
        live::apply_all({{"prefix", std::nullopt, std::make_pair("F5", "display-message five")},
                         {"prefix", std::nullopt, std::make_pair("F8", "no-such-command")}});
        ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "tmux가 단축키를 받아들이지 않았습니다: exit status: 1");
        EXPECT_NE(error_chain(e).back().find("no-such-command"), std::string::npos);
    }
    EXPECT_EQ(server.tmux({"list-keys", "-T", "prefix", "F5"}).status, 0);

    // The real clock polls the server's option.
    postlude::Clock clock = postlude::system_clock();
    EXPECT_FALSE(clock.plugins_applying());
    server.tmux_ok({"set", "-s", "@__apply_plugins", "true"});
    EXPECT_TRUE(clock.plugins_applying());
    server.tmux_ok({"set", "-s", "@__apply_plugins", "done"});
    EXPECT_FALSE(clock.plugins_applying());
    // A tmux that cannot be started answers no to the poll; applying then reports the failure.
    env.set("TMUX_BIN", "/nonexistent/tmux");
    EXPECT_FALSE(postlude::system_clock().plugins_applying());
    EXPECT_ANY_THROW(live::apply_all({{"prefix", std::nullopt, std::make_pair("F6", "kill-pane")}}));
}

// A key given back gets what tmux itself binds there, whatever the running server has done to it.
TEST(KeybindLive, TmuxDefaultsGivenBack) {
    TmuxServer server;
    test::EnvGuard env;
    env.set("TMUX", server.tmux_env_value());
    env.set("TMUX_TMPDIR", server.tmpdir().string());
    env.unset("TMUX_BIN");
    server.tmux_ok({"bind-key", "o", "display-message taken"});

    const std::optional<std::string> o = live::tmux_default_binding("prefix", "o");
    EXPECT_EQ(o, "bind-key -T prefix o select-pane -t :.+");
    EXPECT_EQ(live::tmux_default_binding("prefix", ";"), "bind-key -T prefix \\; last-pane");
    EXPECT_NE(live::tmux_default_binding("copy-mode-vi", "v").value_or("").find("rectangle-toggle"), std::string::npos);
    EXPECT_EQ(live::tmux_default_binding("prefix", "F9"), std::nullopt);
    EXPECT_EQ(live::tmux_default_binding("no-such-table", "o"), std::nullopt);
    // The servers asked leave no socket behind.
    for (const auto& file : fs::recursive_directory_iterator(server.tmpdir()))
        EXPECT_FALSE(file.path().filename().string().starts_with("vesk-defaults")) << file.path();

    // The restore line follows the unbind and comes before the bind.
    const live::Change change{"prefix", "o", std::make_pair("F7", "display-message seven"), o};
    EXPECT_EQ(live::script(change), "unbind o\n" + *o + "\nbind-key F7 display-message seven\n");
    live::apply_all({change});
    EXPECT_NE(server.tmux_ok({"list-keys", "-T", "prefix", "o"}).find("select-pane -t :.+"), std::string::npos);

    env.unset("TMUX");
    EXPECT_EQ(live::tmux_default_binding("prefix", "o"), std::nullopt);
}

// `vesk config apply-keybindings` as the generated configuration runs it.
TEST(KeybindLive, ApplyKeybindingsCommand) {
    test::PrivateEnv env;
    TmuxServer server(120, 40, env.tmp(), env.home());
    const auto log = env.root() / "calls";
    env.vars["TMUX_BIN"] = test::recording_tmux_path().string();
    env.vars["RECORD_TMUX_LOG"] = log.string();
    env.vars["RECORD_TMUX_SOCKET"] = server.socket_name();

    // Outside tmux, and inside with no changed binding: no tmux command at all, not even the poll.
    auto outside = env.run({"config", "apply-keybindings"});
    EXPECT_EQ(outside.status, 0) << outside.err;
    env.vars["TMUX"] = server.tmux_env_value();
    auto unchanged = env.run({"config", "apply-keybindings"});
    EXPECT_EQ(unchanged.status, 0) << unchanged.err;
    EXPECT_EQ(recorded_calls(log), Calls{});

    // A rebound and a removed binding: only the rebound one is bound again, after the wait gave
    // up on @__apply_plugins (never set here): 81 polls.
    auto shipped = load_bindings(Defaults{env.zelt(), true}, RebuildProfile::Linux);
    auto rebound = std::find_if(shipped.begin(), shipped.end(), [](const auto& b) { return b.table == "prefix"; });
    ASSERT_NE(rebound, shipped.end());
    test::write_text(env.config_home() / "vesk" / "keybindings.conf",
                     "bind-key F9 " + rebound->command + "\nunbind -n " + shipped.back().key + "\n");
    auto applied = env.run({"config", "apply-keybindings"});
    EXPECT_EQ(applied.status, 0) << applied.err;
    Calls calls = recorded_calls(log);
    ASSERT_EQ(calls.size(), 82u);
    for (std::size_t i = 0; i < 81; ++i) EXPECT_EQ(calls[i], (std::vector<std::string>{"show", "-sqv", "@__apply_plugins"}));
    EXPECT_EQ(calls[81][0], "source-file");
    EXPECT_EQ(fs::path(calls[81][1]).parent_path(), env.tmp());
    EXPECT_FALSE(fs::exists(calls[81][1]));  // the script is removed afterwards
    EXPECT_EQ(server.tmux({"list-keys", "-T", "prefix", "F9"}).status, 0);
}

}  // namespace
}  // namespace vesk::keybind

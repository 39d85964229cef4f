#include "keybind/live.hpp"

#include <algorithm>

#include <gtest/gtest.h>

#include "core/env_guard.hpp"
#include "core/error.hpp"
#include "keybind/postlude.hpp"
#include "rebuild/bindings.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk::keybind {
namespace {

using live::Change;
using test::recorded_calls;
using test::TmuxServer;
using Calls = std::vector<std::vector<std::string>>;

TEST(KeybindLive, ScriptPerTable) {
    EXPECT_EQ(live::script({"prefix", std::nullopt, std::make_pair("C-j", "new-window")}), "bind-key C-j new-window\n");
    EXPECT_EQ(live::script({"root", std::nullopt, std::make_pair("M-j", "new-window")}), "bind-key -n M-j new-window\n");
    EXPECT_EQ(live::script({"copy-mode-vi", "x", std::make_pair("y", "send -X cancel")}),
              "unbind -T copy-mode-vi x\nbind-key -T copy-mode-vi y send -X cancel\n");
    EXPECT_EQ(live::script({"prefix", "C-k", std::nullopt}), "unbind C-k\n");
    EXPECT_EQ(live::script({"prefix", std::nullopt, std::nullopt}), "");
    // A key tmux reads specially is quoted, or the line would be a comment.
    EXPECT_EQ(live::script({"prefix", "#", std::make_pair(";", "kill-pane")}), "unbind '#'\nbind-key ';' kill-pane\n");
}

// A clock whose poll answers from a list (the last answer repeats) and whose sleeps are counted.
struct FakeClock {
    std::vector<bool> answers;
    std::size_t polls = 0;
    std::size_t sleeps = 0;
    postlude::Clock clock() {
        return {[this] { return answers[std::min(polls++, answers.size() - 1)]; },
                [this](std::chrono::milliseconds d) {
                    EXPECT_EQ(d, std::chrono::milliseconds(50));
                    ++sleeps;
                }};
    }
};

std::size_t waited(std::vector<bool> answers, std::size_t* sleeps = nullptr) {
    FakeClock fake{std::move(answers)};
    std::size_t polls = postlude::wait_for_plugins(fake.clock());
    EXPECT_EQ(polls, fake.polls);
    if (sleeps) *sleeps = fake.sleeps;
    return polls;
}

TEST(KeybindLive, PluginWaitPhases) {
    // Never "true": 81 polls, 80 sleeps (about 4 s).
    std::size_t sleeps = 0;
    EXPECT_EQ(waited({false}, &sleeps), 81u);
    EXPECT_EQ(sleeps, 80u);
    // "true" at once, then something else: applied right after the first poll that is not "true".
    EXPECT_EQ(waited({true, true, true, false}), 4u);
    // "true" for ever: the first poll, then 601 more (about 30 s).
    EXPECT_EQ(waited({true}, &sleeps), 602u);
    EXPECT_EQ(sleeps, 601u);
    // The loading seen late: phase 2 counts from 0 again.
    std::vector<bool> late(60, false);
    late.push_back(true);
    late.push_back(false);
    EXPECT_EQ(waited(late), 62u);
    std::vector<bool> last_chance(80, false);
    last_chance.push_back(true);
    EXPECT_EQ(waited(last_chance), 81u + 601u);
}

TEST(KeybindLive, ApplyAllOnARealServer) {
    TmuxServer server;
    test::EnvGuard env;
    env.set("TMUX", server.tmux_env_value());
    env.unset("TMUX_BIN");
    server.tmux_ok({"bind-key", "F7", "display-message old"});

    live::apply_all({{"root", std::nullopt, std::make_pair("M-F12", "display-message new")},
                     {"prefix", "F7", std::nullopt},
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
        auto chain = error_chain(e);
        ASSERT_EQ(chain.size(), 2u);
        EXPECT_NE(chain[1].find("no-such-command"), std::string::npos) << chain[1];
    }
    EXPECT_EQ(server.tmux({"list-keys", "-T", "prefix", "F5"}).status, 0);
}

TEST(KeybindLive, ApplyAllRunsTmuxBinOnceOrNotAtAll) {
    TmuxServer server;
    test::TempDir dir;
    const auto log = dir / "calls";
    test::EnvGuard env;
    env.set("TMUX_BIN", test::recording_tmux_path().string());
    env.set("RECORD_TMUX_LOG", log.string());
    env.set("RECORD_TMUX_SOCKET", server.socket_name());
    env.set("TMUX_TMPDIR", server.tmpdir().string());
    env.set("TMPDIR", dir.path().string());
    const std::vector<Change> changes = {{"prefix", std::nullopt, std::make_pair("F6", "display-message six")}};

    // Outside tmux, or with nothing to do: tmux is not run.
    env.unset("TMUX");
    live::apply_all(changes);
    env.set("TMUX", "");
    live::apply_all(changes);
    env.set("TMUX", server.tmux_env_value());
    live::apply_all({});
    live::apply_all({{"prefix", std::nullopt, std::nullopt}});
    EXPECT_EQ(recorded_calls(log), Calls{});

    live::apply_all(changes);
    Calls calls = recorded_calls(log);
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_EQ(calls[0].size(), 2u);
    EXPECT_EQ(calls[0][0], "source-file");
    EXPECT_EQ(std::filesystem::path(calls[0][1]).parent_path(), dir.path());
    EXPECT_FALSE(std::filesystem::exists(calls[0][1]));  // removed afterwards
    EXPECT_EQ(server.tmux({"list-keys", "-T", "prefix", "F6"}).status, 0);
}

TEST(KeybindLive, SystemClockReadsTheServerOption) {
    TmuxServer server;
    test::EnvGuard env;
    env.set("TMUX", server.tmux_env_value());
    env.unset("TMUX_BIN");
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

// `vesk config apply-keybindings` as the generated configuration runs it.
TEST(KeybindLive, ApplyKeybindingsCommand) {
    test::PrivateEnv env;
    TmuxServer server(120, 40, env.tmp());
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
    auto shipped = rebuild::load_bindings(Defaults{env.zelt(), true}, RebuildProfile::Linux);
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
    EXPECT_EQ(server.tmux({"list-keys", "-T", "prefix", "F9"}).status, 0);
}

}  // namespace
}  // namespace vesk::keybind

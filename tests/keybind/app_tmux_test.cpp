// The key-binding screen run for real in a private tmux server: keys typed with send-keys, the
// screen read with capture-pane, keybindings.conf and the server's bindings checked after each
// change.
#include <array>

#include <gtest/gtest.h>

#include "support/private_env.hpp"
#include "support/screen_run.hpp"
#include "support/tmux_server.hpp"

namespace vesk::keybind {
namespace {

using namespace test;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The screen in a pane of a private server, started and ready for keys.
struct ScreenRun {
    PrivateEnv env;
    TmuxServer server{120, 40, env.tmp(), env.home()};
    std::string pane = start_screen(server, env.root(), {"config", "keybindings"}, inside_tmux(env.env()));

    ScreenRun() {
        EXPECT_TRUE(server.wait_for_text(pane, " Keybindings ")) << server.capture(pane);
        EXPECT_TRUE(server.wait_for_raw_mode(pane));
    }
    std::string saved() const {
        const fs::path conf = env.config_home() / "vesk" / "keybindings.conf";
        return fs::exists(conf) ? read_text(conf) : std::string();
    }
    std::string wait_line(const std::string& text, const std::function<bool(const std::string&)>& pred) {
        return wait_for_line(server, pane, text, pred);
    }
    void wait_text(const std::string& text) { EXPECT_TRUE(server.wait_for_text(pane, text)) << text << "\n" << server.capture(pane); }
    // Filters for `query`, opens the capture box of the one entry left and types `keys`.
    void capture(const std::string& query, const std::vector<std::string>& keys) {
        server.send_keys(pane, {"C-u"});
        server.send_text(pane, query);
        wait_text("1 / ");
        server.send_keys(pane, {"Enter"});
        wait_text("새 단축키를 누르세요");
        server.send_keys(pane, keys);
    }
    // The server's binding of `key` in `table`, "" when there is none.
    std::string bound(const std::string& table, const std::string& key) const {
        RunResult r = server.tmux({"list-keys", "-T", table, key});
        return r.status == 0 ? r.out : "";
    }
    int finish() { return finish_screen(server, pane, env.root()); }
    void expect_terminal_restored() const { test::expect_terminal_restored(server, pane, env.root()); }
};

const char* const kClose = "현재 pane을 닫습니다.";
const char* const kSplitRight = "현재 디렉터리에서 좌우로 나눕니다.";
const char* const kSplitDown = "현재 디렉터리에서 위아래로 나눕니다.";

// One session: filter, change a key, confirm, delete, restore, overwrite, keys tmux reads
// specially, leave; the file, the server's bindings and the terminal checked along the way.
TEST(KeybindScreenInTmux, ChangesGoToTheFileAndTheServerAndTheNextRebuild) {
    ScreenRun run;
    run.server.tmux_ok({"bind-key", "x", "kill-pane"});
    run.capture("pane을 닫", {"F9"});
    run.wait_text("Enter 확인");
    run.server.send_keys(run.pane, {"Enter"});
    EXPECT_TRUE(contains(run.wait_line(kClose, [](auto& l) { return contains(l, "변경됨"); }), " F9 "));
    EXPECT_TRUE(contains(run.saved(), "bind-key F9 kill-pane")) << run.saved();
    EXPECT_TRUE(contains(run.bound("prefix", "F9"), "kill-pane"));
    EXPECT_EQ(run.bound("prefix", "x"), "");  // the old key is let go

    // Delete: no key at all, in the file and in the server.
    run.server.send_keys(run.pane, {"DC"});
    EXPECT_TRUE(contains(run.wait_line(kClose, [](auto& l) { return contains(l, "없음"); }), "—"));
    EXPECT_TRUE(contains(run.saved(), "unbind x")) << run.saved();
    EXPECT_EQ(run.bound("prefix", "F9"), "");

    // Ctrl-R: the default again, and nothing left to write for it.
    run.server.send_keys(run.pane, {"C-r"});
    std::string line = run.wait_line(kClose, [](auto& l) { return !contains(l, "없음") && !contains(l, "—"); });
    EXPECT_TRUE(contains(line, " x ")) << line;
    EXPECT_FALSE(contains(line, "변경됨")) << line;
    EXPECT_FALSE(contains(run.saved(), "kill-pane")) << run.saved();
    EXPECT_TRUE(contains(run.bound("prefix", "x"), "kill-pane"));

    // Taking the key of another entry: it moves, and the other entry shows "없음".
    run.capture("좌우로", {"-"});
    run.wait_text("이미 쓰는 중  " + std::string(kSplitDown));
    run.wait_text("Enter 덮어쓰기");
    run.server.send_keys(run.pane, {"Enter"});
    run.wait_line(kSplitRight, [](auto& l) { return contains(l, "변경됨"); });
    run.server.send_keys(run.pane, {"Escape"});  // clears the query
    EXPECT_TRUE(contains(run.wait_line(kSplitDown, [](auto& l) { return contains(l, "없음"); }), "—"));
    EXPECT_TRUE(contains(run.bound("prefix", "-"), "split-window -h"));
    EXPECT_TRUE(contains(run.saved(), "unbind -")) << run.saved();
    EXPECT_EQ(run.bound("prefix", "|"), "");

    // Keys tmux reads specially. A lone ";" on tmux's command line separates commands: sent escaped.
    const std::vector<std::array<std::string, 3>> special = {{"pane을 닫", "#", kClose}, {"위아래로", "\\;", kSplitDown}};
    for (const auto& [query, key, description] : special) {
        run.capture(query, {key});
        run.wait_text("Enter 확인");
        run.server.send_keys(run.pane, {"Enter"});
        run.wait_line(description, [](auto& l) { return contains(l, "변경됨"); });
    }
    EXPECT_TRUE(contains(run.bound("prefix", "#"), "kill-pane"));
    EXPECT_TRUE(contains(run.bound("prefix", ";"), "split-window -v"));

    // Esc with an empty query leaves; the terminal is as it was.
    run.server.send_keys(run.pane, {"C-u", "Escape"});
    EXPECT_EQ(run.finish(), 0);
    EXPECT_EQ(read_text(run.env.root() / "err"), "");
    run.expect_terminal_restored();

    // The next rebuild reads the file back and its check server accepts it.
    RunResult rebuilt = run.env.run({"rebuild", "--no-reload"});
    EXPECT_EQ(rebuilt.status, 0) << rebuilt.err;
    const std::string conf = read_text(run.env.home() / ".tmux.conf.local");
    EXPECT_TRUE(contains(conf, "'#' kill-pane")) << conf;
    EXPECT_TRUE(contains(conf, "';' split-window -v")) << conf;
}

// tmux binds `o` itself and no entry holds it. Taken by an entry and let go again (restored or
// deleted), it gets tmux's own binding back, as the next start of the server would give it.
TEST(KeybindScreenInTmux, AKeyTakenFromTmuxIsGivenBack) {
    ScreenRun run;
    const std::string tmux_own = "select-pane -t :.+";
    ASSERT_TRUE(contains(run.bound("prefix", "o"), tmux_own));
    for (const std::string letting_go : {"C-r", "DC"}) {
        run.capture("pane을 닫", {"o"});
        run.wait_text("Enter 확인");
        run.server.send_keys(run.pane, {"Enter"});
        run.wait_line(kClose, [](auto& l) { return contains(l, " o "); });
        EXPECT_TRUE(contains(run.bound("prefix", "o"), "kill-pane"));
        run.server.send_keys(run.pane, {letting_go});
        run.wait_line(kClose, [](auto& l) { return !contains(l, " o "); });
        EXPECT_TRUE(contains(run.bound("prefix", "o"), tmux_own)) << letting_go << ": " << run.bound("prefix", "o");
        run.server.send_keys(run.pane, {"C-r"});
        run.wait_line(kClose, [](auto& l) { return contains(l, " x "); });
    }
    EXPECT_TRUE(contains(run.bound("prefix", "x"), "kill-pane"));
    EXPECT_EQ(run.saved().find("kill-pane"), std::string::npos) << run.saved();
    run.server.send_keys(run.pane, {"C-u", "Escape"});
    EXPECT_EQ(run.finish(), 0);
}

TEST(KeybindScreenInTmux, NoPlaceForTheFileEndsWithAnErrorAndTheTerminalBack) {
    PrivateEnv env;
    TmuxServer server{80, 20, env.tmp(), env.home()};
    EnvChanges vars;  // neither HOME nor XDG_CONFIG_HOME
    for (auto& change : inside_tmux(env.env()))
        if (change.first != "HOME" && change.first != "XDG_CONFIG_HOME") vars.push_back(change);
    vars.emplace_back("HOME", std::nullopt);
    vars.emplace_back("XDG_CONFIG_HOME", std::nullopt);
    const std::string pane = start_screen(server, env.root(), {"config", "keybindings"}, vars);
    EXPECT_EQ(finish_screen(server, pane, env.root()), 1);
    EXPECT_EQ(read_text(env.root() / "err"), "Error: 설정 파일을 둘 자리를 찾지 못했습니다\n");
    expect_terminal_restored(server, pane, env.root());
}

TEST(KeybindScreenInTmux, PopupAsksForTheClientSizeAndOpensAFloatingPane) {
    PrivateEnv env;
    const std::string command = sh_quote(fs::canonical(vesk_binary()).string()) + " config keybindings";
    using Call = std::vector<std::string>;
    // 60 x 60: 77% and 75% of the client, centred.
    EXPECT_EQ(popup_calls(env, {"config", "keybindings-popup"}, 60),
              (std::vector<Call>{{"display", "-p", "#{client_width}"},
                                 {"display", "-p", "#{client_height}"},
                                 {"new-pane", "-P", "-F", "#{pane_id}", "-x", "46", "-y", "45", "-X", "7", "-Y", "7",
                                  "--", command}}));
    // A client size tmux cannot tell: 80 x 24.
    EXPECT_EQ(popup_calls(env, {"config", "keybindings-popup"}, std::nullopt).back(),
              (Call{"new-pane", "-P", "-F", "#{pane_id}", "-x", "61", "-y", "18", "-X", "9", "-Y", "3", "--", command}));

    env.vars["TMUX"] = std::nullopt;
    RunResult r = env.run({"config", "keybindings-popup"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tmux 세션 안에서만 실행 가능합니다.\n");
}

TEST(KeybindScreenInTmux, PopupShowsTheScreenInAFloatingPane) {
    PrivateEnv env;
    TmuxServer server{120, 40, env.tmp(), env.home()};
    AttachedClient client(server);
    const std::string pane = start_popup(server, env, {"config", "keybindings-popup"});
    EXPECT_TRUE(client.wait_for_text(" Keybindings ")) << client.capture();
    EXPECT_TRUE(client.wait_for_text(kClose)) << client.capture();
    client.send_keys({"Escape"});
    EXPECT_TRUE(client.wait_for_no_text(" Keybindings ")) << client.capture();
    EXPECT_EQ(finish_screen(server, pane, env.root()), 0);
}

// On a 40 x 12 client the floating pane is 30 x 9 (its popup 32 x 11 with the border): the footer
// and its close key still show.
TEST(KeybindScreenInTmux, PopupOnASmallClientShowsTheCloseKey) {
    PrivateEnv env;
    TmuxServer server{120, 40, env.tmp(), env.home()};
    AttachedClient client(server, 40, 12);
    const std::string pane = start_popup(server, env, {"config", "keybindings-popup"});
    EXPECT_TRUE(client.wait_for_text(" Keybindings ")) << client.capture();
    EXPECT_TRUE(client.wait_for_text("Esc 닫기")) << client.capture();
    client.send_keys({"Escape"});
    EXPECT_TRUE(client.wait_for_no_text(" Keybindings ")) << client.capture();
    EXPECT_EQ(finish_screen(server, pane, env.root()), 0);
}

}  // namespace
}  // namespace vesk::keybind

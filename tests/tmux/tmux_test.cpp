// The tmux handle against a private server, with the recording tmux in between to see the exact
// words each operation sends.
#include "tmux/tmux.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "support/tmux_server.hpp"
#include "tmux/popup_message.hpp"

namespace vesk::test {
namespace {

using Words = std::vector<std::string>;

// A server reached through the recording tmux named by TMUX_BIN.
struct RecordedServer {
    TempDir dir;
    TmuxServer server;
    EnvGuard env;
    fs::path log = dir / "calls.log";

    RecordedServer() {
        for (const auto& [name, value] : server.client_env()) env.set(name, value);
        env.set("TMUX_BIN", recording_tmux_path().string());
        env.set("RECORD_TMUX_LOG", log.string());
        env.set("RECORD_TMUX_SOCKET", server.socket_name());
        env.set("RECORD_TMUX_ANSWERS", std::nullopt);
    }
    std::vector<Words> calls() const { return recorded_calls(log); }
    Words last_call() const { return calls().empty() ? Words{} : calls().back(); }
};

TEST(Tmux, ProgramRunOutputAndFailures) {
    RecordedServer s;
    Tmux tmux;
    tmux.run({"set-option", "-g", "@x", "  a b\t "});
    EXPECT_EQ(tmux.output({"show-option", "-gv", "@x"}), "  a b");  // only trailing white space goes
    EXPECT_EQ(tmux.display(s.server.first_pane(), "#{pane_id}"), s.server.first_pane());
    EXPECT_EQ(s.last_call(), (Words{"display", "-p", "-t", s.server.first_pane(), "#{pane_id}"}));
    EXPECT_EQ(error_text([&] { tmux.run({"kill-pane", "-t", "%999"}); }), "tmux command failed: exit status: 1");

    // pane_exists compares whole lines: %1 is not %10.
    std::string pane = s.server.first_pane();
    EXPECT_TRUE(tmux.pane_exists(pane));
    EXPECT_FALSE(tmux.pane_exists(pane + "0"));
    s.env.set("TMUX_BIN", std::nullopt);
    EXPECT_EQ(Tmux().bin, "tmux");
    s.env.set("TMUX_BIN", "/opt/x/tmux");
    EXPECT_EQ(error_text([] { Tmux().run({"list-sessions"}); }), "No such file or directory (os error 2)");
}

TEST(Tmux, NoServerStartsWhereTmuxPointsAtNone) {
    // A dead server's TMUX, or a hostile one: a server started there replaces the path's content.
    TempDir dir;
    EnvGuard env;
    const fs::path file = dir / "precious";
    write_text(file, "precious\n");
    env.set("TMUX", file.string() + ",1,0");
    env.set("HOME", dir.path().string());
    env.set("TMUX_BIN", std::nullopt);
    for (const Words& args : {Words{"list-keys"}, Words{"list-commands"}, Words{"new-session", "-d"}}) {
        EXPECT_FALSE(Tmux().capture(args).status.success()) << args[0];
        EXPECT_FALSE(Tmux::named().capture(args).status.success()) << args[0];
    }
    Tmux stray("tmux");
    stray.global_args = {"-S", file.string()};
    stray.capture({"kill-server"});
    EXPECT_EQ(read_text(file), "precious\n");
}

TEST(Tmux, OptionsAndTheInstallationRoot) {
    RecordedServer s;
    Tmux tmux;
    EXPECT_EQ(tmux.option("@zelt"), std::nullopt);
    EXPECT_EQ(s.last_call(), (Words{"show-option", "-gqv", "@zelt"}));
    EXPECT_THROW(vesk_bin(tmux), Exit99);
    EXPECT_THROW(pane_path_or_zelt(tmux, "%999"), Exit99);

    s.server.tmux_ok({"set-option", "-g", "@zelt", "/home/u/.tmux"});
    EXPECT_EQ(vesk_bin(tmux), "/home/u/.tmux/bin/vesk");
    EXPECT_EQ(pane_path_or_zelt(tmux, "%999"), fs::path("/home/u/.tmux"));
    // An unreachable server reads as no value, never as an error.
    EXPECT_EQ(Tmux("/nonexistent/tmux").option("@zelt"), std::nullopt);

    TempDir cwd;
    std::string pane = s.server.run_in_pane({"sleep", "100"}, {}, cwd.path());
    EXPECT_EQ(fs::canonical(pane_path_or_zelt(tmux, pane)), fs::canonical(cwd.path()));

    pane = s.server.first_pane();
    // tmux quotes such a value in its "NAME VALUE" line; the value must come back as it was set.
    for (std::string value : {"/tmp/a b.log", "it's \"quoted\" #{x} $HOME", "한글 파일.log"}) {
        s.server.tmux_ok({"set-option", "-p", "-t", pane, "@shell_log", value});
        EXPECT_EQ(pane_option(tmux, pane, "@shell_log"), value);
    }
    unset_pane_option(tmux, pane, "@shell_log");
    EXPECT_EQ(pane_option(tmux, pane, "@shell_log"), std::nullopt);
    s.server.tmux_ok({"set-option", "-p", "-t", pane, "@empty", ""});
    EXPECT_EQ(pane_option(tmux, pane, "@empty"), std::nullopt);

    const std::string session = s.server.session(), key = "@launch_app_last_keyword";
    set_tmux_option_for_session(tmux, session, key, "-dash value");
    EXPECT_EQ(get_tmux_option_for_session(tmux, session, key), "-dash value");
    EXPECT_EQ(s.last_call(), (Words{"show-option", "-t", session, "-v", key}));
    EXPECT_EQ(get_tmux_option_for_session(tmux, "", key), std::nullopt);
    EXPECT_EQ(s.last_call(), (Words{"show-option", "-g", "-v", key}));
    set_tmux_option_for_session(tmux, "", key, "global");
    EXPECT_EQ(s.server.global_option(key), "global");
    EXPECT_EQ(get_tmux_option_for_session(tmux, session, key), "-dash value");
}

TEST(Tmux, CurrentPaneAndKillingItThroughTheTmuxOnPath) {
    RecordedServer s;
    Tmux tmux;
    s.env.set("TMUX_PANE", "%42");
    EXPECT_EQ(current_pane(tmux), "%42");
    EXPECT_TRUE(s.calls().empty());
    s.env.set("TMUX_PANE", "");
    EXPECT_EQ(current_pane(tmux), s.server.first_pane());
    EXPECT_EQ(s.last_call(), (Words{"display", "-p", "#{pane_id}"}));

    TempDir bin;
    fs::create_symlink(recording_tmux_path(), bin / "tmux");
    s.env.set("PATH", (bin.path().string() + ":" + std::getenv("PATH")));
    s.env.set("TMUX_BIN", "/nonexistent/tmux");
    const std::string pane = s.server.split(s.server.first_pane());
    s.env.set("TMUX_PANE", pane);
    const std::size_t before = s.calls().size();
    kill_current_pane();
    EXPECT_EQ(s.last_call(), (Words{"kill-pane", "-t", pane}));
    EXPECT_FALSE(s.server.pane_exists(pane));
    // Already gone, or no pane at all: nothing to report.
    kill_current_pane();
    s.env.set("TMUX_PANE", std::nullopt);
    kill_current_pane();
    EXPECT_EQ(s.calls().size(), before + 2);
    // No server to ask for the current pane.
    s.env.set("RECORD_TMUX_SOCKET", "vesk-test-no-such-server");
    EXPECT_EQ(error_text([&] { current_pane(tmux); }), "tmux command failed: exit status: 1");
}

// The requests whose answers the recording tmux fakes: a floating pane and the modal popup.
TEST(Tmux, FloatingPaneAndModalPopupRequests) {
    RecordedServer s;
    TempDir answers;
    s.env.set("RECORD_TMUX_ANSWERS", answers.path().string());
    write_text(answers / "new-pane", "%17\n");
    write_text(answers / "display-popup", "");
    Tmux tmux;
    EXPECT_EQ(tmux.open_floating_pane({"90%", "40%", "5%", "30%", std::nullopt}, "C"), "%17");
    EXPECT_EQ(s.last_call(),
              (Words{"new-pane", "-P", "-F", "#{pane_id}", "-x", "90%", "-y", "40%", "-X", "5%", "-Y", "30%", "--", "C"}));
    tmux.open_floating_pane({"80", "20", std::nullopt, std::nullopt, "/a dir"}, "C");
    EXPECT_EQ(s.last_call(), (Words{"new-pane", "-P", "-F", "#{pane_id}", "-x", "80", "-y", "20", "-c", "/a dir", "--", "C"}));
    // tmux expands the start directory as a format: a # in it goes doubled.
    tmux.open_floating_pane({"80", "20", std::nullopt, std::nullopt, "/#{pane_id} #(touch x)"}, "C");
    EXPECT_EQ(s.last_call()[9], "/##{pane_id} ##(touch x)");
    write_text(answers / "new-pane", " \n");
    EXPECT_EQ(error_text([&] { tmux.open_floating_pane({"1", "1", {}, {}, {}}, "C"); }),
              "new-pane did not return a pane id");

    EXPECT_THROW(popup_modal(tmux, "없음"), Exit99);
    s.server.tmux_ok({"set-option", "-g", "@zelt", "/opt/it's here"});
    popup_modal(tmux, "세션 'a b' 없음");
    EXPECT_EQ(s.last_call(), (Words{"display-popup", "-E", "-w", "60%", "-h", "10", "--",
                                    "'/opt/it'\\''s here/bin/vesk' popup message modal '세션 '\\''a b'\\'' 없음'"}));
    // A leading '-' would reach the command line parser as an option.
    popup_modal(tmux, "-x failed");
    EXPECT_EQ(s.last_call().back(), "'/opt/it'\\''s here/bin/vesk' popup message modal -- '-x failed'");
    write_text(answers / "display-popup.status", "1");
    EXPECT_EQ(error_text([&] { popup_modal(tmux, "x"); }), "tmux command failed: exit status: 1");
}

}  // namespace
}  // namespace vesk::test

// `finder multimode-open` and `finder multimode` against a real tmux server, with a tmux in between
// that logs every call and stands in for the floating pane (where it plays the user's choice) and
// for the Open With popup.
#include <gtest/gtest.h>

#include <regex>

#include "core/quote.hpp"
#include "support/screen_run.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

using Calls = std::vector<std::vector<std::string>>;

class FinderOpen : public ::testing::Test {
protected:
    FinderOpen() : server(120, 40, env.tmp()) {
        // new-pane: notes what @find_exec_file was when the picker would start, then "chooses"
        // $PICK; display-popup: nothing to show without a client. Everything else goes to tmux.
        write_script(stub, "sep=''; for w in \"$@\"; do printf '%s%s' \"$sep\" \"$w\"; sep=$(printf '\\t'); done >> " +
                               shell_quote(log.string()) + "\nprintf '\\n' >> " + shell_quote(log.string()) +
                               "\nsub=$1; [ \"$sub\" = -N ] && sub=$2\ncase $sub in\n"
                               "new-pane) printf '%s|%s\\n' \"$(tmux show-option -gqv @find_exec_file)\" "
                               "\"$(tmux show-option -gqv @find_exec_file_line)\" > " + shell_quote(seen.string()) +
                               "\n  [ -z \"$PICK\" ] || tmux set-option -g @find_exec_file \"$PICK\"; echo '%77'; exit 0 ;;\n"
                               "display-popup) exit 0 ;;\nesac\nexec tmux \"$@\"\n");
        server.tmux_ok({"set-option", "-g", "@zelt", env.zelt().string()});
        list(3);
    }

    void list(int entries) {
        std::string text = "# 목록\n";
        for (int i = 0; i < entries; ++i) text += "cmd" + std::to_string(i) + " | cmd" + std::to_string(i) + "\n";
        write_text(env.zelt() / "lists" / "find-file-and-exec.list", text);
    }

    // Runs `vesk finder ARGS...` in a pane started in `cwd`; its calls of tmux and its status.
    Calls open(const std::vector<std::string>& args, const fs::path& cwd, const std::string& pick = "") {
        fs::remove(log);
        EnvChanges changes = env.env();
        changes.emplace_back("TMUX_BIN", stub.string());
        changes.emplace_back("PICK", pick);
        std::vector<std::string> argv{vesk_binary(), "finder"};
        argv.insert(argv.end(), args.begin(), args.end());
        last_pane = server.run_in_pane(argv, inside_tmux(changes), cwd);
        status = server.wait_for_exit(last_pane);
        return fs::exists(log) ? recorded_calls(log) : Calls{};
    }

    static const std::vector<std::string>* call(const Calls& calls, const std::string& first) {
        for (const auto& c : calls)
            if (!c.empty() && c[0] == first) return &c;
        return nullptr;
    }

    std::string option(const std::string& name) { return server.global_option(name); }

    PrivateEnv env;
    TmuxServer server;
    fs::path stub = env.root() / "tmux-stub", log = env.root() / "tmux.log", seen = env.root() / "seen";
    std::string last_pane;
    int status = -1;
};

TEST_F(FinderOpen, OptionsFloatingPaneAndOpenWithPopup) {
    const fs::path dir = fs::canonical(env.root()) / "dir #{pane_id} it's";
    fs::create_directories(dir);
    const std::string shell = server.run_in_pane({"bash", "--norc", "--noprofile", "-i"}, {}, dir);
    server.tmux_ok({"set-option", "-g", "@find_exec_file", "/old"});
    server.tmux_ok({"set-option", "-g", "@find_exec_file_line", "9"});

    Calls calls = open({"multimode-open", shell, dir.string()}, env.root(), (dir / "x.md").string());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(option("@find_exec_origin_pane"), shell);
    EXPECT_EQ(option("@find_exec_pane_path"), dir.string());
    EXPECT_EQ(option("@find_exec_is_shell"), "1");
    // The previous choice was gone before the picker started.
    EXPECT_EQ(read_text(seen), "|\n");
    const auto* pane = call(calls, "new-pane");
    ASSERT_TRUE(pane);
    const std::string escaped = std::regex_replace(dir.string(), std::regex("#"), "##");
    EXPECT_EQ(*pane, (std::vector<std::string>{"new-pane", "-P", "-F", "#{pane_id}", "-x", "95%", "-y", "70%", "-X", "3%",
                                               "-Y", "15%", "-c", escaped, "--",
                                               shell_quote(env.zelt().string() + "/bin/vesk") + " finder multimode"}));
    const auto* popup = call(calls, "display-popup");
    ASSERT_TRUE(popup);
    EXPECT_EQ(*popup, (std::vector<std::string>{"display-popup", "-E", "-w", "60%", "-h", "9", "-T", "Open With",
                                                shell_quote(env.zelt().string() + "/bin/vesk") + " finder open-with"}));

    // Origin given as an unexpanded format or empty: the current pane. A path that is not a
    // directory: the origin's own. Nothing chosen: no popup.
    for (const char* origin : {"#{pane_id}", ""}) {
        calls = open({"multimode-open", origin, (dir / "x.md").string()}, dir);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(option("@find_exec_origin_pane"), last_pane);
        EXPECT_EQ(option("@find_exec_pane_path"), dir.string());
        EXPECT_FALSE(call(calls, "display-popup"));
        EXPECT_FALSE(call(calls, "display-message"));
    }

    // A program that is not a shell; twelve entries make the highest popup; an origin that is
    // gone gives HOME.
    const std::string sleeper = server.split(shell);
    list(12);
    calls = open({"multimode-open", sleeper}, env.root(), "/picked");
    EXPECT_EQ(option("@find_exec_is_shell"), "0");
    ASSERT_TRUE(call(calls, "display-popup"));
    EXPECT_EQ(call(calls, "display-popup")->at(5), "16");
    open({"multimode-open", "%999", "/nonexistent"}, dir);
    EXPECT_EQ(option("@find_exec_pane_path"), env.home().string());
    EXPECT_EQ(option("@find_exec_is_shell"), "0");

    // An empty list: tmux says so, no popup.
    list(0);
    calls = open({"multimode-open", shell}, env.root(), "/picked");
    EXPECT_FALSE(call(calls, "display-popup"));
    ASSERT_TRUE(call(calls, "display-message"));
    EXPECT_EQ(call(calls, "display-message")->at(1), "lists/find-file-and-exec.list가 비어있습니다.");
}

TEST_F(FinderOpen, PickerRefusesTheRootAndNeedsTmux) {
    server.tmux_ok({"set-option", "-g", "@find_exec_pane_path", "/"});
    open({"multimode"}, env.root());
    EXPECT_EQ(status, 1);
    EXPECT_NE(server.capture(last_pane).find("Error: Error: Searching from root (/) is not allowed"), std::string::npos)
        << server.capture(last_pane);

    // Without @zelt the popup tools end quietly with 99; outside tmux they say where they run.
    server.tmux_ok({"set-option", "-gu", "@zelt"});
    open({"multimode-open"}, env.root());
    EXPECT_EQ(status, 99);
    RunResult r = env.run({"finder", "multimode"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tmux 세션에서만 실행할 수 있습니다.\n");
}

}  // namespace
}  // namespace vesk::test

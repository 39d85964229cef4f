// The staging area end to end in a private tmux with an attached client: questions written in
// the real vim, left every way vim can be left, kept as files of the project, and sent to a
// stand-in agent that records what reaches its terminal.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "agent_panes.hpp"

namespace vesk::agent {
namespace {

using namespace vesk::test;

const fs::path kDist = fs::path(VESK_SOURCE_DIR) / "dist";

class Staging : public ::testing::Test {
protected:
    Staging() {
        fs::copy(kDist / "lib", s.root() / "lib", fs::copy_options::recursive);
        s.server().tmux_ok({"set-option", "-g", "display-time", "30000"});
        write_text(project / ".project", "  e2e  \n");
        add_listening_agent(s, record);
    }

    fs::path folder() const { return env.home() / ".tidewell" / "e2e"; }
    std::set<std::string> questions() const {
        std::set<std::string> names;
        if (fs::exists(folder()))
            for (const auto& e : fs::directory_iterator(folder())) names.insert(e.path().filename().string());
        return names;
    }
    std::string only_question() const {
        auto names = questions();
        EXPECT_EQ(names.size(), 1u);
        return names.empty() ? "" : read_text(folder() / *names.begin());
    }
    void clear_questions() { fs::remove_all(folder()); }

    std::string agent() { return s.active_pane({(s.bin() / "listening-agent").string()}, project); }

    // chat-popup in a pane of its own, handed the target as `open` hands it; waits for the picker.
    std::string chat(const std::string& target, const EnvChanges& extra = {}) {
        const std::string pane = run_vesk(s, env, {"tidewell", "chat-popup", "--target-pane", target}, project, extra);
        EXPECT_TRUE(s.server().wait_for_screen(pane, [](const std::string& screen) {
            return std::regex_search(screen, std::regex(R"(\d+/\d+)"));
        })) << s.server().capture(pane);
        return pane;
    }

    // Waits until vim takes keys (its start-up queries answered), enters insert mode and types.
    void write_in_vim(const std::string& pane, const std::string& text) {
        ASSERT_TRUE(s.server().wait_for_text(pane, ".tmp")) << s.server().capture(pane);
        bool inserting = false;
        for (int attempt = 0; attempt < 5 && !inserting; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            s.server().send_keys(pane, {"i"});
            inserting = s.server().wait_for_text(pane, "-- INSERT --", std::chrono::milliseconds(1500));
            if (!inserting) s.server().send_keys(pane, {"Escape"});
        }
        ASSERT_TRUE(inserting) << s.server().capture(pane);
        s.server().send_text(pane, text);
        s.server().send_keys(pane, {"Escape"});
        ASSERT_TRUE(s.server().wait_for_screen(pane, [](const std::string& screen) {
            return screen.find("-- INSERT --") == std::string::npos;
        }));
    }
    // An Ex command typed into vim.
    void ex(const std::string& pane, const std::string& command) {
        s.server().send_text(pane, ":" + command);
        s.server().send_keys(pane, {"Enter"});
    }
    std::string option(const std::string& name) { return s.server().global_option(name); }

    PrivateEnv env;
    PickerSession s{env};
    fs::path project = env.root() / "proj";
    fs::path record = env.root() / "agent-read";
};

// Every way out of vim that wrote the question keeps it; only leaving without a write drops it.
TEST_F(Staging, EveryWayOutOfVimThatWroteKeepsTheQuestion) {
    const std::string target = agent();
    struct Way {
        std::vector<std::string> commands;  // Ex commands, or "ZZ" typed in normal mode
        std::string message;
    };
    const Way kept[] = {{{"wq"}, "TideWell saved (not sent)."},
                        {{"x"}, "TideWell saved (not sent)."},
                        {{"ZZ"}, "TideWell saved (not sent)."},
                        {{"w", "q"}, "TideWell saved (not sent)."},
                        {{"WQ"}, "TideWell saved (not sent)."}};
    for (const Way& way : kept) {
        SCOPED_TRACE(way.commands.front());
        clear_questions();
        const std::string pane = chat(target);
        s.server().send_keys(pane, {"C-n"});
        write_in_vim(pane, "question by " + way.commands.front());
        for (const auto& command : way.commands) {
            if (command == "ZZ") s.server().send_text(pane, "ZZ");
            else ex(pane, command);
        }
        EXPECT_EQ(s.server().wait_for_exit(pane), 0) << s.server().capture(pane);
        EXPECT_EQ(only_question(), "question by " + way.commands.front() + "\n");
        EXPECT_TRUE(s.wait_for_text(way.message)) << s.screen();
    }
    EXPECT_FALSE(fs::exists(record) && !read_text(record).empty()) << "nothing was sent";

    // Left without a write: nothing kept. An empty question is not kept either.
    clear_questions();
    std::string pane = chat(target);
    s.server().send_keys(pane, {"C-n"});
    write_in_vim(pane, "never written");
    ex(pane, "q!");
    EXPECT_EQ(s.server().wait_for_exit(pane), 0);
    EXPECT_TRUE(questions().empty());
    EXPECT_TRUE(s.wait_for_text("TideWell: 저장 없이 종료되었습니다.")) << s.screen();
    pane = chat(target);
    s.server().send_keys(pane, {"C-n"});
    ASSERT_TRUE(s.server().wait_for_text(pane, ".tmp")) << s.server().capture(pane);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ex(pane, "wq");
    EXPECT_EQ(s.server().wait_for_exit(pane), 0);
    EXPECT_TRUE(questions().empty());
    EXPECT_TRUE(s.wait_for_text("TideWell input is empty; not saved.")) << s.screen();

    // vim that fails after the question was written: kept, and the failure reported.
    pane = chat(target);
    s.server().send_keys(pane, {"C-n"});
    write_in_vim(pane, "kept although vim failed");
    ex(pane, "w");
    ex(pane, "cq");
    EXPECT_EQ(s.server().wait_for_exit(pane), 1);
    EXPECT_EQ(only_question(), "kept although vim failed\n");
    EXPECT_NE(s.server().capture(pane).find("vim exited with exit status: 1"), std::string::npos);
    EXPECT_TRUE(s.wait_for_text("TideWell: vim exited with exit status: 1")) << s.screen();
    // The option `open` set is gone once the staging area has ended.
    EXPECT_EQ(option("@tidewell_target_pane"), "");
}

// The first question of a project (Enter on the empty list), sent with wq!: the agent reads the
// text as a bracketed paste followed by Enter, and the kept file carries the stamp.
TEST_F(Staging, SendPastesIntoTheAgentAndStampsTheQuestion) {
    const std::string target = agent();
    std::string pane = chat(target);
    EXPECT_TRUE(s.server().wait_for_text(pane, "e2e>")) << s.server().capture(pane);
    // Another staging area opened meanwhile points the global option at its own pane: this one
    // still sends to the pane it was handed, and leaves the other one's option alone.
    const std::string other = s.server().run_in_pane({"sleep", "100"});
    s.server().tmux_ok({"set-option", "-g", "@tidewell_target_pane", other});
    s.server().send_keys(pane, {"Enter"});
    write_in_vim(pane, "\n\n한글 질문 $(touch PWNED) 'q'\nsecond line");
    ex(pane, "wq!");
    EXPECT_EQ(s.server().wait_for_exit(pane), 0) << s.server().capture(pane);
    const std::string pasted = "\x1b[200~한글 질문 $(touch PWNED) 'q'\rsecond line\r\x1b[201~\r";
    EXPECT_EQ(wait_for_record(record, pasted), pasted);
    EXPECT_TRUE(std::regex_match(only_question(), std::regex(R"(\[\d{4}-\d\d-\d\d \d\d-\d\d-\d\d\] 한글 질문 \$\(touch PWNED\) 'q'\nsecond line\n)")))
        << only_question();
    EXPECT_TRUE(s.wait_for_text("TideWell input sent.")) << s.screen();
    EXPECT_TRUE(s.pwned().empty());
    EXPECT_EQ(option("@tidewell_target_pane"), other);

    // A long question that begins with '-', picked from the list: sent whole, kept as a second
    // file, the picked one unchanged.
    clear_questions();
    std::string long_text = "-rf first line\n";
    while (long_text.size() < 20000) long_text += "filler line " + std::to_string(long_text.size()) + "\n";
    write_text(folder() / "2020-01-01_00-00-00.md", long_text);
    fs::remove(record);
    const std::string again = agent();
    pane = chat(again);
    ASSERT_TRUE(s.server().wait_for_text(pane, "-rf first line")) << s.server().capture(pane);
    s.server().send_keys(pane, {"Enter"});
    ASSERT_TRUE(s.server().wait_for_text(pane, "filler line")) << s.server().capture(pane);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ex(pane, "wq!");
    EXPECT_EQ(s.server().wait_for_exit(pane), 0) << s.server().capture(pane);
    std::string expected = long_text;
    std::replace(expected.begin(), expected.end(), '\n', '\r');
    expected = "\x1b[200~" + expected + "\x1b[201~\r";
    const std::string got = wait_for_record(record, expected);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    EXPECT_EQ(questions().size(), 2u);
    EXPECT_EQ(read_text(folder() / "2020-01-01_00-00-00.md"), long_text);
}

// <Leader>o in vim picks an earlier question of the project and inserts its text at the cursor.
TEST_F(Staging, LeaderOInsertsAnEarlierQuestion) {
    const fs::path earlier = folder() / "2020-01-01_00-00-00.md";
    write_text(earlier, "earlier question\nits body\n");
    const std::string pane = chat(agent());
    s.server().send_keys(pane, {"C-n"});
    ASSERT_TRUE(s.server().wait_for_text(pane, ".tmp")) << s.server().capture(pane);
    bool picking = false;
    for (int attempt = 0; attempt < 5 && !picking; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        s.server().send_keys(pane, {"Space", "o"});
        picking = s.server().wait_for_text(pane, "filter>", std::chrono::milliseconds(3000));
    }
    ASSERT_TRUE(picking) << s.server().capture(pane);
    ASSERT_TRUE(s.server().wait_for_text(pane, "1/1")) << s.server().capture(pane);
    s.server().send_keys(pane, {"Enter"});
    ASSERT_TRUE(s.server().wait_for_text(pane, "its body")) << s.server().capture(pane);
    ex(pane, "wq");
    EXPECT_EQ(s.server().wait_for_exit(pane), 0) << s.server().capture(pane);
    auto names = questions();
    ASSERT_EQ(names.size(), 2u);
    names.erase(earlier.filename().string());
    EXPECT_EQ(read_text(folder() / *names.begin()), "earlier question\nits body\n");
}

// A missing vim or base vim script: said on the status line, in its own words, before any picker.
TEST_F(Staging, MissingVimOrVimrcIsSaid) {
    s.server().tmux_ok({"set-option", "-g", "@vim_bin", "no-such-vim"});
    std::string pane = run_vesk(s, env, {"tidewell", "chat-popup"}, project);
    EXPECT_EQ(s.server().wait_for_exit(pane), 127);
    EXPECT_TRUE(s.wait_for_text("vim not found: no-such-vim (tmux 옵션 @vim_bin 확인)")) << s.screen();
    s.server().tmux_ok({"set-option", "-gu", "@vim_bin"});
    fs::remove(s.root() / "lib" / "vimrc");
    pane = run_vesk(s, env, {"tidewell", "chat-popup"}, project);
    EXPECT_EQ(s.server().wait_for_exit(pane), 1);
    EXPECT_TRUE(s.wait_for_text("TideWell vimrc not found: " + (s.root() / "lib" / "vimrc").string())) << s.screen();
    EXPECT_NE(s.server().capture(pane).find("vimrc not found"), std::string::npos);
}

// What `open` asks of tmux: the target remembered, then a floating pane of 90% at 5%,5% whose
// command hands over the quoted project and target; an empty --project adds no assignment.
TEST(TidewellOpen, FloatingPaneCommand) {
    PrivateEnv env;
    const fs::path log = env.root() / "tmux.log", answers = env.root() / "answers";
    write_text(answers / "show-option", env.zelt().string() + "\n");
    write_text(answers / "set-option", "");
    write_text(answers / "new-pane", "%99\n");
    env.vars["TMUX_BIN"] = recording_tmux_path().string();
    env.vars["RECORD_TMUX_LOG"] = log.string();
    env.vars["RECORD_TMUX_ANSWERS"] = answers.string();
    env.vars["TMUX"] = "/tmp/none,1,0";
    env.vars["TMUX_PANE"] = "%1";
    const std::string program = sh_quote((env.zelt() / "bin" / "vesk").string());
    auto pane_command = [&](const std::vector<std::string>& args) {
        fs::remove(log);
        RunResult r = env.run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        auto calls = recorded_calls(log);
        EXPECT_EQ(calls.at(calls.size() - 2), (std::vector<std::string>{"set-option", "-gq", "@tidewell_target_pane", "%7"}));
        const std::vector<std::string> head = {"new-pane", "-P", "-F", "#{pane_id}", "-x", "90%", "-y", "90%",
                                               "-X", "5%", "-Y", "5%", "--"};
        EXPECT_EQ(std::vector<std::string>(calls.back().begin(), calls.back().end() - 1), head);
        return calls.back().back();
    };
    EXPECT_EQ(pane_command({"tidewell", "open", "--target-pane", "%7", "--project", "it's my proj"}),
              "TIDEWELL_PROJECT='it'\\''s my proj' " + program + " tidewell chat-popup --target-pane '%7'");
    EXPECT_EQ(pane_command({"tidewell", "open", "--target-pane", "%7", "--project", ""}),
              program + " tidewell chat-popup --target-pane '%7'");
}

// A target that is gone: the question is kept, unstamped, and the command fails.
TEST_F(Staging, SendWithoutTargetKeepsTheQuestionUnstamped) {
    std::string pane = chat("%999");
    s.server().send_keys(pane, {"C-n"});
    write_in_vim(pane, "nowhere to go");
    ex(pane, "wq!");
    EXPECT_EQ(s.server().wait_for_exit(pane), 1);
    EXPECT_EQ(only_question(), "nowhere to go\n");
    EXPECT_NE(s.server().capture(pane).find("TideWell target pane not found."), std::string::npos);
    // Also where the user of a floating pane, which closes with the command, still reads it.
    EXPECT_TRUE(s.wait_for_text("TideWell target pane not found.")) << s.screen();

    // Esc at the picker: nothing happens, nothing is kept.
    clear_questions();
    pane = chat("%999");
    s.server().send_keys(pane, {"Escape"});
    EXPECT_EQ(s.server().wait_for_exit(pane), 0);
    EXPECT_TRUE(questions().empty());
    // The project and the session's history were recorded on the way.
    const std::string session = s.server().format(pane, "#{session_id}");
    EXPECT_EQ(read_text(env.home() / ".tidewell" / "project" / session), "e2e\n");
    EXPECT_EQ(option("@tidewell_last_project_" + session), "e2e");
}

// The distribution's keys: M-i opens the staging area over the agent's pane and the question
// reaches that pane; C-M-i opens it in a window of its own.
TEST_F(Staging, KeysOpenTheStagingAreaOverTheAgentsPane) {
    s.load_dist();
    agent();
    s.press({"M-i"});
    ASSERT_TRUE(s.wait_for_text("e2e>")) << s.screen();
    ASSERT_TRUE(s.wait_for_text("0/0")) << s.screen();
    s.press({"C-n"});
    ASSERT_TRUE(s.wait_for_text(".tmp")) << s.screen();
    bool inserting = false;
    for (int attempt = 0; attempt < 5 && !inserting; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        s.press({"i"});
        inserting = s.wait_for_text("-- INSERT --", std::chrono::milliseconds(1500));
        if (!inserting) s.press({"Escape"});
    }
    ASSERT_TRUE(inserting) << s.screen();
    s.type("from the key");
    s.press({"Escape"});
    ASSERT_TRUE(s.wait_for_no_text("-- INSERT --"));
    s.type(":wq!");
    s.press({"Enter"});
    EXPECT_EQ(wait_for_record(record, "\x1b[200~from the key\r\x1b[201~\r"), "\x1b[200~from the key\r\x1b[201~\r");
    EXPECT_TRUE(s.wait_for_text("TideWell input sent.")) << s.screen();
    EXPECT_TRUE(wait_until([&] { return option("@tidewell_target_pane").empty(); }));
    // The popup closes after vim: a key before that would reach it.
    ASSERT_TRUE(s.wait_for_no_text(".tmp")) << s.screen();

    s.press({"C-M-i"});
    ASSERT_TRUE(s.wait_for_text("e2e>")) << s.screen();
    const std::string window = s.server().tmux_ok({"display", "-p", "#{window_name} #{pane_current_path}"});
    EXPECT_EQ(window, "TideWell " + project.string());
    const std::string pane = s.server().tmux_ok({"display", "-p", "#{pane_id}"});
    s.press({"Escape"});
    EXPECT_TRUE(wait_until([&] { return s.server().format(pane, "#{pane_dead}") == "1"; }));
}

// M-I: the project is picked first (the session's history offered after "inbox"), then the
// staging area opens for it over the pane the key was pressed in.
TEST_F(Staging, ProjectSelectOpensTheChosenProject) {
    s.load_dist();
    fs::remove(project / ".project");
    const std::string session = s.server().tmux_ok({"display", "-p", "#{session_id}"});
    write_text(env.home() / ".tidewell" / "project" / session, "alpha\n\n#{pane_id} x\nalpha\n");
    const std::string target = agent();
    s.press({"M-I"});
    ASSERT_TRUE(s.wait_for_text("TideWell project>")) << s.screen();
    ASSERT_TRUE(s.wait_for_text("#{pane_id} x")) << s.screen();
    s.press({"Down"});
    s.press({"Down"});
    s.press({"Enter"});
    ASSERT_TRUE(s.wait_for_text("#{pane_id} x>")) << s.screen();
    EXPECT_EQ(option("@tidewell_last_project_" + session), "#{pane_id} x");
    EXPECT_EQ(option("@tidewell_target_pane"), target);
    s.press({"Escape"});
    EXPECT_TRUE(wait_until([&] { return option("@tidewell_target_pane").empty(); }));
    EXPECT_TRUE(fs::is_directory(env.home() / ".tidewell" / "#{pane_id} x"));
    EXPECT_EQ(read_text(env.home() / ".tidewell" / "project" / session), "alpha\n\n#{pane_id} x\nalpha\n");
}

}  // namespace
}  // namespace vesk::agent

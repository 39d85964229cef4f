// The question picker: what fzf's ending means, the list and preview commands fzf calls back
// (against the real rg, or without it), and the picker itself in tmux deleting with ctrl-x.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "agent/question_picker.hpp"
#include "agent_panes.hpp"
#include "core/command.hpp"
#include "core/error.hpp"

namespace vesk::agent {
namespace {

using namespace vesk::test;

TEST(QuestionPicker, WhatFzfsEndingMeans) {
    using K = QuestionChoice;
    EXPECT_EQ(question_choice(0, "\n첫 질문\t/q/a.md").kind, K::Picked);
    EXPECT_EQ(question_choice(0, "\n첫 질문\t/q/a.md").path, "/q/a.md");
    EXPECT_EQ(question_choice(0, "\nx\t/q/a.md\tmore").path, "/q/a.md");
    EXPECT_EQ(question_choice(0, "esc\n").kind, K::Cancelled);
    EXPECT_EQ(question_choice(0, "ctrl-c\nx\t/q/a.md").kind, K::Cancelled);
    EXPECT_EQ(question_choice(0, "ctrl-n\nx\t/q/a.md").kind, K::NewQuestion);
    // A row without a tab, or no row at all, starts a new question.
    EXPECT_EQ(question_choice(0, "\nno tab").kind, K::NewQuestion);
    EXPECT_EQ(question_choice(0, "\n").kind, K::NewQuestion);
    EXPECT_EQ(question_choice(0, "\nx\t").kind, K::NewQuestion);
    // Over an empty list fzf with --expect ends with 1 and names the key (none for Enter): the
    // first question must be possible, and Esc still cancels.
    EXPECT_EQ(question_choice(1, "").kind, K::NewQuestion);
    EXPECT_EQ(question_choice(1, "ctrl-n").kind, K::NewQuestion);
    EXPECT_EQ(question_choice(1, "esc").kind, K::Cancelled);
    EXPECT_EQ(question_choice(1, "ctrl-c").kind, K::Cancelled);
    EXPECT_EQ(question_choice(130, "").kind, K::Cancelled);
    EXPECT_EQ(question_choice(std::nullopt, "").kind, K::Cancelled);
    EXPECT_THROW(question_choice(2, ""), vesk::Error);
}

using Span = std::pair<std::uint64_t, std::uint64_t>;

TEST(QuestionPicker, PreviewHeightAndWindow) {
    EXPECT_EQ(preview_height(std::nullopt), 40u);
    EXPECT_EQ(preview_height("12"), 12u);
    EXPECT_EQ(preview_height("+12"), 12u);
    for (const char* bad : {"", "+", "-5", "1x", " 3", "++3", "18446744073709551616"}) EXPECT_EQ(preview_height(bad), 40u) << bad;
    EXPECT_EQ(preview_height("18446744073709551615"), 18446744073709551615u);
    auto window = [](std::uint64_t line, std::uint64_t height) {
        PreviewWindow w = preview_window_around(line, height);
        return std::pair(w.first, w.last);
    };
    EXPECT_EQ(window(3, 10), Span(1, 10));
    EXPECT_EQ(window(30, 10), Span(25, 34));
    EXPECT_EQ(window(6, 10), Span(1, 10));
    EXPECT_EQ(window(7, 10), Span(2, 11));
    EXPECT_EQ(window(5, 18446744073709551615u).second, 18446744073709551615u);
}

// The commands as fzf runs them, with or without rg on PATH.
class QuestionCommands : public ::testing::Test {
protected:
    QuestionCommands() {
        fs::create_directories(bin);
        for (const char* tool : {"rg", "sh"}) fs::create_symlink(*which(tool), bin / tool);
        env.vars["PATH"] = bin.string();
    }
    std::string list(const std::optional<std::string>& query = std::nullopt) {
        std::vector<std::string> args = {"tidewell", "question-list", dir.string()};
        if (query) args.push_back(*query);
        RunResult r = env.run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    std::string row(const std::string& title, const std::string& name) { return title + "\t" + (dir / name).string() + "\n"; }
    PrivateEnv env;
    fs::path dir = env.root() / "q", bin = env.root() / "bin";
};

TEST_F(QuestionCommands, ListsNewestFirstAndSearchesWithSmartCase) {
    write_text(dir / "2026-01-01_10-00-00.md", "Foo first\r\nbody\n");
    write_text(dir / "2026-01-02_10-00-00.md", "\nsecond has FOO\n");
    write_text(dir / "2026-01-02_10-00-00_2.md", "third\tTAB foo\n");
    write_text(dir / "sub" / "2025-12-31_00-00-00.md", "-e older\n");
    write_text(dir / "notes.txt", "foo not a question\n");
    // Descending by path components: the folder "sub" sorts after every time-stamped name.
    const std::string all = row("-e older", "sub/2025-12-31_00-00-00.md") + row("third TAB foo", "2026-01-02_10-00-00_2.md") +
                            row("", "2026-01-02_10-00-00.md") + row("Foo first", "2026-01-01_10-00-00.md");
    EXPECT_EQ(list(), all);
    EXPECT_EQ(list(""), all);
    EXPECT_EQ(list("Foo"), row("Foo first", "2026-01-01_10-00-00.md"));
    // rg finds every kind of file; the fallback only questions.
    const std::string any_case = row("foo not a question", "notes.txt") + row("third TAB foo", "2026-01-02_10-00-00_2.md") +
                                 row("", "2026-01-02_10-00-00.md") + row("Foo first", "2026-01-01_10-00-00.md");
    EXPECT_EQ(list("foo"), any_case);
    EXPECT_EQ(list("-e"), row("-e older", "sub/2025-12-31_00-00-00.md"));

    fs::remove(bin / "rg");
    EXPECT_EQ(list("Foo"), row("Foo first", "2026-01-01_10-00-00.md"));
    EXPECT_EQ(list("foo"), row("third TAB foo", "2026-01-02_10-00-00_2.md") + row("", "2026-01-02_10-00-00.md") +
                               row("Foo first", "2026-01-01_10-00-00.md"));
    EXPECT_EQ(list("-e"), row("-e older", "sub/2025-12-31_00-00-00.md"));

    // No folder: nothing, and no error.
    dir = env.root() / "missing";
    EXPECT_EQ(list(), "");
}

// A link through /proc's per-process links would lead over the whole filesystem, and an
// unreadable folder once failed the whole list: both are passed over, the questions beside them listed.
TEST_F(QuestionCommands, WhatCannotBeReadIsSkippedAndTheRestListed) {
    write_text(dir / "2026-01-01_10-00-00.md", "kept root\n");
    plant_proc_links(dir);
    write_text(dir / "locked" / "x.md", "locked\n");
    ::chmod((dir / "locked").c_str(), 0);  // unreadable unless the tests run as root
    const std::string kept = row("kept root", "2026-01-01_10-00-00.md");
    if (::geteuid() != 0) {
        EXPECT_EQ(list(), kept);
    } else {
        EXPECT_EQ(list(), row("locked", "locked/x.md") + kept);
    }
    EXPECT_EQ(list("root"), kept);
    ::chmod((dir / "locked").c_str(), 0755);
}

TEST_F(QuestionCommands, PreviewShowsTheWindowAroundTheFirstHit) {
    std::string text;
    for (int n = 1; n <= 50; ++n) text += (n == 30 ? "the Needle here" : "line " + std::to_string(n)) + "\n";
    write_text(dir / "q.md", text);
    auto preview = [&](const std::optional<std::string>& lines, const std::vector<std::string>& query) {
        env.vars["FZF_PREVIEW_LINES"] = lines;
        std::vector<std::string> args = {"tidewell", "question-preview", (dir / "q.md").string()};
        args.insert(args.end(), query.begin(), query.end());
        return env.run(args).out;
    };
    auto numbered = [&](int first, int last) {
        std::string out;
        for (int n = first; n <= last; ++n) {
            std::string pos = std::to_string(n - first + 1);
            out += std::string(6 - pos.size(), ' ') + pos + "\t" + (n == 30 ? "the Needle here" : "line " + std::to_string(n)) + "\n";
        }
        return out;
    };
    EXPECT_EQ(preview("10", {"needle"}), numbered(25, 34));
    EXPECT_EQ(preview("10", {"line 3"}), numbered(1, 10));
    EXPECT_EQ(preview("10", {"NEEDLE"}), numbered(1, 10));  // upper case: exact case, no hit
    EXPECT_EQ(preview("+12", {}), numbered(1, 12));
    EXPECT_EQ(preview("-5", {}), numbered(1, 40));
    EXPECT_EQ(preview(std::nullopt, {"-x"}), numbered(1, 40));
    EXPECT_EQ(env.run({"tidewell", "question-preview", dir.string()}).out, "");
    EXPECT_EQ(env.run({"tidewell", "question-select", (dir / "missing").string()}).out, "");

    // A gigabyte (NUL bytes after the lines, sparse) is searched and shown as far as a preview
    // reads, with bat too, in little memory; a FIFO is not waited on.
    fs::resize_file(dir / "q.md", std::uintmax_t{1} << 30);
    EXPECT_EQ(preview("10", {"needle"}), numbered(25, 34));
    EXPECT_EQ(env.run({"tidewell", "question-list", dir.string()}).out, "line 1\t" + (dir / "q.md").string() + "\n");
    ASSERT_EQ(::mkfifo((dir / "fifo.md").c_str(), 0600), 0);
    EXPECT_EQ(env.run({"tidewell", "question-preview", (dir / "fifo.md").string()}).status, 0);
    fs::create_symlink("/usr/bin/batcat", bin / "bat");
    EXPECT_NE(preview("10", {"needle"}).find("Needle"), std::string::npos);
    EXPECT_EQ(preview("10", {"nowhere"}).find("Needle"), std::string::npos);
    rusage children;
    ::getrusage(RUSAGE_CHILDREN, &children);
    EXPECT_LT(children.ru_maxrss, 256 << 10) << "KiB";
}

// ctrl-x in the picker removes the highlighted question and nothing else, whatever its title
// holds; Enter prints the path of the chosen one.
TEST(QuestionPickerInTmux, DeleteRemovesExactlyTheChosenFile) {
    PrivateEnv env;
    PickerSession s(env);
    const fs::path dir = env.root() / "q";
    const fs::path cwd = env.root() / "work";
    write_text(cwd / "decoy marker-one", "keep me\n");
    write_text(dir / "2026-01-01_00-00-01.md", "tabbed\tdecoy marker-one\n");
    write_text(dir / "2026-01-01_00-00-02.md", "it's \"quoted\" $(touch PWNED) marker-two\n");
    write_text(dir / "2026-01-01_00-00-03.md", "plain marker-three\nbody only the preview shows\n");

    const std::string pane = run_vesk(s, env, {"tidewell", "question-select", dir.string()}, cwd);
    ASSERT_TRUE(s.server().wait_for_text(pane, "filter>")) << s.server().capture(pane);
    ASSERT_TRUE(s.server().wait_for_text(pane, "3/3")) << s.server().capture(pane);
    // The newest question comes first and is previewed.
    EXPECT_TRUE(s.server().wait_for_preview(pane, showing("body only the preview shows"),
                                            [&] { s.server().send_keys(pane, {"C-r"}); }))
        << s.server().capture(pane);
    for (auto [marker, left] : {std::pair{"marker-one", "2/2"}, std::pair{"marker-two", "1/1"}}) {
        s.server().send_text(pane, marker);
        ASSERT_TRUE(s.server().wait_for_text(pane, "1/1")) << s.server().capture(pane);
        s.server().send_keys(pane, {"C-x"});
        ASSERT_TRUE(s.server().wait_for_text(pane, "0/0")) << s.server().capture(pane);
        s.server().send_keys(pane, {"C-d"});
        ASSERT_TRUE(s.server().wait_for_text(pane, left)) << s.server().capture(pane);
    }
    EXPECT_FALSE(fs::exists(dir / "2026-01-01_00-00-01.md"));
    EXPECT_FALSE(fs::exists(dir / "2026-01-01_00-00-02.md"));
    EXPECT_EQ(read_text(cwd / "decoy marker-one"), "keep me\n");
    EXPECT_TRUE(s.pwned().empty());

    s.server().send_keys(pane, {"Enter"});
    EXPECT_EQ(s.server().wait_for_exit(pane), 0);
    EXPECT_NE(s.server().capture(pane).find((dir / "2026-01-01_00-00-03.md").string()), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "2026-01-01_00-00-03.md"));
}

}  // namespace
}  // namespace vesk::agent

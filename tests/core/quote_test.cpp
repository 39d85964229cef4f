#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "core/process.hpp"
#include "core/quote.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

using namespace vesk;
using namespace vesk::test;

namespace {

const std::vector<std::string> kHostileNames = {
    "it's", "say \"hi\"", "$(touch pwned)", "`touch pwned`", "a; touch pwned", "line\nbreak",
    "한글 이름", "#{pane_id} #(touch pwned)", "-leading", "  blanks  ", "", "'", "''\\'",
};

}  // namespace

TEST(Quote, ExactForms) {
    EXPECT_EQ(shell_quote("it's"), "'it'\\''s'");
    EXPECT_EQ(shell_quote(""), "''");
    EXPECT_EQ(vim_single_quote_path("it's"), "'it''s'");
    EXPECT_EQ(vim_single_quote_path("a\nb"), "'a' . \"\\n\" . 'b'");
    // A path that is not UTF-8 is quoted as its lossy text.
    EXPECT_EQ(shell_quote_path(std::string("/x\xff")), "'/x\xEF\xBF\xBD'");
    // shell_word leaves plain words bare and quotes everything else.
    for (const char* bare : {"/usr/local/bin/vesk", "set", "-g", "@vim_bin", "a+b=c:d_e.f", "설정2"})
        EXPECT_EQ(shell_word(bare), bare);
    EXPECT_EQ(shell_word("it's"), "'it'\\''s'");
    EXPECT_EQ(shell_word("/tmp/a b"), "'/tmp/a b'");
    EXPECT_EQ(shell_word("~/x"), "'~/x'");
    EXPECT_EQ(shell_word(""), "''");
    EXPECT_EQ(shell_word(std::string("x\xff")), "'x\xff'");
}

TEST(Quote, ShellGivesEveryNameBackAndRunsNothing) {
    TempDir dir;
    for (const auto& name : kHostileNames) {
        for (const auto& word : {shell_quote(name), shell_word(name)}) {
            ChildCommand sh("sh", {"-c", "printf %s " + word});
            sh.cwd = dir.path().string();
            sh.out = Stdio::Pipe;
            Output out = run_child(sh);
            EXPECT_TRUE(out.status.success()) << name;
            EXPECT_EQ(out.out, name);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
}

TEST(Quote, VimReadsTheLiteralBack) {
    TempDir dir;
    for (const auto& name : kHostileNames) {
        auto out = dir / "out.txt";
        std::filesystem::remove(out);
        write_text(dir / "s.vim",
                   "call writefile([" + vim_single_quote_path(name) + "], " + vim_single_quote_path(out) + ")\nqa!\n");
        ChildCommand vim("vim", {"-es", "-N", "-u", "NONE", "-i", "NONE", "-S", (dir / "s.vim").string()});
        vim.cwd = dir.path().string();
        vim.in = vim.out = vim.err = Stdio::Null;
        run_child(vim);
        std::string expected = name;  // writefile() stores a line feed inside a line as NUL
        std::replace(expected.begin(), expected.end(), '\n', '\0');
        EXPECT_EQ(read_text(out), expected + "\n") << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
}

TEST(Quote, JsonEscapeParsesBack) {
    EXPECT_EQ(json_escape("\x1b\u0085é"), "\\u001b\\u0085é");
    std::string all_controls;
    for (int c = 0; c < 0x20; ++c) all_controls += static_cast<char>(c);
    all_controls += "\x7f\u0080\u009f 한국어 😀 é";
    for (const auto& text : kHostileNames) {
        EXPECT_EQ(nlohmann::json::parse("\"" + json_escape(text) + "\"").get<std::string>(), text);
    }
    EXPECT_EQ(nlohmann::json::parse("\"" + json_escape(all_controls) + "\"").get<std::string>(), all_controls);
}

// tmux's source-file takes a glob pattern and display-message expands formats: the escaped forms
// reach exactly the named file and show the text as it is, running nothing.
TEST(Quote, TmuxSourcePathAndFormatEscape) {
    EXPECT_EQ(tmux_source_path("/a[x]/b*c?d\\e f"), "/a\\[x]/b\\*c\\?d\\\\e f");
    EXPECT_EQ(tmux_format_escape("#{pane_id} #(touch pwned) ##"), "##{pane_id} ##(touch pwned) ####");

    TempDir dir;
    TmuxServer server(80, 20);
    for (const auto& name : kHostileNames) {
        if (name.empty() || name.find('\n') != std::string::npos) continue;
        const auto conf = dir / ("x" + name + "[x]*?\\") / "c.conf";
        write_text(conf, "set -g @sourced yes\n");
        server.tmux_ok({"set", "-gu", "@sourced"});
        const RunResult sourced = server.tmux({"source-file", tmux_source_path(conf.string())});
        EXPECT_EQ(sourced.status, 0) << name << ": " << sourced.err;
        EXPECT_EQ(server.global_option("@sourced"), "yes") << name;
        EXPECT_EQ(server.tmux_ok({"display-message", "-p", "--", tmux_format_escape(name)}), name);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
}

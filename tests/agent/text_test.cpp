#include <gtest/gtest.h>

#include <sys/stat.h>

#include "agent/preview.hpp"
#include "agent/text.hpp"
#include "core/text.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

TEST(AgentText, MatchingAndQuestionText) {
    EXPECT_TRUE(smart_case_contains("README.md", "readme"));
    EXPECT_FALSE(smart_case_contains("readme.md", "ReadMe"));
    EXPECT_TRUE(smart_case_contains("ÄPFEL", "äpfel"));

    EXPECT_EQ(stamp_first_line("\n \n\t\n", "S"), "[S]\n");
    EXPECT_EQ(stamp_first_line("\n\nhello\n\nworld", "S"), "[S] hello\n\nworld\n");
    EXPECT_EQ(trim_leading_blank_lines(" \r\n\r\na\r\n\r\nb"), "a\n\nb\n");
}

TEST(AgentText, FirstNonEmptyLine) {
    TempDir dir;
    write_text(dir / "late", std::string(20, '\n') + "late\n");
    EXPECT_FALSE(first_non_empty_line(dir / "late"));
    write_text(dir / "early", "\n \n  indented \n" + std::string(20, '\n') + "\xff\n");
    EXPECT_EQ(first_non_empty_line(dir / "early"), "  indented ");  // judged on its first 20 lines
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(first_non_empty_line(dir / "fifo"));  // not waited on
}

// filter_lines, sort_like_shell and show_range use fzf, sort and bat when they are there and
// fall back to their own ways when they are missing or fail.
TEST(AgentText, OutsideProgramsAndTheirFallbacks) {
    TempDir dir;
    EnvGuard env;
    env.set("LC_ALL", "C.UTF-8");
    fs::create_directories(dir / "bin");
    const std::string text = "Apple pie\nbanana\n한국어 노트\n";
    const std::vector<std::string> lines{"b", "B", "a", "가", "a"};
    const std::vector<std::string> bytewise{"B", "a", "a", "b", "가"};
    std::string numbered;
    for (int i = 1; i <= 50; ++i) numbered += "line " + std::to_string(i) + "\n";
    write_text(dir / "f.txt", numbered);
    const auto show = [&](std::optional<LineRange> range) {
        return capture_stdout([&] { show_range(dir / "f.txt", 11, range); });
    };

    env.set("PATH", (dir / "bin").string());  // nothing there yet
    EXPECT_EQ(filter_lines("a\nb", ""), "a\nb\n");
    EXPECT_EQ(filter_lines(text, "APPLE"), "Apple pie\n");
    EXPECT_EQ(sort_like_shell(lines), bytewise);
    EXPECT_EQ(show(LineRange{10, 12}), "     1\tline 10\n     2\tline 11\n     3\tline 12\n");
    EXPECT_EQ(split_lines(show(std::nullopt)).size(), 40u);

    for (const char* name : {"fzf", "sort"}) fs::create_symlink(std::string("/usr/bin/") + name, dir / "bin" / name);
    fs::create_symlink("/usr/bin/batcat", dir / "bin" / "bat");
    EXPECT_EQ(filter_lines(text, "bnn"), "banana\n");  // fuzzy: fzf really ran
    EXPECT_EQ(sort_like_shell(lines), bytewise);
    std::string shown = show(LineRange{10, 12});
    EXPECT_NE(shown.find("\x1b["), std::string::npos);  // bat colours even into a file
    EXPECT_NE(shown.find("line 12"), std::string::npos);
    EXPECT_EQ(shown.find("line 13"), std::string::npos);

    // Debian's name for bat is found as well.
    fs::remove(dir / "bin" / "bat");
    fs::create_symlink("/usr/bin/batcat", dir / "bin" / "batcat");
    EXPECT_NE(show(LineRange{10, 12}).find("\x1b["), std::string::npos);
    fs::remove(dir / "bin" / "batcat");

    fs::remove(dir / "bin" / "sort");
    write_script(dir / "bin" / "sort", "echo junk\nexit 2\n");
    write_script(dir / "bin" / "bat", "exit 1\n");
    EXPECT_EQ(sort_like_shell(lines), bytewise);
    EXPECT_EQ(show(LineRange{50, 60}), "     1\tline 50\n");
}

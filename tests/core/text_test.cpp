#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "core/files.hpp"
#include "core/text.hpp"
#include "env_guard.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using vesk::test::EnvGuard;
using vesk::test::TempDir;
using vesk::test::read_text;
using vesk::test::write_text;
namespace fs = std::filesystem;

namespace {

// Runs f with standard output sent to a file (children inherit it too) and returns what came.
template <class F>
std::string capture_stdout(F&& f) {
    TempDir dir;
    auto file = dir / "stdout";
    std::fflush(stdout);
    int saved = ::dup(1);
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 1);
    ::close(fd);
    try {
        f();
    } catch (...) {
        std::fflush(stdout);
        ::dup2(saved, 1);
        ::close(saved);
        throw;
    }
    std::fflush(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    return read_text(file);
}

// A private PATH holding only the named programs, linked to their real files.
void private_path(EnvGuard& env, const fs::path& bin, const std::map<std::string, std::string>& links) {
    fs::create_directories(bin);
    for (const auto& [name, target] : links) fs::create_symlink(target, bin / name);
    env.set("PATH", bin.string());
}

}  // namespace

TEST(Text, LossyDecodingAndLines) {
    EXPECT_EQ(lossy_utf8("한국어"), "한국어");
    EXPECT_EQ(lossy_utf8("a\xff" "b"), "a\uFFFD" "b");
    // A truncated sequence becomes one replacement, and the next good character survives.
    EXPECT_EQ(lossy_utf8("\xE2\x82" "A"), "\uFFFD" "A");
    EXPECT_EQ(lossy_utf8("\xED\xA0\x80"), "\uFFFD\uFFFD\uFFFD");  // a surrogate is not UTF-8
    EXPECT_EQ(lossy_utf8("\xF0\x9F\x98"), "\uFFFD");
    EXPECT_FALSE(is_valid_utf8("\xC0\x80"));

    EXPECT_EQ(split_lines("a\r\nb\n\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(split_lines("a\n"), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(split_lines("").empty());

    EXPECT_EQ(trim("\u3000\t 가 나 \u00a0\n"), "가 나");
    EXPECT_TRUE(is_blank(" \u2028\r\n"));
    EXPECT_EQ(to_lower("İSTANBUL ΟΔΟΣ Ä"), "i\u0307stanbul οδος ä");
    EXPECT_TRUE(is_upper(U'Ä'));
    EXPECT_FALSE(is_upper(U'한'));
}

TEST(Text, DisplayWidthAndPadding) {
    EXPECT_EQ(display_width("한국어"), 6u);
    EXPECT_EQ(display_width("Ａ"), 2u);  // full-width Latin
    EXPECT_EQ(display_width("😀"), 1u);  // beyond U+FFFF counts 1 here
    EXPECT_EQ(display_width("e\u0301"), 2u);  // combining marks count too
    EXPECT_EQ(pad_display("한a", 5), "한a  ");
    EXPECT_EQ(pad_display("한국어", 4), "한국어");
}

TEST(Text, Matching) {
    EXPECT_TRUE(subsequence_match("rd me", "README.md"));
    EXPECT_TRUE(subsequence_match("md rd", "README.md"));
    EXPECT_FALSE(subsequence_match("dr", "README.md"));
    EXPECT_TRUE(subsequence_match("  ", "anything"));
    EXPECT_TRUE(subsequence_match("한어", "한국어 노트"));
    EXPECT_FALSE(subsequence_match("어한", "한국어"));

    EXPECT_TRUE(smart_case_contains("README.md", "readme"));
    EXPECT_FALSE(smart_case_contains("readme.md", "ReadMe"));
    EXPECT_TRUE(smart_case_contains("x", ""));
    EXPECT_TRUE(smart_case_contains("회의 노트", "노트"));
    EXPECT_TRUE(smart_case_contains("ÄPFEL", "äpfel"));
    EXPECT_FALSE(smart_case_contains("äpfel", "Äpfel"));
}

TEST(Text, SmallFormatters) {
    EXPECT_EQ(parse_i32(" 42 ", 7), 42);
    EXPECT_EQ(parse_i32("+5", 7), 5);
    EXPECT_EQ(parse_i32("-", 7), 7);
    EXPECT_EQ(parse_i32("4x", 7), 7);
    EXPECT_EQ(parse_i32("2147483648", 7), 7);
    EXPECT_EQ(parse_i32("-2147483648", 7), INT32_MIN);
    EXPECT_EQ(parse_i32("99999999999999999999", 7), 7);
    EXPECT_EQ(parse_i32("", 7), 7);
    EXPECT_EQ(safe_name("my proj/a:b\\c"), "my-proj-a-b-c");

    EXPECT_EQ(stamp_first_line("\n \n\t\n", "S"), "[S]\n");
    EXPECT_EQ(stamp_first_line("\n\nhello\n\nworld", "S"), "[S] hello\n\nworld\n");
    EXPECT_EQ(trim_leading_blank_lines(" \r\n\r\na\r\n\r\nb"), "a\n\nb\n");
    EXPECT_EQ(trim_leading_blank_lines("\n  \n"), "");
}

TEST(Text, FirstNonEmptyLineAndMoveLineToBottom) {
    TempDir dir;
    write_text(dir / "late", std::string(20, '\n') + "late\n");
    EXPECT_FALSE(first_non_empty_line(dir / "late"));
    write_text(dir / "early", "\n \n  indented \n");
    EXPECT_EQ(first_non_empty_line(dir / "early"), "  indented ");
    EXPECT_FALSE(first_non_empty_line(dir / "missing"));

    write_text(dir / "fav", "x\n/a\ny\n/a\n");
    move_line_to_bottom(dir / "fav", "/a");
    EXPECT_EQ(read_text(dir / "fav"), "x\ny\n/a\n");
    EXPECT_THROW(move_line_to_bottom(dir / "missing", "/a"), std::exception);
}

TEST(Text, FilterLinesWithAndWithoutFzf) {
    TempDir dir;
    const std::string text = "Apple pie\nbanana\n한국어 노트\n";
    EXPECT_EQ(filter_lines("a\nb", ""), "a\nb\n");
    EXPECT_EQ(filter_lines("", ""), "");
    {
        EnvGuard env;
        env.set("PATH", (dir / "empty").string());
        EXPECT_EQ(filter_lines(text, "APPLE"), "Apple pie\n");
        EXPECT_EQ(filter_lines(text, "노트"), "한국어 노트\n");
        EXPECT_EQ(filter_lines(text, "zzz"), "");
    }
    {
        EnvGuard env;
        private_path(env, dir / "bin", {{"fzf", "/usr/bin/fzf"}});
        EXPECT_EQ(filter_lines(text, "bnn"), "banana\n");  // fuzzy: fzf really ran
        EXPECT_EQ(filter_lines(text, "zzz"), "");
    }
}

TEST(Text, SortLikeShellWithAndWithoutSort) {
    TempDir dir;
    const std::vector<std::string> lines{"b", "B", "a", "가", "a"};
    const std::vector<std::string> bytewise{"B", "a", "a", "b", "가"};
    EnvGuard env;
    env.set("LC_ALL", "C.UTF-8");
    env.set("PATH", (dir / "empty").string());
    EXPECT_EQ(sort_like_shell(lines), bytewise);
    EXPECT_TRUE(sort_like_shell({}).empty());

    private_path(env, dir / "bin", {{"sort", "/usr/bin/sort"}});
    EXPECT_EQ(sort_like_shell(lines), bytewise);
    EXPECT_TRUE(sort_like_shell({}).empty());

    // A sort that fails leaves the ordering to the fallback.
    fs::create_directories(dir / "failing");
    write_text(dir / "failing" / "sort", "#!/bin/sh\necho junk\nexit 2\n");
    fs::permissions(dir / "failing" / "sort", fs::perms::owner_all);
    env.set("PATH", (dir / "failing").string());
    EXPECT_EQ(sort_like_shell(lines), bytewise);
}

TEST(Text, ShowRangeWithAndWithoutBat) {
    TempDir dir;
    std::string text;
    for (int i = 1; i <= 50; ++i) text += "line " + std::to_string(i) + "\n";
    write_text(dir / "f.txt", text);
    EnvGuard env;
    env.set("PATH", (dir / "empty").string());
    EXPECT_EQ(capture_stdout([&] { show_range(dir / "f.txt", 11, LineRange{10, 12}); }),
              "     1\tline 10\n     2\tline 11\n     3\tline 12\n");
    std::string first_window = capture_stdout([&] { show_range(dir / "f.txt", std::nullopt, std::nullopt); });
    EXPECT_EQ(split_lines(first_window).size(), 40u);
    EXPECT_EQ(split_lines(first_window).back(), "    40\tline 40");
    EXPECT_EQ(capture_stdout([&] { show_range(dir / "missing", std::nullopt, std::nullopt); }), "");

    private_path(env, dir / "bin", {{"bat", "/usr/bin/batcat"}});
    std::string shown = capture_stdout([&] { show_range(dir / "f.txt", 11, LineRange{10, 12}); });
    EXPECT_NE(shown.find("\x1b["), std::string::npos);  // bat colours even into a file
    EXPECT_NE(shown.find("line 12"), std::string::npos);
    EXPECT_EQ(shown.find("line 13"), std::string::npos);

    // bat failing falls back to the plain window.
    fs::remove(dir / "bin" / "bat");
    write_text(dir / "bin" / "bat", "#!/bin/sh\nexit 1\n");
    fs::permissions(dir / "bin" / "bat", fs::perms::owner_all);
    EXPECT_EQ(capture_stdout([&] { show_range(dir / "f.txt", std::nullopt, LineRange{50, 60}); }),
              "     1\tline 50\n");
}

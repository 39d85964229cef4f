#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "core/error.hpp"
#include "pickers/walkers.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

namespace {

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

std::vector<std::string> relative(const std::vector<fs::path>& paths, const fs::path& root) {
    std::vector<std::string> out;
    for (const auto& p : paths) out.push_back(p.lexically_relative(root).string());
    return sorted(out);
}

}  // namespace

TEST(Walkers, HiddenAndGitDirectoriesAndMarkdownFiles) {
    TempDir dir;
    for (const char* d : {"a/b", ".cache/x", "a/.hidden", ".git/objects/pack", ".github/workflows"})
        fs::create_directories(dir / d);
    std::vector<std::string> out;
    visit_dirs(dir.path(), dir.path(), out);
    EXPECT_EQ(sorted(out), (std::vector<std::string>{"a", "a/b"}));

    out.clear();
    collect_dirs(dir.path(), dir.path(), out);
    EXPECT_EQ(sorted(out), (std::vector<std::string>{".cache", ".cache/x", ".github", ".github/workflows", "a",
                                                     "a/.hidden", "a/b"}));
    EXPECT_LT(std::find(out.begin(), out.end(), "a"), std::find(out.begin(), out.end(), "a/b"));
    out.clear();
    collect_dirs(dir / ".git", dir / ".git", out);
    EXPECT_TRUE(out.empty());
    EXPECT_THROW(visit_dirs(dir / "missing", dir / "missing", out), SystemError);

    for (const char* f : {"notes.md", "notes.MD", "notes.markdown", ".md", "a/x.md", "a/.hidden/y.md"})
        write_text(dir / f, "");
    std::vector<fs::path> md;
    visit_files(dir.path(), find_md_files(md));
    EXPECT_EQ(relative(md, dir.path()), (std::vector<std::string>{"a/.hidden/y.md", "a/x.md", "notes.md"}));
}

TEST(Walkers, LinksBackToAnAncestorAreWalkedOnce) {
    TempDir dir;
    write_text(dir / "a" / "b" / "n.md", "");
    fs::create_directory_symlink("../..", dir / "a" / "b" / "up");
    std::vector<std::string> out;
    collect_dirs(dir.path(), dir.path(), out);
    EXPECT_EQ(sorted(out), (std::vector<std::string>{"a", "a/b", "a/b/up"}));
    out.clear();
    visit_dirs(dir.path(), dir.path(), out);
    EXPECT_EQ(sorted(out), (std::vector<std::string>{"a", "a/b", "a/b/up"}));
    std::vector<fs::path> md;
    visit_files(dir.path(), find_md_files(md));
    EXPECT_EQ(relative(md, dir.path()), std::vector<std::string>{"a/b/n.md"});
}

TEST(Walkers, RgFiles) {
    TempDir dir;
    for (const char* f : {"top.txt", "sub/파일 it's.md", ".hidden", "ignored.log", "sub/d1/d2/d3/five.txt",
                          "sub/d1/d2/d3/d4/six.txt"})
        write_text(dir / f, "");
    write_text(dir / ".ignore", "*.log\n");
    EXPECT_EQ(relative(rg_files(dir.path()), dir.path()),
              (std::vector<std::string>{"sub/d1/d2/d3/five.txt", "sub/파일 it's.md", "top.txt"}));
    EXPECT_TRUE(rg_files(dir / "missing").empty());
    // Each name whole, as its bytes: a line feed or bytes that are not UTF-8 still name the file.
    TempDir odd;
    for (const std::string& f : std::vector<std::string>{"two\nlines", "bad\xff", "-rf"}) write_text(odd / f, "");
    for (const fs::path& p : rg_files(odd.path())) EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_EQ(rg_files(odd.path()).size(), 3u);
    if (::geteuid() != 0) {
        ::chmod((dir / "sub").c_str(), 0);
        EXPECT_TRUE(rg_files(dir / "sub").empty());
        ::chmod((dir / "sub").c_str(), 0755);
    }
}

// The directory popup's walk from wherever the user stands: every place once, unreadable corners and
// the kernel's generated trees passed over, never a failure of the whole list.
TEST(Walkers, CollectDirsVisitsEachPlaceOnceAndGoesOn) {
    TempDir dir;
    // Two links to the next level at each of 24 levels: 2^24 ways down, 24 directories.
    fs::path level = dir.path();
    for (int i = 0; i < 24; ++i) {
        fs::create_directories(level / "n");
        fs::create_directory_symlink("n", level / "l1");
        fs::create_directory_symlink("n", level / "l2");
        level /= "n";
    }
    std::vector<std::string> out;
    collect_dirs(dir.path(), dir.path(), out);
    EXPECT_EQ(out.size(), 72u);

    TempDir other;
    fs::create_directories(other / "locked" / "inside");
    fs::create_directories(other / "z");
    fs::create_directory_symlink("/proc", other / "proc");
    ::chmod((other / "locked").c_str(), 0);
    out.clear();
    collect_dirs(other.path(), other.path(), out);
    ::chmod((other / "locked").c_str(), 0755);
    if (::geteuid() != 0) EXPECT_EQ(sorted(out), (std::vector<std::string>{"locked", "proc", "z"}));
    else EXPECT_EQ(std::count(out.begin(), out.end(), "proc"), 1);
    EXPECT_THROW(collect_dirs(other / "missing", other / "missing", out), SystemError);
}

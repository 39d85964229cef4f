#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "core/error.hpp"
#include "core/walkers.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using vesk::test::TempDir;
using vesk::test::write_text;
namespace fs = std::filesystem;

namespace {

template <class T>
std::vector<T> sorted(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    return v;
}

void make_tree(const fs::path& root) {
    for (const char* d : {"a/b", ".cache/x", "a/.hidden", ".git/objects/pack", ".github/workflows"})
        fs::create_directories(root / d);
    write_text(root / "a" / "file.txt", "");
}

std::vector<std::string> strings(const std::vector<fs::path>& paths, const fs::path& root) {
    std::vector<std::string> out;
    for (const auto& p : paths) out.push_back(p.lexically_relative(root).string());
    return sorted(out);
}

}  // namespace

TEST(Walkers, VisitDirsSkipsHiddenAndCollectDirsSkipsGit) {
    TempDir dir;
    make_tree(dir.path());
    std::vector<std::string> out;
    visit_dirs(dir.path(), dir.path(), out);
    EXPECT_EQ(sorted(out), (std::vector<std::string>{"a", "a/b"}));

    out.clear();
    collect_dirs(dir.path(), dir.path(), out);
    EXPECT_EQ(sorted(out), (std::vector<std::string>{".cache", ".cache/x", ".github", ".github/workflows", "a",
                                                     "a/.hidden", "a/b"}));
    // Parents come before their children.
    EXPECT_LT(std::find(out.begin(), out.end(), "a"), std::find(out.begin(), out.end(), "a/b"));

    out.clear();
    collect_dirs(dir / ".git", dir / ".git", out);
    EXPECT_TRUE(out.empty());

    out.clear();
    EXPECT_THROW(visit_dirs(dir / "missing", dir / "missing", out), SystemError);
}

TEST(Walkers, VisitFilesWithCollectors) {
    TempDir dir;
    fs::create_directories(dir / "q" / ".hidden");
    for (const char* f : {"notes.md", "notes.MD", "notes.markdown", ".md", "q/a.md", "q/.hidden/b.md", "q/c.txt"})
        write_text(dir / f, "");
    std::vector<fs::path> md;
    visit_files(dir.path(), find_md_files(md));
    EXPECT_EQ(strings(md, dir.path()), (std::vector<std::string>{"notes.md", "q/.hidden/b.md", "q/a.md"}));
    std::vector<fs::path> all;
    visit_files(dir.path(), matching_files(all));
    EXPECT_EQ(all.size(), 7u);
}

TEST(Walkers, LinksBackToAnAncestorAreWalkedOnce) {
    TempDir dir;
    fs::create_directories(dir / "a" / "b");
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
    EXPECT_EQ(strings(md, dir.path()), std::vector<std::string>{"a/b/n.md"});
}

TEST(Walkers, RgFiles) {
    TempDir dir;
    fs::create_directories(dir / "sub" / "d1" / "d2" / "d3" / "d4" / "d5");
    for (const char* f : {"top.txt", "sub/파일 it's.md", ".hidden", "ignored.log", "sub/d1/d2/d3/five.txt",
                          "sub/d1/d2/d3/d4/six.txt"})
        write_text(dir / f, "");
    write_text(dir / ".ignore", "*.log\n");
    auto files = rg_files(dir.path());
    for (const auto& f : files) EXPECT_EQ(f.parent_path().string().rfind(dir.path().string(), 0), 0u);
    EXPECT_EQ(strings(files, dir.path()),
              (std::vector<std::string>{"sub/d1/d2/d3/five.txt", "sub/파일 it's.md", "top.txt"}));
    EXPECT_TRUE(rg_files(dir / "missing").empty());
    if (::geteuid() != 0) {
        ::chmod((dir / "sub").c_str(), 0);
        EXPECT_TRUE(rg_files(dir / "sub").empty());
        ::chmod((dir / "sub").c_str(), 0755);
    }
}

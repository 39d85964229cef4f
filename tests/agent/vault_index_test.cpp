// The vault index on real trees: what the walk keeps and skips, the titles, the order, the
// appended lines and the parsers that read lines back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "agent/vault_ignore.hpp"
#include "agent/vault_index.hpp"
#include "agent/vault_root.hpp"
#include "core/error.hpp"
#include "vault_fixture.hpp"

namespace vesk::agent {
namespace {

using test::TempDir;
using test::set_mtime;
using test::read_text;
using test::write_text;
namespace fs = std::filesystem;

std::vector<std::string> lines_of(const std::vector<QuillboxIndexEntry>& entries) {
    std::vector<std::string> lines;
    for (const auto& e : entries) lines.push_back(e.line());
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> walk(const fs::path& root, const std::vector<std::string>& patterns = {}) {
    std::vector<QuillboxIndexEntry> entries;
    collect_quillbox_index_entries(root, root, patterns, entries);
    return lines_of(entries);
}

TEST(VaultIndex, WildcardsMatchTheWholeTextBytewise) {
    EXPECT_TRUE(wildcard_match("*.tmp", "a.tmp"));
    EXPECT_FALSE(wildcard_match("tmp", "a.tmp"));
    EXPECT_TRUE(wildcard_match("a?c", "abc"));
    EXPECT_FALSE(wildcard_match("a?c", "ac"));
    EXPECT_TRUE(wildcard_match("drafts/", "drafts"));
    EXPECT_TRUE(wildcard_match("drafts///", "drafts"));
    EXPECT_TRUE(wildcard_match("a*b*c", "aXXbYYbc"));
    EXPECT_TRUE(wildcard_match("*", ""));
    EXPECT_FALSE(wildcard_match("?", ""));
    EXPECT_TRUE(wildcard_match("a*", "a*"));    // a star in the text meets the star as itself
    EXPECT_TRUE(wildcard_match("*x", "a*x"));
    EXPECT_TRUE(wildcard_match("한*", "한국어"));
    EXPECT_FALSE(wildcard_match("?", "한"));     // one byte, not one character
    EXPECT_TRUE(wildcard_match("notes/old", "notes/old"));
    EXPECT_FALSE(wildcard_match("notes/old", "x/notes/old"));
}

TEST(VaultIndex, TitlesLinesAndTheParsersThatReadThemBack) {
    EXPECT_EQ(quillbox_title(std::string("\n  a | b  \nmore\n")), "a   b");
    EXPECT_EQ(quillbox_title(std::string("")), "(empty)");
    EXPECT_EQ(quillbox_title(std::string(20, '\n') + "late\n"), "(empty)");
    EXPECT_EQ(quillbox_title(std::string(19, '\n') + "just in\n"), "just in");
    EXPECT_EQ(quillbox_title(std::string("\r\n \t\r\nwin\r\n")), "win");
    EXPECT_EQ(quillbox_title(std::string("ok\n\xff\n")), "(empty)");  // not UTF-8 anywhere: no text
    EXPECT_EQ(quillbox_title(std::nullopt), "(empty)");
    std::string korean;
    for (int i = 0; i < 150; ++i) korean += "가";
    std::string hundred;
    for (int i = 0; i < 100; ++i) hundred += "가";
    EXPECT_EQ(quillbox_title(korean), hundred);

    EXPECT_EQ((QuillboxIndexEntry{"", "a.md", "t", 7}).line(), " | a.md | t | 7");
    EXPECT_EQ(parse_index_line_for_path(" | a.md | t | 7"), "a.md");
    EXPECT_EQ(parse_index_line_for_path("prompts/x | b.md | t | 7"), "prompts/x/b.md");
    EXPECT_EQ(parse_index_line_for_path("prompts|b.md"), "prompts/b.md");
    EXPECT_EQ(parse_index_line_for_path("no bars"), std::nullopt);

    EXPECT_EQ(index_mtime("a | b | c | 1700000000"), 1700000000u);
    EXPECT_EQ(index_mtime("a | b | c | +12 "), 12u);
    EXPECT_EQ(index_mtime("a | b | c | soon"), 0u);
    EXPECT_EQ(index_mtime("a | b | c | "), 0u);
    EXPECT_EQ(index_mtime("42"), 42u);
    EXPECT_EQ(index_mtime("x | 18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(index_mtime("x | 18446744073709551616"), 0u);
    EXPECT_EQ(index_mtime("x | -1"), 0u);

    std::vector<std::string> lines = {"b | 3", "a | 3", "z | 1", "junk", "a | 3"};
    sort_index_lines(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"junk", "z | 1", "a | 3", "a | 3", "b | 3"}));
}

TEST(VaultIndex, TheWalkSkipsHiddenOwnAndIgnoredEntriesAndFollowsLinksOnce) {
    TempDir dir;
    const fs::path r = dir / "vault";
    write_text(r / "a.md", "\n  first | line  \n");
    write_text(r / "prompts" / "x" / "b.md", "hello\n");
    write_text(r / ".git" / "HEAD", "ref\n");
    write_text(r / ".DS_Store", "");
    write_text(r / ".index", "old\n");
    write_text(r / ".recent", "a.md\n");
    write_text(r / "quillbox-ignore.list", "x\n");
    write_text(r / "deep" / "quillbox-ignore.list", "x\n");
    write_text(r / "pipe|and:colon $(x) #{y}.md", "t\n");
    write_text(r / "line\nbreak.md", "t\n");  // would split its index line in two
    write_text(r / "bad\xff.md", "t\n");
    set_mtime(r / "a.md", 1700000000);
    set_mtime(r / "prompts" / "x" / "b.md", 1700000001);
    set_mtime(r / "pipe|and:colon $(x) #{y}.md", 5);
    // Links: to a file, to a folder outside, back to an ancestor, and one that leads nowhere.
    write_text(dir / "outside" / "o.md", "out\n");
    set_mtime(dir / "outside" / "o.md", 9);
    fs::create_directory_symlink(dir / "outside", r / "linked");
    fs::create_symlink(r / "a.md", r / "alias.md");
    fs::create_directory_symlink("../..", r / "prompts" / "x" / "up");
    fs::create_symlink(r / "missing", r / "dangling.md");
    ::mkfifo((r / "fifo").c_str(), 0600);

    EXPECT_EQ(walk(r), (std::vector<std::string>{
                           " | a.md | first   line | 1700000000",
                           " | alias.md | first   line | 1700000000",
                           " | pipe|and:colon $(x) #{y}.md | t | 5",
                           "linked | o.md | out | 9",
                           "prompts/x | b.md | hello | 1700000001",
                       }));

    // Patterns match the name first, then the path relative to the root; skipped folders stay shut.
    write_text(r / "drafts" / "d.md", "");
    write_text(r / "notes" / "drafts" / "e.md", "");
    write_text(r / "notes" / "old" / "f.md", "");
    write_text(r / "old" / "g.md", "");
    write_text(r / "t.tmp", "");
    std::vector<std::string> kept = walk(r, {"drafts/", "*.tmp", "notes/old", "linked", "pipe*", "alias.md"});
    EXPECT_EQ(kept.size(), 3u) << ::testing::PrintToString(kept);
    for (const char* gone : {"d.md", "e.md", "f.md", "t.tmp", "o.md"})
        for (const auto& line : kept) EXPECT_EQ(line.find(gone), std::string::npos) << line;
    EXPECT_NE(std::find_if(kept.begin(), kept.end(), [](auto& l) { return l.starts_with("old | g.md"); }), kept.end());

    // A folder that cannot be listed ends the walk with its error.
    fs::create_directories(r / "locked");
    fs::permissions(r / "locked", fs::perms::none);
    if (::geteuid() != 0) EXPECT_THROW(walk(r), SystemError);
    fs::permissions(r / "locked", fs::perms::owner_all);
    std::vector<QuillboxIndexEntry> entries;
    EXPECT_THROW(collect_quillbox_index_entries(r, r / "missing", {}, entries), SystemError);
}

TEST(VaultIndex, OneEntryTheOrderAndAppending) {
    TempDir dir;
    const fs::path r = dir / "vault";
    write_text(r / "n" / "a.md", "A\n");
    write_text(r / "n" / "b.md", "B\n");
    write_text(r / "old.md", "O\n");
    set_mtime(r / "n" / "a.md", 100);
    set_mtime(r / "n" / "b.md", 100);
    set_mtime(r / "old.md", 50);

    EXPECT_EQ(quillbox_index_entry(r, r / "n" / "a.md")->line(), "n | a.md | A | 100");
    EXPECT_EQ(quillbox_index_entry(r, r / "n" / "./a.md")->line(), "n | a.md | A | 100");
    EXPECT_EQ(quillbox_index_entry(r, r / ".hidden"), std::nullopt);
    EXPECT_THROW(quillbox_index_entry(r, dir / "elsewhere.md"), Error);
    EXPECT_THROW(quillbox_index_entry(r, r / ".." / "x.md"), Error);
    EXPECT_THROW(quillbox_index_entry(r, r / "n" / "gone.md"), SystemError);
    struct stat st;
    ASSERT_EQ(::stat((r / "old.md").c_str(), &st), 0);

    std::vector<QuillboxIndexEntry> entries;
    collect_quillbox_index_entries(r, r, {}, entries);
    EXPECT_EQ(quillbox_index_text(entries), " | old.md | O | 50\nn | a.md | A | 100\nn | b.md | B | 100\n");
    EXPECT_EQ(quillbox_index_text({}), "");
    entries.clear();
    collect_quillbox_index_entries(r, r / "n", {}, entries);  // a subfolder keeps paths from the root
    EXPECT_EQ(lines_of(entries), (std::vector<std::string>{"n | a.md | A | 100", "n | b.md | B | 100"}));

    // Appends add one line at the end (no re-sort), creating the index when missing.
    append_quillbox_index_entry(r, r / "old.md");
    append_quillbox_index_entry(r, r / "n" / "a.md");
    append_quillbox_index_entry(r, r / ".secret");
    EXPECT_EQ(read_text(r / ".index"), " | old.md | O | 50\nn | a.md | A | 100\n");
}

// A chain of `levels` folders named d below `top`, made through descriptors (its paths grow past
// what the system opens), with a file f.md at the levels `with_file` names.
void make_chain(const fs::path& top, int levels, const std::vector<int>& with_file) {
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 1; level <= levels && fd >= 0; ++level) {
        ::mkdirat(fd, "d", 0755);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        if (std::find(with_file.begin(), with_file.end(), level) != with_file.end())
            ::close(::openat(fd, "f.md", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }
    ::close(fd);
}

// Removes it again from the bottom up, each level from the one above it: no path ever grows long.
void remove_chain(const fs::path& top) {
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int depth = 0;
    for (int next; (next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) >= 0; ++depth) {
        ::close(fd);
        fd = next;
    }
    for (; depth > 0; --depth) {
        ::unlinkat(fd, "f.md", 0);
        const int up = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = up;
        ::unlinkat(fd, "d", AT_REMOVEDIR);
    }
    ::close(fd);
}

// Thousands of levels neither overflow the stack nor fail the build: what lies too deep to be
// opened by its path is left out like a file that vanished.
TEST(VaultIndex, TreesOfAnyDepth) {
    TempDir dir;
    const fs::path r = dir / "vault";
    fs::create_directories(r);
    make_chain(r, 5000, {1, 1000, 5000});
    std::vector<QuillboxIndexEntry> entries;
    EXPECT_NO_THROW(collect_quillbox_index_entries(r, r, {}, entries));
    remove_chain(r);
    std::string thousand = "d";
    for (int level = 2; level <= 1000; ++level) thousand += "/d";
    std::vector<std::string> dirs;
    for (const auto& e : entries) dirs.push_back(e.dir);
    std::sort(dirs.begin(), dirs.end());
    EXPECT_EQ(dirs, (std::vector<std::string>{"d", thousand}));
}

// Only the first twenty lines, and no more than a title can need, are read and judged.
TEST(VaultIndex, TitlesComeFromTheHeadOfTheFile) {
    TempDir dir;
    const fs::path r = dir / "vault";
    write_text(r / "late-junk.md", "head\n" + std::string(25, '\n') + "\xff\xfe\n");
    std::string endless, hundred;
    for (int i = 0; i < 100000; ++i) endless += "가";  // one line of 300,000 bytes
    for (int i = 0; i < 100; ++i) hundred += "가";
    write_text(r / "endless.md", endless);
    write_text(r / "huge.md", "huge title\n");
    fs::resize_file(r / "huge.md", std::uintmax_t{1} << 30);  // sparse: nothing of it is written
    EXPECT_EQ(quillbox_index_entry(r, r / "late-junk.md")->title, "head");
    EXPECT_EQ(quillbox_index_entry(r, r / "endless.md")->title, hundred);
    EXPECT_EQ(quillbox_index_entry(r, r / "huge.md")->title, "huge title");
}

TEST(VaultIndex, IgnoreListsVaultFirstThenInstallation) {
    TempDir dir;
    const fs::path r = dir / "vault", zelt = dir / "zelt";
    EXPECT_TRUE(quillbox_ignore_patterns(zelt, r).empty());
    write_text(zelt / "lists" / "quillbox-ignore.list", "# comment\n\n  *.tmp  \nnotes/old/\n");
    EXPECT_EQ(quillbox_ignore_patterns(zelt, r), (std::vector<std::string>{"*.tmp", "notes/old/"}));
    write_text(r / ".lists" / "quillbox-ignore.list", "drafts\n");
    EXPECT_EQ(quillbox_ignore_patterns(zelt, r), (std::vector<std::string>{"drafts"}));
}

TEST(VaultIndex, PathsBelowTheRoot) {
    EXPECT_EQ(path_below("/v/a/b.md", "/v"), fs::path("a/b.md"));
    EXPECT_EQ(path_below("/v/a/b.md", "/v/"), fs::path("a/b.md"));
    EXPECT_EQ(path_below("/v", "/v/"), fs::path());
    EXPECT_EQ(path_below("/v/../etc/x", "/v"), std::nullopt);
    EXPECT_EQ(path_below("/vault/x", "/v"), std::nullopt);
    EXPECT_EQ(path_below("a/b", "."), fs::path("a/b"));
    EXPECT_EQ(path_below("../b", "."), std::nullopt);
    EXPECT_FALSE(lies_under("/v", "/v"));
    EXPECT_TRUE(lies_under("/v/.", "/v", true));
    EXPECT_TRUE(lies_under("/v/x/../y", "/v"));
}

}  // namespace
}  // namespace vesk::agent

// The finder's list commands as fzf runs them on every keystroke, run as the built program in the
// searched directory against real rg, git and ugrep.
#include <gtest/gtest.h>

#include <set>

#include "core/command.hpp"
#include "core/process.hpp"
#include "pickers/note_lines.hpp"
#include "support/picker_session.hpp"
#include "support/private_env.hpp"

namespace vesk::test {
namespace {

using Lines = std::set<std::string>;

const std::string kNames = "[모드: 📄 파일명 검색] C-t 전환 · C-g Git\n";
const std::string kHits = "[모드: 📝 내용 검색] C-t 전환 · C-g Git\n";
const std::string kGitList = "[모드: 🟢 Git 변경 파일] C-g 토글\n";
const std::string kGitHits = "[모드: 🟠 Git 내용 검색] C-g 토글\n";

struct Finder {
    PrivateEnv env;
    fs::path dir = fs::canonical(env.root()) / "work", mode = env.tmp() / "mf-mode";

    Finder() { fs::create_directories(dir); }

    // As the binding runs it: `cd ROOT && vesk finder SEARCH MODE_FILE QUERY`.
    RunResult search(const std::string& which_search, const std::string& mode_text,
                     const std::optional<std::string>& query = std::nullopt, const fs::path& cwd = {}) const {
        if (!mode_text.empty()) write_text(mode, mode_text + "\n");
        std::vector<std::string> args{"-c", "cd \"$1\" && shift && exec \"$@\"", "sh", (cwd.empty() ? dir : cwd).string(),
                                      vesk_binary(), "finder", which_search, mode.string()};
        if (query) args.push_back(*query);
        return env.run_program("/bin/sh", args);
    }
    void git(const std::vector<std::string>& args) const {
        ChildCommand git("git", {"-C", dir.string(), "-c", "user.name=t", "-c", "user.email=t@t"});
        git.args.insert(git.args.end(), args.begin(), args.end());
        git.env = env.env();
        git.out = git.err = Stdio::Null;
        ASSERT_TRUE(run_child(git).status.success());
    }
};

Lines body(const std::string& out, const std::string& header) {
    EXPECT_TRUE(out.starts_with(header)) << out;
    Lines lines;
    for (std::size_t pos = header.size(), end; pos < out.size(); pos = end + 1) {
        end = out.find('\n', pos);
        lines.insert(out.substr(pos, end - pos));
    }
    return lines;
}

TEST(FinderSearch, NamesAndHitsUnderTheModeHeader) {
    Finder f;
    write_text(f.dir / "src" / "main.cpp", "int main() {}\n// needle: here\n");
    write_text(f.dir / "README.md", "Needle\n");
    write_text(f.dir / "a" / "b" / "c" / "d" / "e" / "deep.txt", "needle\n");  // below the depth bound
    write_text(f.dir / ".hidden", "needle\n");

    EXPECT_EQ(body(f.search("mf-search", "filename").out, kNames), (Lines{"src/main.cpp", "README.md"}));
    EXPECT_EQ(f.search("mf-search", "filename", "rd me").out, kNames + "README.md\n");
    EXPECT_EQ(f.search("mf-search", "filename", "zzz").out, kNames);
    // A mode file that cannot be read is file-name mode; any word but "content" too.
    fs::remove(f.mode);
    EXPECT_EQ(f.search("mf-search", "", "smc").out, kNames + "src/main.cpp\n");
    EXPECT_EQ(f.search("mf-search", "list", "smc").out, kNames + "src/main.cpp\n");

    // Content: file TAB line TAB text, smart case, no colour codes; an empty query lists the files.
    // Content is searched at any depth, hidden files left out as in the file list.
    EXPECT_EQ(body(f.search("mf-search", "content", "needle").out, kHits),
              (Lines{"src/main.cpp\t2\t// needle: here", "README.md\t1\tNeedle", "a/b/c/d/e/deep.txt\t1\tneedle"}));
    EXPECT_EQ(f.search("mf-search", "content", "Needle").out, kHits + "README.md\t1\tNeedle\n");
    EXPECT_EQ(body(f.search("mf-search", "content", "").out, kHits), (Lines{"src/main.cpp", "README.md"}));
    EXPECT_EQ(f.search("mf-search", "content", "absent").out, kHits);

    // The toggles flip the files and say so; a missing file counts as the first mode.
    for (const auto& [toggle, from, to] : {std::tuple{"mf-toggle", "filename", "content"}, {"mf-toggle", "content", "filename"},
                                           {"mf-toggle", "other", "filename"}, {"git-toggle", "list", "content"},
                                           {"git-toggle", "content", "list"}, {"git-toggle", "", "content"}}) {
        if (*from) write_text(f.mode, std::string(from) + "\n");
        else fs::remove(f.mode);
        EXPECT_EQ(f.env.run({"finder", toggle, f.mode.string()}).out, std::string(to) + "\n") << toggle << from;
        EXPECT_EQ(read_text(f.mode), std::string(to) + "\n");
    }
}

TEST(FinderSearch, QueriesAreDataAndNamesComeBackWhole) {
    Finder f;
    write_text(f.dir / "q.txt", "--pre=touch PWNED here\n-e here\n");
    for (std::size_t i = 0; i < kHostileNames.size(); ++i)
        write_text(f.dir / "h" / kHostileNames[i], "hit " + std::to_string(i) + "\n");
    write_text(f.dir / "a", "--pre=touch PWNED here\n");  // what cutting "a:3:b" at its ':' would name
    write_text(f.dir / "a:3:b", "colon\n");

    EXPECT_EQ(body(f.search("mf-search", "content", "--pre=touch PWNED").out, kHits),
              (Lines{"a\t1\t--pre=touch PWNED here", "q.txt\t1\t--pre=touch PWNED here"}));
    EXPECT_EQ(f.search("mf-search", "content", "-e").out, kHits + "q.txt\t2\t-e here\n");
    EXPECT_EQ(f.search("mf-search", "filename", "-e").out, kNames);
    EXPECT_EQ(f.search("mf-search", "content", "colon").out, kHits + "a:3:b\t1\tcolon\n");

    // Every name is one line in the escaped form, in both modes, and reads back as itself.
    Lines names = body(f.search("mf-search", "filename").out, kNames);
    Lines hits = body(f.search("mf-search", "content", "hit").out, kHits);
    for (std::size_t i = 0; i < kHostileNames.size(); ++i) {
        const std::string& name = kHostileNames[i];
        const std::string shown = "h/" + pickers::encode_note_name(name);
        EXPECT_TRUE(names.contains(shown)) << shown;
        EXPECT_TRUE(hits.contains(shown + "\t1\thit " + std::to_string(i))) << shown;
        EXPECT_EQ(pickers::decode_note_name(shown), "h/" + name);
    }
    EXPECT_EQ(names.size(), kHostileNames.size() + 3);
    EXPECT_FALSE(fs::exists(f.dir / "PWNED"));
}

TEST(FinderSearch, GitSourceListsStagedUnstagedAndUntrackedOnce) {
    Finder f;
    // Outside a repository: the header alone.
    EXPECT_EQ(f.search("git-search", "list").out, kGitList);
    EXPECT_EQ(f.search("git-search", "content", "x").out, kGitHits);

    f.git({"init", "-q"});
    write_text(f.dir / "tracked.txt", "one\nfind me\n");
    write_text(f.dir / "gone.txt", "old\n");
    write_text(f.dir / "sub" / "both.txt", "find me\n");
    f.git({"add", "."});
    f.git({"commit", "-qm", "init"});
    // A top level without changes lists only the header.
    EXPECT_EQ(f.search("git-search", "list").out, kGitList);

    write_text(f.dir / "tracked.txt", "one\nfind me\nfind me too\n");  // unstaged
    fs::remove(f.dir / "gone.txt");                                    // deleted: not a file to open
    write_text(f.dir / "staged.txt", "find me staged\n");
    f.git({"add", "staged.txt"});
    write_text(f.dir / "sub" / "both.txt", "find me staged\n");  // staged and changed again
    f.git({"add", "sub/both.txt"});
    write_text(f.dir / "sub" / "both.txt", "find me twice\n");
    write_text(f.dir / "ä new.txt", "find me\n");
    write_text(f.dir / "two\nlines.txt", "find me\n");
    write_text(f.dir / "-dash.txt", "find me\n");
    write_text(f.dir / ".gitignore", "ignored.txt\n");
    write_text(f.dir / "ignored.txt", "find me\n");

    const RunResult listed = f.search("git-search", "list", std::nullopt, f.dir / "sub");  // from below the top
    EXPECT_EQ(body(listed.out, kGitList), (Lines{"tracked.txt", "staged.txt", "sub/both.txt", "ä new.txt",
                                                "two\\nlines.txt", "-dash.txt", ".gitignore"}))
        << listed.err;
    EXPECT_EQ(listed.out.find("sub/both.txt"), listed.out.rfind("sub/both.txt"));
    EXPECT_EQ(f.search("git-search", "list", "ä").out, kGitList + "ä new.txt\n");
    // Content mode with an empty query lists like list mode.
    EXPECT_EQ(body(f.search("git-search", "content", "").out, kGitHits).size(), 7u);

    // Content: ugrep over those files, one "file TAB line TAB text" line a hit.
    EXPECT_EQ(body(f.search("git-search", "content", "find me").out, kGitHits),
              (Lines{"tracked.txt\t2\tfind me", "tracked.txt\t3\tfind me too", "staged.txt\t1\tfind me staged",
                     "sub/both.txt\t1\tfind me twice", "ä new.txt\t1\tfind me", "two\\nlines.txt\t1\tfind me",
                     "-dash.txt\t1\tfind me"}));
    EXPECT_EQ(f.search("git-search", "content", "-e").out, kGitHits);

    // Without ugrep the content search shows the header alone.
    const fs::path bin = f.env.root() / "bin";
    fs::create_directories(bin);
    for (const char* tool : {"git", "sh"}) fs::create_symlink(*which(tool), bin / tool);
    f.env.vars["PATH"] = bin.string();
    EXPECT_EQ(f.search("git-search", "content", "find me").out, kGitHits);
    EXPECT_EQ(body(f.search("git-search", "list").out, kGitList).size(), 7u);
}

}  // namespace
}  // namespace vesk::test

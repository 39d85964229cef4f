// Where the staging area keeps questions and project names, and what leaving vim asks for.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <set>
#include <thread>

#include "agent/tidewell_store.hpp"
#include "agent/tidewell_vimrc.hpp"
#include "support/private_env.hpp"

namespace vesk::agent {
namespace {

using namespace vesk::test;

std::set<std::string> names_in(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

TEST(TidewellStore, ProjectNamesStayOneFolderInsideTheStagingRoot) {
    EXPECT_EQ(safe_project_name("my proj"), "my proj");
    EXPECT_EQ(safe_project_name("한글 프로젝트"), "한글 프로젝트");
    EXPECT_EQ(safe_project_name("../../etc"), "etc");
    EXPECT_EQ(safe_project_name("a/b\\c"), "a-b-c");
    EXPECT_EQ(safe_project_name("-rf"), "rf");
    EXPECT_EQ(safe_project_name(" .hidden "), "hidden");
    EXPECT_EQ(safe_project_name("two\nlines\ttab"), "two-lines-tab");
    for (const char* nothing : {"", "..", ".", "/", " - ", "--"}) EXPECT_EQ(safe_project_name(nothing), "inbox") << nothing;
    EXPECT_EQ(staging_root(std::nullopt), fs::path("/.tidewell"));
    EXPECT_EQ(staging_root("/home/u"), fs::path("/home/u/.tidewell"));
    EXPECT_EQ(session_history_file("/s", "$3"), fs::path("/s/project/$3"));
}

TEST(TidewellStore, HistoryAddsEachNameOnce) {
    TempDir dir;
    const fs::path file = dir / "project" / "$0";
    EXPECT_TRUE(read_history(file).empty());
    remember_in_history(file, "alpha");
    remember_in_history(file, "alpha");
    EXPECT_EQ(read_text(file), "alpha\n");
    // Blank lines, CR LF ends and a last line without its end are read as the names they hold.
    write_text(file, "alpha\r\n\n  beta  \nalpha\ngamma");
    EXPECT_EQ(read_history(file), (std::vector<std::string>{"alpha", "beta", "alpha", "gamma"}));
    remember_in_history(file, "gamma");
    remember_in_history(file, "delta");
    EXPECT_EQ(read_text(file), "alpha\r\n\n  beta  \nalpha\ngamma\ndelta\n");
}

TEST(TidewellStore, QuestionsOfTheSameSecondNeverReplaceEachOther) {
    TempDir dir;
    const mode_t mask = ::umask(022);
    const fs::path first = save_question(dir.path(), "2026-12-07_22-30-15", "first\n");
    ::umask(mask);
    struct stat st;
    ASSERT_EQ(::stat(first.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);  // the user's file, as a plain write makes it
    const fs::path second = save_question(dir.path(), "2026-12-07_22-30-15", "second\n");
    const fs::path third = save_question(dir.path(), "2026-12-07_22-30-15", "third\n");
    EXPECT_EQ(first.filename(), "2026-12-07_22-30-15.md");
    EXPECT_EQ(second.filename(), "2026-12-07_22-30-15_2.md");
    EXPECT_EQ(third.filename(), "2026-12-07_22-30-15_3.md");
    EXPECT_EQ(read_text(first), "first\n");
    EXPECT_EQ(read_text(second), "second\n");
    // The list shows names in descending order: the later question comes first.
    EXPECT_GT(second.filename().string(), first.filename().string());
    EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{first.filename(), second.filename(), third.filename()}));

    // Many at once: every text kept, each under a name of its own.
    std::vector<std::thread> writers;
    for (int k = 0; k < 8; ++k)
        writers.emplace_back([&, k] { save_question(dir.path(), "2030-01-01_00-00-00", std::to_string(k)); });
    for (auto& t : writers) t.join();
    std::set<std::string> texts;
    for (const auto& name : names_in(dir.path()))
        if (name.starts_with("2030")) texts.insert(read_text(dir / name));
    EXPECT_EQ(texts.size(), 8u);

    // A folder that cannot be written to is an error, never a silent loss.
    ::chmod(dir.path().c_str(), 0500);
    if (::access(dir.path().c_str(), W_OK) != 0) EXPECT_ANY_THROW(save_question(dir.path(), "x", "y"));
    ::chmod(dir.path().c_str(), 0700);
}

TEST(TidewellStore, HowVimWasLeft) {
    EXPECT_EQ(vim_ending("send\n", false), Ending::Send);
    EXPECT_EQ(vim_ending("save\n", false), Ending::Save);
    EXPECT_EQ(vim_ending("save\nsend\n", true), Ending::Send);
    // No word: :x, ZZ or :w then :q wrote the question, and it is kept.
    EXPECT_EQ(vim_ending("", true), Ending::Save);
    EXPECT_EQ(vim_ending("", false), Ending::Drop);
}

TEST(TidewellVimrc, ValuesAreVimLiteralsAndInsertModeTypingStaysText) {
    const std::string script = tidewell_vimrc({"/t/it's", "/h/.tidewell/p", "/z/bin/vesk", "/z/lib/vimrc"});
    EXPECT_NE(script.find("let g:tidewell_chat_sentinel = '/t/it''s'\n"), std::string::npos);
    EXPECT_NE(script.find("let g:tidewell_question_dir = '/h/.tidewell/p'\n"), std::string::npos);
    EXPECT_NE(script.find("let $MYVIMRC = '/z/lib/vimrc'\n"), std::string::npos);
    EXPECT_TRUE(script.starts_with("set nocompatible\nsetlocal nobackup\n"));
    EXPECT_NE(script.find("nnoremap <silent> <Leader>o"), std::string::npos);
    EXPECT_EQ(script.find("inoremap <silent> <Leader>o"), std::string::npos);
}

}  // namespace
}  // namespace vesk::agent

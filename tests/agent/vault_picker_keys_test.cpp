// The vault picker as a user reaches it: prefix C-Space in a shell pane of a real tmux with an
// attached client, keys typed at the client, the screen read back, and the result looked for
// where the user would find it (the shell pane, the vault's files, the tmux options).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

#include "core/text.hpp"
#include "support/picker_session.hpp"

namespace vesk::test {
namespace {

using namespace std::chrono_literals;

const std::string kHostile = "it's \"q\" $(touch PWNED) `touch PWNED` #{pane_id} 한글";
const std::string kHostileVault = "~/vault 'b' $(touch PWNED) #{pane_id} 한글";

class VaultPickerKeys : public ::testing::Test {
protected:
    VaultPickerKeys() : s(env), r(env.home() / ".quillbox") {
        s.load_dist();
        const fs::path lib = s.root() / "lib";
        fs::copy(fs::path(VESK_SOURCE_DIR) / "dist" / "lib", lib, fs::copy_options::recursive);
        // The edits read this vimrc (vim -u), not VIMINIT: it tells where vim stands once started.
        write_text(lib / "vimrc",
                   read_text(lib / "vimrc") +
                       "\nautocmd VimEnter * call writefile([expand('%:p'), line('.')], $VESK_VIM_VIEW . '.tmp') | "
                       "call rename($VESK_VIM_VIEW . '.tmp', $VESK_VIM_VIEW) | "
                       "autocmd VimLeave * call writefile([], $VESK_VIM_VIEW . '.left')\n");
    }

    // The picker, opened from a shell pane as the user opens it; returns that pane.
    std::string open_picker() {
        const std::string shell = s.shell_pane(env.root());
        s.press_prefixed("C-Space");
        EXPECT_TRUE(s.wait_for_text("[MODE: index-search]")) << s.screen();
        EXPECT_TRUE(s.wait_for_text("QuillBox>")) << s.screen();
        return shell;
    }

    // The file of the vim that started last, once it is ready for keys.
    std::string vim_file() {
        const fs::path view = env.root() / "vim-view";
        if (!wait_until([&] { return fs::exists(view); })) return "";
        const std::string text = read_text(view);
        fs::remove(view);
        // vim reads the terminal's answers to its start-up queries with the first keys.
        std::this_thread::sleep_for(800ms);
        return text.substr(0, text.find('\n'));
    }

    // An Ex command typed into vim in normal mode.
    void ex(const std::string& command) {
        s.type(":" + command);
        s.press({"Enter"});
    }

    void leave_insert() {
        s.press({"Escape"});
        std::this_thread::sleep_for(700ms);  // Escape and the next ':' together would be M-:
    }

    std::vector<std::string> state_left() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(env.tmp()))
            if (e.path().filename().string().starts_with("qbox")) names.push_back(e.path().string());
        return names;
    }

    PrivateEnv env;
    PickerSession s;
    fs::path r;
};

TEST_F(VaultPickerKeys, EnterRunsTheItemIntoThePaneTheUserCameFrom) {
    const std::string item = kHostile + "/" + kHostile + ".md";
    write_text(r / item, "echo 'ran $(touch PWNED) `touch PWNED` #{pane_id} 한글'");
    write_text(r / "notes" / "plain.md", "plain\n");
    const std::string shell = open_picker();
    // The first pass built the index: both items are listed.
    ASSERT_TRUE(s.wait_for_text("2/2")) << s.screen();
    // The picker's state lives in a folder of its own that only the user can enter.
    const std::vector<std::string> state = state_left();
    ASSERT_EQ(state.size(), 1u);
    struct stat st;
    ASSERT_EQ(::stat(state[0].c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    s.type("한글");
    ASSERT_TRUE(s.wait_for_text("1/1")) << s.screen();
    s.press({"Enter"});
    EXPECT_TRUE(s.server().wait_for_text(shell, "[sh]$ echo 'ran $(touch PWNED) `touch PWNED` #{pane_id} 한글'"))
        << s.server().capture(shell);
    EXPECT_TRUE(s.wait_for_no_text("QuillBox>")) << s.screen();

    EXPECT_EQ(read_text(r / ".recent"), item + "\n");
    EXPECT_EQ(read_text(s.root() / "quillbox"), "~/.quillbox\n");
    EXPECT_EQ(s.server().global_option("@qbox_root"), r.string());
    EXPECT_TRUE(fs::is_directory(r / "inbox"));
    EXPECT_TRUE(wait_until([&] { return state_left().empty(); }));
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(VaultPickerKeys, SearchModesVaultSwitchAndIndexRebuild) {
    write_text(r / "notes" / "plain.md", "plain title\nthe needle is here\n");
    write_text(r / (kHostile + ".md"), "hostile body\n");
    const fs::path other = env.home() / "vault 'b' $(touch PWNED) #{pane_id} 한글";
    write_text(other / "vault item.md", "in the other vault\n");
    write_text(s.root() / "lists" / "quillbox.list", "~/.quillbox\n" + kHostileVault + "\n");
    write_text(r / ".recent", "notes/plain.md\n");
    open_picker();

    // ctrl-t: ripgrep over the contents, reloaded as the query changes; again: back to the index.
    s.press({"C-t"});
    ASSERT_TRUE(s.wait_for_text("[MODE: deep-search]")) << s.screen();
    s.type("needle");
    ASSERT_TRUE(s.wait_for_text("notes/plain.md:2:the needle is here")) << s.screen();
    s.press({"C-d"});
    s.press({"C-t"});
    ASSERT_TRUE(s.wait_for_text("[MODE: index-search]")) << s.screen();

    // ctrl-u: an item made behind the picker's back is found.
    write_text(r / "late" / "late item.md", "late\n");
    s.press({"C-u"});
    ASSERT_TRUE(s.wait_for_text("late item.md")) << s.screen();

    // ctrl-r: the items run before, newest first.
    s.press({"C-r"});
    ASSERT_TRUE(s.wait_for_text("[MODE: recent-search]")) << s.screen();
    EXPECT_TRUE(s.wait_for_text("notes | plain.md | plain title")) << s.screen();

    // ctrl-v: the vaults. The notice that nothing matched is no vault to switch to.
    s.press({"C-v"});
    ASSERT_TRUE(s.wait_for_text("[MODE: vault-select]")) << s.screen();
    s.type("zzz");
    ASSERT_TRUE(s.wait_for_text("[No matching vaults]")) << s.screen();
    s.press({"Enter"});
    ASSERT_TRUE(s.wait_for_no_text("[No matching vaults]")) << s.screen();
    ASSERT_TRUE(s.wait_for_text("[MODE: vault-select]")) << s.screen();
    EXPECT_EQ(s.server().global_option("@zelt/quillbox"), "~/.quillbox");
    EXPECT_FALSE(fs::exists(s.root() / "[No matching vaults]"));

    s.type("vault 'b'");
    ASSERT_TRUE(s.wait_for_text("1/1")) << s.screen();
    s.press({"Enter"});
    ASSERT_TRUE(wait_until([&] { return read_text(s.root() / "quillbox") == kHostileVault + "\n"; }));
    EXPECT_TRUE(wait_until([&] { return s.server().global_option("@zelt/quillbox") == kHostileVault; }));
    EXPECT_TRUE(fs::is_directory(other / "inbox"));

    // The picker keeps its own vault when another picker moves the global option meanwhile.
    ASSERT_TRUE(s.wait_for_text("2/2")) << s.screen();
    s.server().tmux_ok({"set-option", "-g", "@qbox_root", r.string()});
    s.press({"C-t"});
    ASSERT_TRUE(s.wait_for_text("[MODE: index-search]")) << s.screen();
    // The item's line, not the vault list's preview, which names it too.
    EXPECT_TRUE(s.wait_for_text("vault item.md | in the other vault")) << s.screen();
    EXPECT_EQ(s.screen().find("plain.md"), std::string::npos) << s.screen();

    // alt-enter on the vault list edits the list itself, and the picker comes back.
    s.press({"C-v"});
    ASSERT_TRUE(s.wait_for_text("[MODE: vault-select]")) << s.screen();
    s.press({"M-Enter"});
    ASSERT_EQ(vim_file(), (s.root() / "lists" / "quillbox.list").string()) << s.screen();
    ex("wq");
    ASSERT_TRUE(s.wait_for_text("QuillBox>")) << s.screen();
    EXPECT_TRUE(s.wait_for_text("[MODE: vault-select]")) << s.screen();

    s.press({"Escape"});
    EXPECT_TRUE(s.wait_for_no_text("QuillBox>")) << s.screen();
    EXPECT_TRUE(wait_until([&] { return state_left().empty(); }));
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(VaultPickerKeys, MoveTakesTheLineAndTheFolderQuery) {
    const std::string folder = "old #{pane_id} $(touch PWNED) 한글";
    write_text(r / "notes" / "a.md", "A title\n");
    fs::create_directories(r / "archive");
    fs::create_directories(r / folder);
    write_text(r / "-x.txt", "Leading dash\n");
    fs::create_directories(r / "-dir");
    open_picker();
    s.type("a.md");
    ASSERT_TRUE(s.wait_for_text("1/1")) << s.screen();
    s.press({"M-m"});
    ASSERT_TRUE(s.wait_for_text("[MODE: file-move]")) << s.screen();
    // "." and every folder, under the header; the query narrows them.
    s.press({"C-d"});
    ASSERT_TRUE(s.wait_for_text("6/6")) << s.screen();
    s.type("한글");
    ASSERT_TRUE(s.wait_for_text("1/1")) << s.screen();
    s.press({"Enter"});
    ASSERT_TRUE(wait_until([&] { return fs::exists(r / folder / "a.md"); })) << s.screen();
    EXPECT_FALSE(fs::exists(r / "notes" / "a.md"));
    // Back in the mode the move started from, listing the item in its new folder.
    ASSERT_TRUE(s.wait_for_text("[MODE: index-search]")) << s.screen();
    EXPECT_TRUE(s.wait_for_text(folder + " | a.md | A title")) << s.screen();

    // µ (option-m on a Mac keyboard) is a binding of its own; names beginning with '-' move too.
    s.press({"C-d"});
    s.type("Leading");
    // The line itself: "1/1" was on screen already, for the item just moved, until the list reloads.
    ASSERT_TRUE(s.client().wait_for_screen([](const std::string& screen) {
        return screen.find("-x.txt | Leading dash") != std::string::npos && screen.find("1/1") != std::string::npos;
    })) << s.screen();
    s.type("µ");
    ASSERT_TRUE(s.wait_for_text("[MODE: file-move]")) << s.screen();
    // The header comes with the reload's first line, the folders only when it has ended: till
    // then the index line is still the one highlighted (and still "1/1").
    s.press({"C-d"});
    ASSERT_TRUE(s.wait_for_text("6/6")) << s.screen();
    s.type("-dir");
    ASSERT_TRUE(s.wait_for_text("│> -dir")) << s.screen();
    s.press({"Enter"});
    ASSERT_TRUE(wait_until([&] { return fs::exists(r / "-dir" / "-x.txt"); })) << s.screen();
    ASSERT_TRUE(s.wait_for_text("[MODE: index-search]")) << s.screen();
    s.press({"M-m"});
    EXPECT_TRUE(s.wait_for_text("[MODE: file-move]")) << s.screen();
    // Closing the floating pane under the picker leaves no state behind either.
    s.server().tmux_ok({"display-popup", "-C"});
    EXPECT_TRUE(s.wait_for_no_text("QuillBox>")) << s.screen();
    EXPECT_TRUE(wait_until([&] { return state_left().empty(); }));
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

TEST_F(VaultPickerKeys, EditImportAndCreate) {
    write_text(r / "notes" / "a.md", "alpha text\n");
    write_text(r / "snips" / (kHostile + ".md"), "snippet line\n");
    const std::string shell = open_picker();

    // alt-enter edits in vim; <leader>o picks another item with fzf on the terminal and inserts it.
    s.type("alpha");
    ASSERT_TRUE(s.wait_for_text("1/1")) << s.screen();
    s.press({"M-Enter"});
    ASSERT_EQ(vim_file(), (r / "notes" / "a.md").string()) << s.screen();
    s.type(" o");
    ASSERT_TRUE(s.wait_for_text("Import>")) << s.screen();
    s.type("snippet");
    ASSERT_TRUE(s.wait_for_text("1/2")) << s.screen();  // fzf filters the index lines itself here
    s.press({"Enter"});
    ASSERT_TRUE(s.wait_for_no_text("Import>")) << s.screen();
    ASSERT_TRUE(s.wait_for_text("snippet line")) << s.screen();
    ex("wq");
    ASSERT_TRUE(s.wait_for_text("[MODE: index-search]")) << s.screen();
    EXPECT_EQ(read_text(r / "notes" / "a.md"), "alpha text\nsnippet line\n");
    const auto index_lines = [&] { return split_lines(read_text(r / ".index")); };
    const std::size_t indexed = index_lines().size();

    // ctrl-n: an item named by the query; left with :q while still empty, nothing stays.
    s.press({"C-d"});
    s.type("new 'idea' \\c 한글");  // echo -n under sh would stop at \c
    s.press({"C-n"});
    const fs::path idea = r / "inbox" / "new _idea_ _c 한글.md";
    ASSERT_EQ(vim_file(), idea.string()) << s.screen();
    ex("q");
    ASSERT_TRUE(s.wait_for_text("[MODE: index-search]")) << s.screen();
    EXPECT_TRUE(wait_until([&] { return !fs::exists(idea); }));
    EXPECT_EQ(index_lines().size(), indexed);

    // ".." in a name climbs nowhere: every "/" becomes '_' and the item is made in the inbox.
    s.press({"C-d"});
    s.type("a/../b");
    s.press({"C-n"});
    ASSERT_EQ(vim_file(), (r / "inbox" / "a_.._b").string()) << s.screen();
    ex("q");
    ASSERT_TRUE(s.wait_for_text("[MODE: index-search]")) << s.screen();

    // Written, it stays and is indexed.
    s.press({"C-d"});
    s.type("kept $(touch PWNED)");
    s.press({"C-n"});
    const fs::path kept = r / "inbox" / "kept $(touch PWNED).md";
    ASSERT_EQ(vim_file(), kept.string()) << s.screen();
    s.type("ikept body");
    leave_insert();
    ex("wq");
    ASSERT_TRUE(s.wait_for_text("[MODE: index-search]")) << s.screen();
    EXPECT_EQ(read_text(kept), "kept body\n");
    EXPECT_GT(index_lines().size(), indexed);
    EXPECT_NE(read_text(r / ".index").find("inbox | kept $(touch PWNED).md | kept body | "), std::string::npos);

    // ctrl-b: a new inbox item, typed in insert mode and run with WQ into the shell pane.
    s.press({"C-b"});
    const std::string made = vim_file();
    ASSERT_TRUE(made.starts_with((r / "inbox").string() + "/")) << made;
    s.type("made in the inbox 한글");
    leave_insert();
    ex("WQ");
    EXPECT_TRUE(s.server().wait_for_text(shell, "made in the inbox 한글")) << s.server().capture(shell);
    EXPECT_TRUE(s.wait_for_no_text("QuillBox>")) << s.screen();
    EXPECT_EQ(read_text(made), "made in the inbox 한글\n");
    EXPECT_NE(read_text(r / ".recent").find("inbox/"), std::string::npos);
    EXPECT_TRUE(wait_until([&] { return state_left().empty(); }));
    EXPECT_EQ(s.pwned(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vesk::test

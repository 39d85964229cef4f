// Running, creating, moving, deleting and revealing vault items, as the built program against a
// private tmux server, with names that hold quotes, substitutions, tmux formats and Hangul.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/text.hpp"
#include "support/screen_run.hpp"
#include "vault_fixture.hpp"

namespace vesk::test {
namespace {

using Words = std::vector<std::string>;
using Calls = std::vector<std::vector<std::string>>;

// A name that must arrive as it is and run nothing (no '/' and no line break: it is one file name).
const std::string kHostile = "it's \"q\" $(touch PWNED) `touch BT`;|:#{pane_id}#(touch P2) 한글";

// Nothing of the hostile name ran in any of these folders.
void expect_nothing_ran(const std::vector<fs::path>& dirs) {
    for (const fs::path& dir : dirs)
        for (const char* made : {"PWNED", "BT", "P2"}) EXPECT_FALSE(fs::exists(dir / made)) << dir / made;
}

// A pane running `cat` into `file` (a terminal in its usual cooked mode, as a shell would have it).
std::string receiving_pane(VaultBed& bed, const fs::path& file) {
    std::string pane = bed.server.run_in_pane({"sh", "-c", "exec cat > " + sh_quote(file.string())});
    EXPECT_TRUE(wait_until([&] { return fs::exists(file); }));
    return pane;
}

std::string pane_of_window(VaultBed& bed, const std::string& name) {
    for (const std::string& line : split_lines(bed.server.tmux_ok({"list-panes", "-a", "-F", "#{window_name}\t#{pane_id}"})))
        if (line.starts_with(name + "\t")) return line.substr(name.size() + 1);
    return "";
}

TEST(VaultExecute, TextArrivesInTheTargetPaneExactly) {
    VaultBed bed;
    const fs::path r = bed.root();
    std::string text = "-leading dash\n\ttabs\tinside\t한글 $(touch PWNED) `touch BT` #{pane_id} #(touch P2)\n";
    while (text.size() < 20 * 1024) text += "line " + std::to_string(text.size()) + " " + std::string(60, 'x') + "\n";
    const fs::path item = r / kHostile / (kHostile + ".md");
    write_text(item, text);
    const fs::path got = bed.env.root() / "got";
    const std::string pane = receiving_pane(bed, got);
    bed.env.vars["QBZ_TARGET_PANE"] = pane;

    RunResult res = bed.qb({"execute-item", item.string()});
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_TRUE(wait_until([&] { return read_text(got).size() >= text.size(); }));
    bed.server.send_keys(pane, {"C-d"});
    EXPECT_EQ(bed.server.wait_for_exit(pane), 0);
    EXPECT_EQ(read_text(got), text);  // byte for byte: no Enter added, nothing lost past 16 KB

    // A text without a final line end is pasted as it is, and tmux's buffer list holds it.
    write_text(r / "short.txt", "no line end");
    const fs::path got2 = bed.env.root() / "got2";
    const std::string pane2 = receiving_pane(bed, got2);
    bed.env.vars["QBZ_TARGET_PANE"] = pane2;
    ASSERT_EQ(bed.qb({"execute-item", (r / "short.txt").string()}).status, 0);
    EXPECT_TRUE(bed.server.wait_for_text(pane2, "no line end"));
    bed.server.send_keys(pane2, {"C-d"});
    bed.server.send_keys(pane2, {"C-d"});
    EXPECT_EQ(bed.server.wait_for_exit(pane2), 0);
    EXPECT_EQ(read_text(got2), "no line end");
    EXPECT_EQ(bed.server.tmux_ok({"show-buffer"}), "no line end");

    // An empty item pastes nothing (tmux would otherwise paste the previous buffer).
    write_text(r / "empty.md", "");
    ASSERT_EQ(bed.qb({"execute-item", (r / "empty.md").string()}).status, 0);

    // Every run is one more line of .recent, relative to the vault; a relative FILE is taken
    // from where the command runs.
    bed.env.vars["QBZ_TARGET_PANE"] = bed.server.first_pane();
    ASSERT_EQ(bed.qb({"execute-item", "short.txt"}, r).status, 0);
    EXPECT_EQ(read_text(r / ".recent"),
              kHostile + "/" + kHostile + ".md\nshort.txt\nempty.md\nshort.txt\n");
    expect_nothing_ran({bed.env.root(), r, bed.env.home(), fs::current_path()});
}

TEST(VaultExecute, ScriptsRunInAWindowTmuxItemsAreSourced) {
    VaultBed bed;
    const fs::path r = bed.root();
    const fs::path place = bed.env.root() / "d#{host}x $(touch PWNED)";
    fs::create_directories(place);
    const std::string target = bed.server.run_in_pane({"sleep", "100"}, {}, place);
    ASSERT_TRUE(wait_until([&] { return bed.server.format(target, "#{pane_current_path}") == place.string(); }));
    bed.env.vars["QBZ_TARGET_PANE"] = target;

    const fs::path script = r / (kHostile + ".sh");
    write_text(script, "echo \"ran in $PWD\"\n");
    RunResult res = bed.qb({"execute-item", script.string()});
    ASSERT_EQ(res.status, 0) << res.err;
    ASSERT_TRUE(wait_until([&] { return !pane_of_window(bed, "QBZ-Exec").empty(); }));
    const std::string window = pane_of_window(bed, "QBZ-Exec");
    EXPECT_TRUE(bed.server.wait_for_text(window, "any key to go. wait in 10 secs...")) << bed.server.capture(window);
    EXPECT_NE(bed.server.capture(window).find("ran in " + place.string()), std::string::npos) << bed.server.capture(window);

    // .tmux: comments and blank lines dropped, ~/ made $HOME/, the outcome in the status line.
    // HOME goes in as its text: one without blanks, whatever TMPDIR holds.
    write_text(r / "t#{host}.tmux", "# a comment\n\n   set -g @vault_test ~/x  \n");
    Calls calls;
    bed.env.vars["HOME"] = "/home/quill";
    res = bed.recorded({"execute-item", (r / "t#{host}.tmux").string()}, calls);
    bed.env.vars.erase("HOME");
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(bed.server.global_option("@vault_test"), "/home/quill/x");
    EXPECT_EQ(VaultBed::messages(calls), Words{"Sourced: t##{host}.tmux"});

    // A line break in the name: the item runs, and .recent, one path a line, leaves it out.
    write_text(r / "two\nlines.tmux", "set -g @vault_newline yes\n");
    bed.recorded({"execute-item", (r / "two\nlines.tmux").string()}, calls);
    EXPECT_EQ(bed.server.global_option("@vault_newline"), "yes");
    EXPECT_EQ(read_text(r / ".recent"), kHostile + ".sh\nt#{host}.tmux\n");

    write_text(r / "c.tmux", "# only\n   # comments\n\n");
    bed.recorded({"execute-item", (r / "c.tmux").string()}, calls);
    EXPECT_EQ(VaultBed::messages(calls), Words{"No executable content in c.tmux"});

    // tmux reports a rejected file on standard output: that text is what the user sees.
    write_text(r / "bad.tmux", "bogus-command now\n");
    res = bed.recorded({"execute-item", (r / "bad.tmux").string()}, calls);
    EXPECT_EQ(res.status, 0);
    ASSERT_EQ(VaultBed::messages(calls).size(), 1u);
    EXPECT_TRUE(VaultBed::messages(calls)[0].ends_with(":1: unknown command: bogus-command")) << VaultBed::messages(calls)[0];

    res = bed.recorded({"execute-item", (r / "#{pane_id}.md").string()}, calls);
    EXPECT_EQ(res.status, 1);
    EXPECT_EQ(VaultBed::messages(calls), Words{"File not found: " + (r / "##{pane_id}.md").string()});
    expect_nothing_ran({bed.env.root(), place, r, bed.env.home(), fs::current_path()});
}

TEST(VaultCreateNamed, NamesFoldersAndRefusals) {
    VaultBed bed;
    const fs::path r = bed.root();
    auto create = [&](const Words& words) {
        Words args = {"create-named"};
        args.insert(args.end(), words.begin(), words.end());
        return bed.qb(args);
    };
    RunResult res = create({"my", "/", "notes"});
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(res.out, (r / "inbox" / "my _ notes.md").string() + "\n");
    EXPECT_EQ(create({"/prompts/daily", "plan"}).out, (r / "prompts" / "daily plan.md").string() + "\n");
    EXPECT_EQ(create({"a.txt"}).out, (r / "inbox" / "a.txt").string() + "\n");
    EXPECT_EQ(create({"-draft"}).out, (r / "inbox" / "-draft.md").string() + "\n");
    EXPECT_EQ(create({"a**b??c", "a_b"}).out, (r / "inbox" / "a_b_c a_b.md").string() + "\n");
    EXPECT_EQ(create({"/top"}).out, (r / "top.md").string() + "\n");
    res = create({});
    EXPECT_TRUE(res.out.starts_with((r / "inbox" / "20").string())) << res.out;
    EXPECT_TRUE(res.out.ends_with(".md\n"));
    EXPECT_TRUE(fs::exists(std::string(trim(res.out))));

    // Hostile text becomes a plain file name; quotes, backquotes, '|' and ':' become '_'.
    res = create({kHostile, "\nline"});
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(res.out, (r / "inbox" / "it_s _q_ $(touch PWNED) _touch BT_;_#{pane_id}#(touch P2) 한글 line.md").string() + "\n");

    // An existing item keeps its text and gets a second index line.
    write_text(r / "inbox" / "keep.md", "precious\n");
    EXPECT_EQ(create({"keep.md"}).status, 0);
    EXPECT_EQ(read_text(r / "inbox" / "keep.md"), "precious\n");
    const std::string index = read_text(r / ".index");
    EXPECT_NE(index.find("inbox | keep.md | precious | "), std::string::npos);
    EXPECT_NE(index.find("inbox | my _ notes.md | (empty) | "), std::string::npos);
    EXPECT_NE(index.find("prompts | daily plan.md | (empty) | "), std::string::npos);
    EXPECT_EQ(create({"keep.md"}).status, 0);
    EXPECT_EQ(split_lines(read_text(r / ".index")).size(), split_lines(index).size() + 1);

    // Without a leading "/" every slash becomes '_', so ".." climbs nowhere: the item is made in the
    // inbox. With one, ".." may climb within the vault, and empty folder names name nothing.
    EXPECT_EQ(create({"a/../b"}).out, (r / "inbox" / "a_.._b").string() + "\n");
    EXPECT_EQ(create({"../x"}).out, (r / "inbox" / ".._x").string() + "\n");
    EXPECT_EQ(create({"/a/../b"}).out, (r / "b.md").string() + "\n");
    EXPECT_EQ(create({"//etc/x"}).out, (r / "etc" / "x.md").string() + "\n");

    // Never outside the vault.
    for (const Words& words : {Words{"/../x"}, Words{"/a/../../x"}, Words{"/.."}}) {
        res = create(words);
        EXPECT_EQ(res.status, 1) << words[0] << res.out;
        EXPECT_TRUE(res.err.starts_with("Error: ")) << res.err;
    }
    EXPECT_FALSE(fs::exists(bed.env.home() / "x.md"));
    EXPECT_FALSE(fs::exists(bed.env.home() / "x"));
    EXPECT_FALSE(fs::exists("/etc/x"));
    // Nor through a folder of the vault that is a link out of it, the inbox included: nothing is
    // made out there, no folder either.
    const fs::path outside = bed.env.root() / "outside";
    fs::create_directories(outside);
    fs::create_directory_symlink(outside, r / "ext");
    fs::rename(r / "inbox", r / "inbox.old");
    fs::create_directory_symlink(outside, r / "inbox");
    for (const Words& words : {Words{"/ext/x"}, Words{"/ext/new/y"}, Words{"z"}}) {
        res = create(words);
        EXPECT_EQ(res.status, 1) << words[0];
        EXPECT_TRUE(res.err.starts_with("Error: 볼트 밖에는 항목을 만들 수 없습니다: ")) << res.err;
    }
    EXPECT_EQ(bed.qb({"create-vault"}).status, 1);
    EXPECT_TRUE(fs::is_empty(outside));
    expect_nothing_ran({bed.env.root(), r, bed.env.home(), fs::current_path()});
}

TEST(VaultMoveItem, MovesWithoutReplacingAndStaysInTheVault) {
    VaultBed bed;
    bed.env.vars["TMUX"] = std::nullopt;  // move-item needs no tmux
    const fs::path r = bed.root();
    const std::string index = (r / ".index").string();
    write_text(r / "notes" / "a.md", "from notes\n");
    write_text(r / "other" / "a.md", "from other\n");
    write_text(r / "z.md", "z\n");
    set_mtime(r / "notes" / "a.md", 500);
    write_text(r / ".index", "other | a.md | from other | 100\nnotes | a.md | from notes | 500\n | z.md | z | 300\n");
    auto move = [&](const std::string& source, const std::string& target) {
        return bed.qb({"move-item", source, target, index, r.string()});
    };
    RunResult res = move("notes/a.md", ".");
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(res.out, "a.md\n");
    EXPECT_EQ(read_text(r / "a.md"), "from notes\n");
    EXPECT_EQ(read_text(r / ".index"), "other | a.md | from other | 100\n | z.md | z | 300\n | a.md | from notes | 500\n");

    // Onto an existing item: refused, nothing moved, nothing replaced.
    res = move("other/a.md", ".");
    EXPECT_EQ(res.status, 1);
    EXPECT_EQ(res.err, "Error: Error: Destination file already exists: a.md\n");
    EXPECT_EQ(read_text(r / "a.md"), "from notes\n");
    EXPECT_EQ(read_text(r / "other" / "a.md"), "from other\n");

    EXPECT_EQ(move("", "x").err, "Error: Error: Missing arguments\n");
    EXPECT_EQ(move("nope.md", ".").err, "Error: Error: Source file not found: nope.md\n");
    EXPECT_EQ(move("z.md", "nowhere").err, "Error: Error: Target directory not found: nowhere\n");

    // Targets and sources outside the vault are refused, also through a link.
    fs::create_directories(bed.env.root() / "outside");
    write_text(bed.env.root() / "outside" / "o.md", "outside\n");
    fs::create_directory_symlink(bed.env.root() / "outside", r / "ext");
    for (const std::string& target : Words{"..", "../outside", (bed.env.root() / "outside").string(), "ext", "ext/"}) {
        res = move("z.md", target);
        EXPECT_EQ(res.status, 1) << target;
        EXPECT_TRUE(fs::exists(r / "z.md")) << target;
    }
    EXPECT_FALSE(fs::exists(bed.env.root() / "z.md"));
    EXPECT_FALSE(fs::exists(bed.env.root() / "outside" / "z.md"));
    for (const std::string& source : Words{"../outside/o.md", (bed.env.root() / "outside" / "o.md").string(), "ext/o.md"}) {
        res = move(source, "other");
        EXPECT_EQ(res.status, 1) << source;
    }
    EXPECT_TRUE(fs::exists(bed.env.root() / "outside" / "o.md"));

    // A hostile name moves as it is, into a folder named as badly.
    write_text(r / (kHostile + ".md"), "h\n");
    fs::create_directories(r / kHostile);
    res = move(kHostile + ".md", kHostile);
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(res.out, kHostile + "/" + kHostile + ".md\n");
    EXPECT_TRUE(fs::exists(r / kHostile / (kHostile + ".md")));
    EXPECT_NE(read_text(r / ".index").find(kHostile + " | " + kHostile + ".md | h | "), std::string::npos);
    expect_nothing_ran({bed.env.root(), r, bed.env.home(), fs::current_path()});
}

TEST(VaultDeleteItem, OneItemFileAtMostAndEveryRefusalKeepsTheFiles) {
    VaultBed bed;
    const fs::path r = bed.root();
    const fs::path mode = bed.env.root() / "mode";
    auto del = [&](const std::string& m, const std::string& selection, Calls& calls) {
        write_text(mode, m + "\n");
        return bed.recorded({"delete-item", mode.string(), selection}, calls);
    };
    Calls calls;
    write_text(r / "keep" / "k.md", "k\n");
    write_text(bed.env.root() / "outside.md", "outside\n");
    write_text(bed.env.root() / "outdir" / "o.md", "o\n");
    fs::create_directory_symlink(bed.env.root() / "outdir", r / "ext");
    fs::create_symlink(bed.env.root() / "outside.md", r / "link.md");

    RunResult res = del("vault-select", r.string(), calls);
    EXPECT_EQ(res.status, 0);
    EXPECT_EQ(VaultBed::messages(calls), Words{"Cannot delete vaults via this shortcut for safety."});
    EXPECT_TRUE(fs::is_directory(r));

    struct Refusal {
        std::string mode, selection, message;
    };
    const std::string outside = (bed.env.root() / "outside.md").string();
    for (const Refusal& c : std::vector<Refusal>{
             {"index-search", " |  | t", "Cannot delete the vault itself: " + r.string()},
             {"index-search", "../.. | outside.md | t",
              "Cannot delete outside the vault: " + (r / ".." / ".." / "outside.md").string()},
             {"index-search", bed.env.root().string() + " | outside.md | t", "Cannot delete outside the vault: " + outside},
             {"deep-search", "../../outside.md:1:x",
              "Cannot delete outside the vault: " + (r / ".." / ".." / "outside.md").string()},
             {"index-search", "ext | o.md | t", "Cannot delete outside the vault: " + (r / "ext" / "o.md").string()},
             {"recent-search", " | link.md | t", "Cannot delete outside the vault: " + (r / "link.md").string()},
             {"index-search", " | keep | t", "Cannot delete a folder: " + (r / "keep").string()},
             {"index-search", "keep |    | t", "Cannot delete a folder: " + (r / "keep").string()},
         }) {
        res = del(c.mode, c.selection, calls);
        EXPECT_EQ(res.status, 1) << c.selection;
        EXPECT_EQ(VaultBed::messages(calls), Words{c.message}) << c.selection;
    }
    EXPECT_TRUE(fs::exists(bed.env.root() / "outside.md"));
    EXPECT_TRUE(fs::exists(bed.env.root() / "outdir" / "o.md"));
    EXPECT_TRUE(fs::is_symlink(r / "link.md"));
    EXPECT_TRUE(fs::exists(r / "keep" / "k.md"));

    res = del("index-search", "keep | gone.md | t", calls);
    EXPECT_EQ(res.status, 1);
    EXPECT_EQ(VaultBed::messages(calls), Words{"File not found: " + (r / "keep" / "gone.md").string()});
    EXPECT_EQ(del("file-move", "keep", calls).status, 0);
    EXPECT_TRUE(calls.size() <= 3u);  // nothing but the root lookups

    // No trash: said, then the one file removed, and the index rebuilt. A name with ':' and a
    // sibling named like its first part: only the named file goes.
    write_text(r / "n" / "a", "sibling\n");
    write_text(r / "n" / ("a:" + kHostile + ".md"), "target\n");
    ASSERT_EQ(bed.qb({"build-index"}).status, 0);
    res = del("deep-search", "n/a:" + kHostile + ".md:1:target", calls);
    ASSERT_EQ(res.status, 0) << res.err << ::testing::PrintToString(calls);
    EXPECT_EQ(VaultBed::messages(calls), (Words{"Warning: 'trash' command not found. Permanently deleting...",
                                                "Deleted: a:" + std::string("it's \"q\" $(touch PWNED) `touch BT`;|:##{pane_id}##(touch P2) 한글") + ".md"}));
    EXPECT_FALSE(fs::exists(r / "n" / ("a:" + kHostile + ".md")));
    EXPECT_TRUE(fs::exists(r / "n" / "a"));
    EXPECT_EQ(read_text(r / ".index").find("touch P2"), std::string::npos);

    // A trash program: the file goes there. One that fails: said so, then removed.
    const fs::path trash_dir = bed.env.root() / "trash";
    fs::create_directories(trash_dir);
    write_script(bed.bin / "trash", "mv -- \"$1\" " + sh_quote(trash_dir.string()) + "/\n");
    write_text(r / "p|q.md", "pq\n");
    res = del("index-search", " | p|q.md | pq", calls);
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(VaultBed::messages(calls), Words{"Deleted: p|q.md"});
    EXPECT_TRUE(fs::exists(trash_dir / "p|q.md"));
    EXPECT_FALSE(fs::exists(r / "p|q.md"));
    write_script(bed.bin / "trash", "exit 3\n");
    res = del("recent-search", "keep | k.md | k", calls);
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(VaultBed::messages(calls), (Words{"Warning: 'trash' failed. Permanently deleting...", "Deleted: k.md"}));
    EXPECT_FALSE(fs::exists(r / "keep" / "k.md"));
    EXPECT_TRUE(fs::is_directory(r / "keep"));
    expect_nothing_ran({bed.env.root(), r, bed.env.home(), fs::current_path()});
}

TEST(VaultOpenInFinder, RevealsWithOpenOrSaysWhy) {
    VaultBed bed;
    const fs::path r = bed.root();
    const fs::path mode = bed.env.root() / "mode";
    write_text(mode, "index-search\n");
    write_text(r / "n" / (kHostile + ".md"), "x\n");
    Calls calls;
    RunResult res = bed.recorded({"open-in-finder", mode.string(), "n | " + kHostile + ".md | x"}, calls);
    EXPECT_EQ(res.status, 1);
    EXPECT_EQ(VaultBed::messages(calls), Words{"open 명령을 찾을 수 없습니다."});

    const fs::path args = bed.env.root() / "open-args";
    write_script(bed.bin / "open", "printf '%s\\n' \"$@\" > " + sh_quote(args.string()) + "\n");
    res = bed.qb({"open-in-finder", mode.string(), "n | " + kHostile + ".md | x"});
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(read_text(args), "-R\n" + (r / "n" / (kHostile + ".md")).string() + "\n");

    write_text(r / ".index", "stale\n");
    res = bed.recorded({"open-in-finder", mode.string(), "n | gone.md | x"}, calls);
    EXPECT_EQ(res.status, 1);
    EXPECT_EQ(VaultBed::messages(calls), Words{"File not found. Updating index..."});
    EXPECT_NE(read_text(r / ".index").find("n | " + kHostile + ".md | x | "), std::string::npos);
    EXPECT_EQ(bed.qb({"open-in-finder", mode.string()}).status, 0);  // no selection: nothing to do
    expect_nothing_ran({bed.env.root(), r, bed.env.home(), fs::current_path()});
}

}  // namespace
}  // namespace vesk::test

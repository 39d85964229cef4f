// The vault picker's pieces: the fzf command line as fzf 0.38 reads it, a pass read back, the
// source of a move, fzf's failure, and the edits in a pane.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <thread>

#include "agent/vault_picker.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "vault_fixture.hpp"

namespace vesk::agent {
namespace {

using namespace vesk::test;

const QuillboxRunFzfArgs kFiles{"/t/qbox-x/qbox-mode", "/t/qbox-x/qbox-query", "/t/qbox-x/qbox-move-source",
                                "/t/qbox-x/qbox-prev-mode"};

TEST(VaultPicker, FzfTakesEveryBindingOneKeyEach) {
    const std::vector<std::string> args = quillbox_fzf_args("'/z/bin/vesk'", kFiles);
    const auto binding = [&](const std::string& key) {
        for (const std::string& arg : args)
            if (arg.starts_with(key + ":")) return arg;
        return std::string();
    };
    std::vector<std::string> keys;
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--bind") keys.push_back(args[i + 1].substr(0, args[i + 1].find(':')));
    EXPECT_EQ(keys, (std::vector<std::string>{"start", "change", "ctrl-t", "ctrl-v", "ctrl-o", "ctrl-r", "ctrl-d",
                                              "ctrl-b", "ctrl-n", "ctrl-u", "ctrl-x", "alt-m", "µ", "tab"}));
    // Placeholders stand bare (fzf quotes them), the query goes after "--", and nothing uses echo -n.
    for (const std::string& arg : args) {
        EXPECT_EQ(arg.find("'{"), std::string::npos) << arg;
        EXPECT_EQ(arg.find("\"{"), std::string::npos) << arg;
        EXPECT_EQ(arg.find("echo -n"), std::string::npos) << arg;
    }
    EXPECT_NE(binding("change").find("quillbox list \"$mode\" -- {q}"), std::string::npos) << binding("change");
    // The move lists its folders under the header line like every other list.
    EXPECT_NE(binding("alt-m").find("+reload:mode=$(cat '/t/qbox-x/qbox-mode'); echo \"[MODE: $mode]\""),
              std::string::npos);

    // fzf 0.38 accepts the whole line (a bad binding ends it with 2 before it reads anything).
    std::vector<std::string> filter = args;
    filter.push_back("--filter=x");
    ChildCommand fzf("fzf", filter);
    fzf.in = Stdio::Null;
    fzf.out = fzf.err = Stdio::Pipe;
    Output out = run_child(fzf);
    EXPECT_EQ(out.status.code(), 1) << out.err;
}

TEST(VaultPicker, PassAndMoveSourceReadBack) {
    EXPECT_EQ(read_quillbox_pass("alt-enter\nx.md:3:hit\n", "deep-search", ""),
              (QuillboxPass{"deep-search", "alt-enter", "x.md:3:hit"}));
    EXPECT_FALSE(read_quillbox_pass("", "index-search", ""));
    // The create keys accept on an empty list: the query (even none) or the new-item marker.
    EXPECT_EQ(read_quillbox_pass("", "create-named", ""), (QuillboxPass{"create-named", "", ""}));
    EXPECT_EQ(read_quillbox_pass("\n", "create-vault", ""), (QuillboxPass{"create-vault", "", "__NEW_VAULT__"}));

    const auto exists = [](std::string_view rel) { return rel == "a:b/c | d.md" || rel == "n/x.md"; };
    EXPECT_EQ(quillbox_move_source("deep-search", "a:b/c | d.md", exists), "a:b/c | d.md");
    EXPECT_EQ(quillbox_move_source("index-search", "n | x.md | title", exists), "n/x.md");
    EXPECT_FALSE(quillbox_move_source("index-search", "no fields", exists));
    EXPECT_FALSE(is_vault_choice("[No matching vaults]"));
}

TEST(VaultPicker, FzfFailureIsReportedAndNothingStaysBehind) {
    VaultBed bed;
    write_text(bed.root() / "a.md", "A\n");
    bed.env.vars["FZF_DEFAULT_OPTS"] = "--no-such-option";
    const fs::path tmp = bed.env.tmp();
    const auto state_dirs = [&] {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(tmp))
            if (e.path().filename().string().starts_with("qbox")) names.push_back(e.path().filename().string());
        return names;
    };
    std::vector<std::vector<std::string>> calls;
    RunResult r = bed.recorded({"open", "--target-pane", "%0"}, calls);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("fzf가 실패했습니다: exit status: 2"), std::string::npos) << r.err;
    const auto shown = VaultBed::messages(calls);
    EXPECT_NE(std::find(shown.begin(), shown.end(), "QuillBox: fzf가 실패했습니다: exit status: 2"), shown.end());
    EXPECT_EQ(state_dirs(), std::vector<std::string>{});
    // The first open made the vault's inbox, its index and history, and remembered the root.
    EXPECT_TRUE(fs::is_directory(bed.root() / "inbox"));
    EXPECT_EQ(read_text(bed.env.zelt() / "quillbox"), "~/.quillbox\n");
    EXPECT_NE(read_text(bed.root() / ".index").find(" | a.md | A | "), std::string::npos);
    EXPECT_TRUE(fs::exists(bed.root() / ".recent"));

    r = bed.qb({"run-fzf", "--mode-file", "/nonexistent/m", "--query-file", "/nonexistent/q", "--source-file",
                "/nonexistent/s", "--prev-mode-file", "/nonexistent/p"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("fzf가 실패했습니다"), std::string::npos) << r.err;
}

// edit-with-vim and create-vault in a pane: vim's failure passes through and leaves the index
// alone; a new item left empty goes again.
TEST(VaultEdit, ExitCodesTheIndexAndEmptyNewItems) {
    VaultBed bed;
    const fs::path item = bed.root() / "notes" / "x.md";
    write_text(item, "x\n");
    std::vector<std::vector<std::string>> calls;
    RunResult missing = bed.recorded({"edit-with-vim", item.string()}, calls);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(VaultBed::messages(calls),
              std::vector<std::string>{"QuillBox: vimrc not found: " + (bed.env.zelt() / "lib" / "vimrc").string()});

    fs::copy(fs::path(VESK_SOURCE_DIR) / "dist" / "lib", bed.env.zelt() / "lib", fs::copy_options::recursive);
    const auto edit = [&](const std::vector<std::string>& args, const std::string& keys, bool insert = false) {
        std::vector<std::string> argv = {vesk_binary(), "quillbox"};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string pane = bed.server.run_in_pane(argv, inside_tmux(bed.env.env()));
        if (keys.empty()) return bed.server.wait_for_exit(pane);
        EXPECT_TRUE(bed.server.wait_for_raw_mode(pane)) << bed.server.capture(pane);
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        if (insert) {
            bed.server.send_keys(pane, {"Escape"});
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
        }
        bed.server.send_text(pane, keys);
        bed.server.send_keys(pane, {"Enter"});
        return bed.server.wait_for_exit(pane);
    };
    EXPECT_EQ(edit({"edit-with-vim", item.string()}, ":cq"), 1);
    EXPECT_FALSE(fs::exists(bed.root() / ".index"));
    EXPECT_EQ(edit({"edit-with-vim", item.string(), "+normal Ay"}, ":wq"), 0);
    EXPECT_EQ(read_text(item), "xy\n");
    EXPECT_EQ(split_lines(read_text(bed.root() / ".index")).size(), 1u);
    EXPECT_TRUE(read_text(bed.root() / ".index").starts_with("notes | x.md | xy | "));

    // WQ saves and runs the item (10), also when the temporary directory's name means something to vim.
    const fs::path odd_tmp = bed.env.root() / "tmp $HOME % # [a] 'q'";
    fs::create_directories(odd_tmp);
    bed.env.vars["TMPDIR"] = odd_tmp.string();
    EXPECT_EQ(edit({"edit-with-vim", item.string(), "+normal Az", "+WQ"}, ""), 10);
    EXPECT_EQ(read_text(item), "xyz\n");
    EXPECT_EQ(read_text(bed.root() / ".recent"), "notes/x.md\n");
    EXPECT_EQ(split_lines(read_text(bed.root() / ".index")).size(), 2u);
    EXPECT_TRUE(fs::is_empty(odd_tmp));
    bed.env.vars.erase("TMPDIR");

    EXPECT_EQ(edit({"create-vault"}, ":q", true), 0);
    EXPECT_TRUE(fs::is_empty(bed.root() / "inbox"));
    EXPECT_EQ(split_lines(read_text(bed.root() / ".index")).size(), 2u);
    // Nothing of an edit stays in the temporary folder.
    EXPECT_TRUE(fs::is_empty(bed.env.tmp()) ||
                std::none_of(fs::directory_iterator(bed.env.tmp()), fs::directory_iterator(),
                             [](const fs::directory_entry& e) { return e.path().filename().string().starts_with("qbox"); }));
}

}  // namespace
}  // namespace vesk::agent

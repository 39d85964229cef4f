// The vault's root, index and listing commands, run as the built program against a private tmux
// server and real trees.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

#include "agent/vault_root.hpp"
#include "core/text.hpp"
#include "support/screen_run.hpp"
#include "vault_fixture.hpp"

namespace vesk::test {
namespace {

using Words = std::vector<std::string>;

Words sorted_lines(const std::string& text) {
    Words lines = split_lines(text);
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(VaultRoot, DefaultPointerFileCacheAndRelativeRoots) {
    VaultBed bed;
    // Nothing known: ~/.quillbox, remembered in @qbox_root; a build there creates inbox/.
    RunResult r = bed.qb({"build-index"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(bed.server.global_option("@qbox_root"), bed.root().string());
    EXPECT_TRUE(fs::is_directory(bed.root() / "inbox"));
    EXPECT_EQ(read_text(bed.root() / ".index"), "");

    // The cached root wins over the pointer file until it is unset.
    write_text(bed.env.zelt() / "quillbox", "  ~/vaults/work  \n");
    EXPECT_EQ(bed.qb({"build-index"}).status, 0);
    EXPECT_FALSE(fs::exists(bed.env.home() / "vaults"));
    bed.server.tmux_ok({"set-option", "-gu", "@qbox_root"});
    EXPECT_EQ(bed.qb({"build-index"}).status, 0);
    EXPECT_EQ(bed.server.global_option("@qbox_root"), (bed.env.home() / "vaults" / "work").string());
    EXPECT_TRUE(fs::is_directory(bed.env.home() / "vaults" / "work" / "inbox"));

    // A blank pointer file means the default again; a relative one is taken from where the
    // command ran, once, and later commands elsewhere find the same vault.
    bed.server.tmux_ok({"set-option", "-gu", "@qbox_root"});
    write_text(bed.env.zelt() / "quillbox", "   \n");
    EXPECT_EQ(bed.qb({"build-index"}).status, 0);
    EXPECT_EQ(bed.server.global_option("@qbox_root"), bed.root().string());
    bed.server.tmux_ok({"set-option", "-gu", "@qbox_root"});
    write_text(bed.env.zelt() / "quillbox", "rel/vault\n");
    fs::create_directories(bed.env.root() / "here");
    EXPECT_EQ(bed.qb({"build-index"}, bed.env.root() / "here").status, 0);
    const fs::path relative_root = bed.env.root() / "here" / "rel" / "vault";
    EXPECT_EQ(bed.server.global_option("@qbox_root"), relative_root.string());
    write_text(relative_root / "n.md", "N\n");
    EXPECT_EQ(bed.qb({"build-index"}, bed.env.home()).status, 0);
    EXPECT_NE(read_text(relative_root / ".index").find(" | n.md | N | "), std::string::npos);

    // Without tmux: the message and 1; without @zelt: 99 in silence.
    bed.env.vars["TMUX"] = std::nullopt;
    for (const Words& args : {Words{"build-index"}, Words{"update-index", "x"}, Words{"list", "index-search"},
                              Words{"execute-item", "x"}, Words{"create-named", "x"}, Words{"delete-item", "m", "x"},
                              Words{"open-in-finder", "m", "x"}}) {
        r = bed.qb(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.err, "tmux 세션에서만 실행할 수 있습니다.\n") << args[0];
    }
    bed.env.vars["TMUX"] = bed.server.tmux_env_value();
    bed.server.tmux_ok({"set-option", "-gu", "@zelt"});
    for (const Words& args : {Words{"build-index"}, Words{"list", "deep-search"}, Words{"list", "vault-select"},
                              Words{"execute-item", "x"}}) {
        r = bed.qb(args);
        EXPECT_EQ(r.status, 99) << args[1];
        EXPECT_EQ(r.err, "") << args[1];
    }
}

TEST(VaultBuildIndex, OrderTitlesSkipsAndTheLock) {
    VaultBed bed;
    const fs::path r = bed.root();
    write_text(r / "a.md", "\n  two | words  \n");
    write_text(r / "prompts" / "x" / "b.md", "b\n");
    write_text(r / "c.md", "c\n");
    write_text(r / ".git" / "config", "[core]\n");
    write_text(r / "drafts" / "d.md", "d\n");
    write_text(r / "deep" / "drafts" / "e.md", "e\n");
    write_text(r / "x.tmp", "");
    write_text(r / ".lists" / "quillbox-ignore.list", "drafts/\n*.tmp\n");
    write_text(bed.env.zelt() / "lists" / "quillbox-ignore.list", "prompts\n");  // not used: the vault has its own
    set_mtime(r / "a.md", 300);
    set_mtime(r / "prompts" / "x" / "b.md", 200);
    set_mtime(r / "c.md", 200);
    RunResult res = bed.qb({"build-index"});
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(res.out, "");
    EXPECT_EQ(read_text(r / ".index"),
              " | c.md | c | 200\nprompts/x | b.md | b | 200\n | a.md | two   words | 300\n");

    // The index is replaced whole by a rename, never rewritten in place, and nothing is left over.
    struct stat before, after;
    ASSERT_EQ(::stat((r / ".index").c_str(), &before), 0);
    ASSERT_EQ(bed.qb({"build-index"}).status, 0);
    ASSERT_EQ(::stat((r / ".index").c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    for (const auto& entry : fs::directory_iterator(r))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".tmp")) << entry.path();

    // A build that cannot write reports it and leaves no temporary file.
    fs::remove(r / ".index");
    fs::create_directories(r / ".index" / "keep");
    res = bed.qb({"build-index"});
    EXPECT_EQ(res.status, 1);
    EXPECT_TRUE(res.err.starts_with("Error: 파일을 교체하지 못했습니다: ")) << res.err;
    for (const auto& entry : fs::directory_iterator(r))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".tmp")) << entry.path();
    fs::remove_all(r / ".index");
    write_text(r / ".index", "old line\n");

    // While another command holds the vault (an append), the build waits for it.
    {
        std::optional<agent::VaultLock> held(std::in_place, r);
        ChildCommand build(vesk_binary(), {"quillbox", "build-index"});
        build.env = bed.env.env();
        Child child = Child::spawn(build.stdout_(Stdio::Null).stderr_(Stdio::Null));
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        EXPECT_FALSE(child.try_wait().has_value());
        EXPECT_EQ(read_text(r / ".index"), "old line\n");
        write_text(r / "late.md", "late\n");
        held.reset();
        EXPECT_TRUE(child.wait().success());
    }
    EXPECT_NE(read_text(r / ".index").find(" | late.md | late | "), std::string::npos);
}

TEST(VaultBuildIndex, EachFolderOnceAndNeverTheKernelsTrees) {
    VaultBed bed;
    const fs::path r = bed.root();
    // Two links to the next folder in each of 16 folders: 65,535 ways down to the one file.
    constexpr int kLevels = 16;
    for (int i = 0; i < kLevels; ++i) {
        fs::create_directories(r / ("d" + std::to_string(i)));
        for (const char* link : {"a", "b"})
            fs::create_directory_symlink("../d" + std::to_string(i + 1), r / ("d" + std::to_string(i)) / link);
    }
    write_text(r / ("d" + std::to_string(kLevels)) / "f.md", "deep\n");
    fs::create_directory_symlink("/proc", r / "proc");
    fs::create_directory_symlink("/sys", r / "sys");
    ChildCommand build(vesk_binary(), {"quillbox", "build-index"});
    build.env = bed.env.env();
    Output out = run_child(build.stdout_(Stdio::Null).stderr_(Stdio::Pipe).limit(std::chrono::seconds(20)));
    ASSERT_FALSE(out.timed_out);
    ASSERT_TRUE(out.status.success()) << out.err;
    const std::vector<std::string> lines = split_lines(read_text(r / ".index"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(" | f.md | deep | "), std::string::npos) << lines[0];
}

TEST(VaultBuildIndex, WhatVanishesDuringTheWalkIsLeftOut) {
    VaultBed bed;
    const fs::path r = bed.root();
    for (int i = 0; i < 2000; ++i) write_text(r / "n" / (std::to_string(i) + ".md"), "kept\n");
    // A sync tool at work: files and folders come and go while the builds walk.
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        for (int k = 0; !stop; ++k) {
            const std::string made = std::to_string(k % 64), gone = std::to_string((k + 32) % 64);
            write_text(r / "n" / ("swap" + made), "x\n");
            fs::create_directories(r / ("tmp" + made));
            fs::remove(r / "n" / ("swap" + gone));
            fs::remove(r / ("tmp" + gone));
        }
    });
    for (int run = 0; run < 20; ++run) {
        RunResult res = bed.qb({"build-index"});
        EXPECT_EQ(res.status, 0) << res.err;
    }
    stop = true;
    churn.join();
    EXPECT_GE(split_lines(read_text(r / ".index")).size(), 2000u);
}

TEST(VaultUpdateIndex, AppendsOnlyFilesInsideTheVault) {
    VaultBed bed;
    const fs::path r = bed.root();
    write_text(r / "n" / "a.md", "A\n");
    write_text(bed.env.root() / "outside.md", "O\n");
    set_mtime(r / "n" / "a.md", 77);
    ASSERT_EQ(bed.qb({"build-index"}).status, 0);
    const std::string built = read_text(r / ".index");
    for (const Words& args : {Words{"update-index", (bed.env.root() / "outside.md").string()},
                              Words{"update-index", (r / ".." / "outside.md").string()},
                              Words{"update-index", (r / "n").string()},
                              Words{"update-index", (r / "missing.md").string()}}) {
        RunResult res = bed.qb(args);
        EXPECT_EQ(res.status, 0) << args[1] << res.err;
        EXPECT_EQ(read_text(r / ".index"), built) << args[1];
    }
    EXPECT_EQ(bed.qb({"update-index", (r / "n" / "a.md").string()}).status, 0);
    EXPECT_EQ(bed.qb({"update-index", "a.md"}, r / "n").status, 0);  // relative to where it runs
    EXPECT_EQ(read_text(r / ".index"), built + "n | a.md | A | 77\nn | a.md | A | 77\n");
}

// A vault is often a cloned repository, and a repository can carry links. A link planted at the
// index, resolved, dangling or to a device, never leads a write out of the vault: the commands
// that rewrite the index replace the link, an append refuses it, and what it points at stays as
// it was. A FIFO there fails at once instead of holding the vault's lock forever. The index keeps
// its access bits, never a set-uid one; the vault list is made as a plain write makes it.
TEST(VaultBuildIndex, APlantedIndexLinkOrFifoNeverReachesTheUsersFiles) {
    VaultBed bed;
    const fs::path r = bed.root(), home = bed.env.home(), index = r / ".index";
    write_text(r / "a.md", "A\n");
    set_mtime(r / "a.md", 5);
    fs::create_directories(r / "notes");
    write_text(home / ".bashrc", "rc\n");
    write_text(index, "stale\n");
    ::chmod(index.c_str(), 04640);
    const mode_t old_mask = ::umask(022);
    EXPECT_EQ(bed.qb({"build-index"}).status, 0);
    EXPECT_EQ(bed.qb({"list", "vault-select"}).out, "~/.quillbox\n");
    ::umask(old_mask);
    EXPECT_EQ(read_text(index), " | a.md | A | 5\n");
    struct stat st{};
    EXPECT_TRUE(::stat(index.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640u) << std::oct << st.st_mode;
    const fs::path list = bed.env.zelt() / "lists" / "quillbox.list";
    EXPECT_TRUE(::stat(list.c_str(), &st) == 0 && (st.st_mode & 07777) == 0644u) << std::oct << st.st_mode;

    // Every rewrite replaces the link (the picker's start among them, its fzf ending at once); an
    // append refuses it.
    bed.env.vars["FZF_DEFAULT_OPTS"] = "--no-such-option";
    bool moved = false;
    for (const std::string& planted : Words{"../.bashrc", "../.bash_profile", "../no/such/.x", "/dev/null"}) {
        for (const std::string& command : Words{"build-index", "move-item", "open", "create-named"}) {
            fs::remove(index);
            fs::create_symlink(planted, index);
            Words args = {command};
            if (command == "create-named") args.push_back("x");
            if (command == "move-item")
                args = {command, moved ? "notes/a.md" : "a.md", moved ? "." : "notes", index.string(), r.string()};
            moved ^= command == "move-item";
            const RunResult res = bed.qb(args);
            EXPECT_EQ(fs::is_symlink(index), command == "create-named") << command << " " << planted << res.err;
            if (command == "create-named")
                EXPECT_EQ(res.err, "Error: 일반 파일이 아닙니다 (" + index.string() + ")\n");
            else
                EXPECT_NE(read_text(index).find("a.md | A | 5"), std::string::npos) << command << " " << planted;
        }
    }
    bed.env.vars.erase("FZF_DEFAULT_OPTS");
    EXPECT_EQ(read_text(home / ".bashrc"), "rc\n");
    EXPECT_FALSE(fs::exists(home / ".bash_profile"));
    EXPECT_FALSE(fs::exists(home / "no"));
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    // A FIFO at the index or the history: create-named and execute-item fail at once.
    write_text(r / "inbox" / "y.md", "y\n");
    for (const auto& [file, args] : std::vector<std::pair<fs::path, Words>>{
             {index, {"create-named", "y"}}, {r / ".recent", {"execute-item", (r / "inbox" / "y.md").string()}}}) {
        fs::remove(file);
        ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        Words limited = {"20", vesk_binary(), "quillbox"};
        limited.insert(limited.end(), args.begin(), args.end());
        EXPECT_EQ(bed.env.run_program("timeout", limited).err, "Error: 일반 파일이 아닙니다 (" + file.string() + ")\n");
    }
}

TEST(VaultList, IndexRecentVaultsAndFolders) {
    VaultBed bed;
    const fs::path r = bed.root();
    fs::create_directories(r);
    EXPECT_EQ(bed.qb({"list", "index-search"}).out, "(Index file not found or empty)\n");
    write_text(r / ".index",
               " | a.md | old title | 1\n"
               "p | b.md | beta | 2\n"
               "short | line\n"
               " | a.md | new title | 3\n"
               "p | c|d.md | pipe in name | 4\n");
    EXPECT_EQ(bed.qb({"list", "index-search"}).out, "p | c|d.md \n | a.md | new title \np | b.md | beta \n");
    EXPECT_EQ(bed.qb({"list", "index-search", "beta"}).out, "p | b.md | beta \n");
    EXPECT_EQ(bed.qb({"list", "index-search", "-zz"}).out, "");  // a query beginning with "-" is a query
    // The user's own fzf filters, with the user's options.
    write_text(r / ".index", " | axb.md | t | 1\n | ab.md | t | 2\n");
    EXPECT_EQ(bed.qb({"list", "index-search", "ab"}).out, " | ab.md | t \n | axb.md | t \n");
    bed.env.vars["FZF_DEFAULT_OPTS"] = "--exact";
    EXPECT_EQ(bed.qb({"list", "index-search", "ab"}).out, " | ab.md | t \n");
    bed.env.vars.erase("FZF_DEFAULT_OPTS");

    EXPECT_EQ(bed.qb({"list", "recent-search"}).out, "[No recent items yet]\n");
    write_text(r / "a.md", "\n  alpha line \n");
    write_text(r / "p" / "b.md", "");
    write_text(r / ".recent", "a.md\np/b.md\ngone.md\n\na.md\n");
    EXPECT_EQ(bed.qb({"list", "recent-search"}).out, " | a.md |   alpha line \np | b.md | (empty)\n");
    EXPECT_EQ(bed.qb({"list", "recent-search", "alpha"}).out, " | a.md |   alpha line \n");

    // The vault list is made from the current root when missing or empty.
    const fs::path list = bed.env.zelt() / "lists" / "quillbox.list";
    EXPECT_EQ(bed.qb({"list", "vault-select"}).out, "~/.quillbox\n");
    EXPECT_EQ(read_text(list), "~/.quillbox\n");
    write_text(list, "");
    bed.server.tmux_ok({"set-option", "-g", "@zelt/quillbox", "~/Work Vault"});
    EXPECT_EQ(bed.qb({"list", "vault-select"}).out, "~/Work Vault\n");
    write_text(list, "~/Work Vault\n/srv/Team\n~/한글");
    EXPECT_EQ(bed.qb({"list", "vault-select"}).out, "~/Work Vault\n/srv/Team\n~/한글\n");
    EXPECT_EQ(bed.qb({"list", "vault-select", "TEAM"}).out, "/srv/Team\n");
    EXPECT_EQ(bed.qb({"list", "vault-select", "nope"}).out, "[No matching vaults]\n");

    fs::create_directories(r / "b");
    fs::create_directories(r / "a" / "deeper");
    fs::create_directories(r / ".git" / "objects");
    EXPECT_EQ(bed.qb({"list", "file-move"}).out, ".\na\na/deeper\nb\np\n");
    // fzf filters nothing in the picker: the typed query narrows the folders.
    EXPECT_EQ(bed.qb({"list", "file-move", "deeper"}).out, "a/deeper\n");
    EXPECT_EQ(bed.qb({"list", "file-move", "nothing"}).out, "");
}

// The filter's fzf goes with the listing: one that quits early (an option it rejects) leaves what
// it printed, whatever the size of the list, and one still running ends with the program.
TEST(VaultList, TheFiltersFzfEndsWithTheListing) {
    VaultBed bed;
    const fs::path r = bed.root();
    std::string index;
    for (int i = 0; i < 20000; ++i) index += " | item" + std::to_string(i) + ".md | title | 1\n";
    write_text(r / ".index", index);
    bed.env.vars["FZF_DEFAULT_OPTS"] = "--no-such-option";
    RunResult res = bed.qb({"list", "index-search", "item"});
    EXPECT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(res.out + res.err, "");
    bed.env.vars.erase("FZF_DEFAULT_OPTS");

    const fs::path pid_file = bed.env.root() / "fzf.pid";
    write_script(bed.bin / "fzf", "echo $$ > '" + pid_file.string() + ".new' && mv '" + pid_file.string() +
                                      ".new' '" + pid_file.string() + "'\nexec sleep 60\n");
    ChildCommand list(vesk_binary(), {"quillbox", "list", "index-search", "item"});
    list.env = bed.env.env();
    Child vesk = Child::spawn(list.stdin_(Stdio::Null).stdout_(Stdio::Null).stderr_(Stdio::Null));
    ASSERT_TRUE(wait_until([&] { return fs::exists(pid_file); }));
    const pid_t fzf = std::stoi(read_text(pid_file));
    vesk.kill(SIGTERM);
    EXPECT_EQ(vesk.wait().signal(), SIGTERM);
    EXPECT_TRUE(wait_until([&] { return ::kill(fzf, 0) != 0; })) << "fzf " << fzf << " still runs";
}

TEST(VaultList, DeepSearchUsesRipgrepSafely) {
    VaultBed bed;
    const fs::path r = bed.root();
    write_text(r / "old.md", "needle one\n");
    write_text(r / "new.md", "x\nneedle two\n");
    write_text(r / "-dash.md", "needle dash\n");
    write_text(r / "skip" / "s.md", "needle skipped\n");
    write_text(r / ".git" / "g", "needle in git\n");
    write_text(r / ".recent", "needle.md\n");
    write_text(bed.env.zelt() / "lists" / "quillbox-ignore.list", "skip\n");
    set_mtime(r / "old.md", 100);
    set_mtime(r / "-dash.md", 150);
    set_mtime(r / "new.md", 200);
    // A link into the kernel's trees is not followed (/proc/sys/kernel/ostype reads "Linux").
    fs::create_directory_symlink("/proc/sys/kernel", r / "kernel");
    EXPECT_EQ(bed.qb({"list", "deep-search", "Linux"}).out, "[No matches found for: Linux]\n");
    RunResult res = bed.qb({"list", "deep-search", "needle"});
    ASSERT_EQ(res.status, 0) << res.err;
    EXPECT_EQ(res.out, "new.md:2:needle two\n-dash.md:1:needle dash\nold.md:1:needle one\n");
    EXPECT_EQ(bed.qb({"list", "deep-search", "NEEDLE"}).out, "[No matches found for: NEEDLE]\n");

    // A query that looks like an option is searched for, never obeyed.
    write_text(r / "opt.md", "--pre=touch\n");
    res = bed.qb({"list", "deep-search", "--pre=touch"});
    EXPECT_EQ(res.out, "opt.md:1:--pre=touch\n") << res.err;
    res = bed.qb({"list", "deep-search", "--files"});
    EXPECT_EQ(res.out, "[No matches found for: --files]\n");

    // An empty query lists item paths: from the index when there is one, else from ripgrep.
    res = bed.qb({"list", "deep-search"});
    EXPECT_EQ(res.out, "opt.md\nnew.md\n-dash.md\nold.md\n") << res.err;
    ASSERT_EQ(bed.qb({"build-index"}).status, 0);
    EXPECT_EQ(bed.qb({"list", "deep-search", ""}).out, "old.md\n-dash.md\nnew.md\nopt.md\n");
    // The index now holds "needle" in its titles: still no hit there.
    EXPECT_EQ(bed.qb({"list", "deep-search", "needle"}).out, "new.md:2:needle two\n-dash.md:1:needle dash\nold.md:1:needle one\n");

    // Without ripgrep: a notice instead of a failure.
    fs::create_directories(bed.env.root() / "nobin");
    fs::create_symlink("/usr/bin/tmux", bed.env.root() / "nobin" / "tmux");
    bed.env.vars["PATH"] = (bed.env.root() / "nobin").string();
    EXPECT_EQ(bed.qb({"list", "deep-search", "x"}).out, "[Deep Search requires 'ripgrep' (rg). Please install it.]\n");
}

// A planted link through /proc's per-process links lies on the vault's disk and leads to every
// file: the index, the deep search with and without a query, stay inside and end at once, while a
// folder linked in from elsewhere is indexed and searched.
TEST(VaultList, LinksThroughProcNeverLeaveTheVault) {
    VaultBed bed;
    const fs::path r = bed.root();
    write_text(r / "notes" / "a.md", "needle here\n");
    write_text(bed.env.root() / "elsewhere" / "o.md", "needle elsewhere\n");
    fs::create_directory_symlink(bed.env.root() / "elsewhere", r / "other");
    plant_proc_links(r);
    // Also where rg meets them by a second way, under a name that reads as a glob.
    plant_proc_links(r / "notes");
    fs::create_directory_symlink("/proc/self/root", r / "notes" / "{x,y}[*]");
    fs::create_directory_symlink("notes", r / "again");
    auto quick = [&](Words args) {
        args.insert(args.begin(), "quillbox");
        ChildCommand command(vesk_binary(), args);
        command.env = bed.env.env();
        Output out = run_child(command.stdout_(Stdio::Pipe).stderr_(Stdio::Pipe).limit(std::chrono::seconds(20)));
        EXPECT_FALSE(out.timed_out) << ::testing::PrintToString(args);
        EXPECT_TRUE(out.status.success()) << out.err;
        return out.out;
    };
    const std::string inside = "again/a.md\nother/o.md\nnotes/a.md\n";
    EXPECT_EQ(sorted_lines(quick({"list", "deep-search", ""})), sorted_lines(inside));
    EXPECT_EQ(sorted_lines(quick({"list", "deep-search", "needle"})),
              sorted_lines("again/a.md:1:needle here\nother/o.md:1:needle elsewhere\nnotes/a.md:1:needle here\n"));
    EXPECT_EQ(quick({"list", "deep-search", "root"}), "[No matches found for: root]\n");
    quick({"build-index"});
    const std::vector<std::string> lines = split_lines(read_text(r / ".index"));
    ASSERT_EQ(lines.size(), 2u) << read_text(r / ".index");  // a folder is indexed once
    EXPECT_EQ(split_lines(quick({"list", "deep-search", ""})).size(), 2u);
}

TEST(VaultList, ARootBelowAFileIsNamedInTheError) {
    VaultBed bed;
    const fs::path root = bed.env.root() / "file" / "vault";
    write_text(bed.env.root() / "file", "x\n");
    bed.env.vars["QBZ_ROOT"] = root.string();
    for (const char* mode : {"deep-search", "file-move"}) {
        RunResult res = bed.qb({"list", mode, ""});
        EXPECT_EQ(res.status, 1) << mode;
        EXPECT_EQ(res.err, "Error: Not a directory (os error 20) (" + root.string() + ")\n") << mode;
    }
}

// Lines of .index and .recent naming a file outside the vault (absolute, climbing out with "..",
// or through a link into /proc) are planted, never written by the vault: they are not listed,
// their files neither read for a title nor previewed.
TEST(VaultList, LinesNamingFilesOutsideTheVaultAreSkipped) {
    VaultBed bed;
    const fs::path r = bed.root();
    write_text(r / "in.md", "inside\n");
    write_text(bed.env.home() / ".git-credentials", "token\n");
    fs::create_directory_symlink("/proc/self/root", r / "selfroot");
    const std::string home = bed.env.home().string();
    write_text(r / ".recent", "../.git-credentials\n" + home + "/.git-credentials\nselfroot" + home +
                                  "/.git-credentials\nin.md\n");
    write_text(r / ".index", ".. | .git-credentials | t | 1\n" + home + " | .git-credentials | t | 2\n | ../../x | t | 3\n"
                             " | in.md | inside | 4\n");
    EXPECT_EQ(bed.qb({"list", "recent-search"}).out, " | in.md | inside\n");
    EXPECT_EQ(bed.qb({"list", "index-search"}).out, " | in.md | inside \n");
    EXPECT_EQ(bed.qb({"list", "deep-search", ""}).out, "in.md\n");
    const fs::path mode = bed.env.root() / "mode";
    for (const auto& [m, line] : std::vector<std::pair<std::string, std::string>>{
             {"index-search", ".. | .git-credentials | t"},
             {"recent-search", "selfroot" + home + " | .git-credentials | t"},
             {"deep-search", home + "/.git-credentials:1:token"}}) {
        write_text(mode, m + "\n");
        RunResult res = bed.qb({"preview", mode.string(), line});
        EXPECT_EQ(res.out + res.err, "") << line;
    }
    // vim's import picker is offered the inside line alone (this fzf takes the first it gets).
    const fs::path offered = bed.env.root() / "offered";
    write_script(bed.bin / "fzf", "cat > " + sh_quote(offered.string()) + "\nhead -n 1 " + sh_quote(offered.string()) + "\n");
    EXPECT_EQ(bed.qb({"import-list"}).out, (r / "in.md").string() + "\n");
    EXPECT_EQ(read_text(offered), " | in.md | inside | 4\n");
}

TEST(VaultPreview, WindowsAroundHitsFilesAndVaults) {
    VaultBed bed;
    const fs::path r = bed.root();
    std::string numbered;
    for (int i = 1; i <= 80; ++i) numbered += "line " + std::to_string(i) + "\n";
    write_text(r / "n" / "a:b.md", numbered);
    write_text(r / "p|q.md", "pipe\n");
    const fs::path mode = bed.env.root() / "mode";
    // No bat on PATH: the numbered fallback shows exactly which lines the window holds.
    fs::create_directories(bed.env.root() / "nobin");
    fs::create_symlink("/usr/bin/tmux", bed.env.root() / "nobin" / "tmux");
    bed.env.vars["PATH"] = (bed.env.root() / "nobin").string();
    auto preview = [&](const std::string& m, Words selection) {
        write_text(mode, m + "\n");
        Words args = {"preview", mode.string()};
        args.insert(args.end(), selection.begin(), selection.end());
        return bed.qb(args);
    };
    std::string shown = preview("deep-search", {"n/a:b.md:42:line 42"}).out;
    EXPECT_TRUE(shown.starts_with("     1\tline 27\n")) << shown;
    EXPECT_TRUE(shown.ends_with("    30\tline 56\n")) << shown;
    shown = preview("deep-search", {"n/a:b.md:3:line 3"}).out;
    EXPECT_TRUE(shown.starts_with("     1\tline 1\n") && shown.ends_with("    30\tline 30\n")) << shown;
    shown = preview("deep-search", {"n/a:b.md"}).out;
    EXPECT_TRUE(shown.ends_with("    40\tline 40\n")) << shown;
    EXPECT_EQ(preview("deep-search", {"missing.md:1:x"}).out, "");
    EXPECT_EQ(preview("index-search", {" | p|q.md | pipe"}).out, "     1\tpipe\n");
    EXPECT_EQ(preview("recent-search", {"n", "|", "a:b.md", "|", "x"}).out.substr(0, 14), "     1\tline 1\n");
    EXPECT_EQ(preview("vault-select", {"~/not yet"}).out,
              "Directory does not exist yet: ~/not yet\n\nThis vault will be created when you select it.\n");
    for (int i = 0; i < 50; ++i) write_text(bed.env.home() / "big" / ("f" + std::to_string(i)), "");
    EXPECT_EQ(split_lines(preview("vault-select", {"~/big"}).out).size(), 20u);
    EXPECT_EQ(preview("file-move", {"."}).out, "Preview not available for this mode\n");
    RunResult res = bed.qb({"preview", (bed.env.root() / "no-mode").string(), "x"});
    EXPECT_EQ(res.out, "Preview not available for this mode\n");
    EXPECT_EQ(res.status, 0);

    // With bat (installed as batcat) the hit is highlighted in colour.
    fs::create_symlink("/usr/bin/batcat", bed.env.root() / "nobin" / "batcat");
    shown = preview("deep-search", {"n/a:b.md:42:line 42"}).out;
    EXPECT_NE(shown.find("\x1b["), std::string::npos) << shown;
    EXPECT_NE(shown.find("line 56"), std::string::npos);
    EXPECT_EQ(shown.find("line 57"), std::string::npos);

    // An item of a gigabyte (sparse: one line of NUL bytes after its text) is shown as far as a
    // preview reads, in little memory. bat takes a first kilobyte with a NUL for binary.
    std::string text = "first line\n";
    for (int i = 2; i <= 40; ++i) text += "line " + std::to_string(i) + " of the item, long enough to count\n";
    write_text(r / "huge.md", text);
    fs::resize_file(r / "huge.md", std::uintmax_t{1} << 30);
    for (const auto& [m, selection] : {std::pair{"deep-search", "huge.md:1:first"}, {"deep-search", "huge.md"},
                                       {"index-search", " | huge.md | first"}}) {
        const RunResult res = preview(m, {selection});
        EXPECT_EQ(res.status, 0) << res.err;
        EXPECT_NE(res.out.find("first line"), std::string::npos) << m << " " << selection;
    }
    rusage children;
    ::getrusage(RUSAGE_CHILDREN, &children);
    EXPECT_LT(children.ru_maxrss, 256 << 10) << "KiB";
}

}  // namespace
}  // namespace vesk::test

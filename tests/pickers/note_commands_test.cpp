// The note commands that the note pickers' fzf bindings call, run as the built program against
// real rg, fd, find and bat, with a recording stand-in for macOS `open`.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "core/command.hpp"
#include "core/files.hpp"
#include "core/quote.hpp"
#include "pickers/note_lines.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

using Words = std::vector<std::string>;
using Lines = std::set<std::string>;

const std::string kNames = "[모드: 📄 파일명 검색] C-t로 전환 →\n";
const std::string kHits = "[모드: 📝 내용 검색] C-t로 전환 →\n";
const Words kHostileNames = {"it's.md", "say \"hi\".md", "$(touch PWNED).md", "`touch PWNED`.md", "a;touch PWNED.md",
                             "#{pane_id}.md", "#(touch PWNED).md", "two\nlines.md", "-dash.md", "a:3:b.md", "한글 노트.md"};

// A note directory, its picker's state files, and a PATH holding only the chosen programs.
struct Notes {
    PrivateEnv env;
    fs::path dir = env.root() / "notes", mode = env.tmp() / "mode", root_file = env.tmp() / "root";
    fs::path bin = env.root() / "bin", open_log = env.root() / "open.log";

    explicit Notes(const Words& tools = {"rg"}) {
        write_text(root_file, dir.string() + "/\n");
        use_tools(tools);
        fs::create_directories(dir);
    }
    void use_tools(Words tools) {
        fs::remove_all(bin);
        fs::create_directories(bin);
        for (const std::string& tool : tools) {
            if (tool == "open") write_script(bin / tool, "printf '%s\\0' \"$@\" > \"$0.t\" && mv \"$0.t\" " + shell_quote(open_log.string()));
            else fs::create_symlink(tool == "tmux" ? real_tmux() : which(tool)->string(), bin / tool);
        }
        for (const char* tool : {"sh", "mv"}) fs::create_symlink(*which(tool), bin / tool);
        env.vars["PATH"] = bin.string();
    }
    // As the binding runs it: `cd DIR && vesk note list MODE_FILE QUERY`.
    std::string list(const std::string& mode_text, const std::optional<std::string>& query = std::nullopt) const {
        if (!mode_text.empty()) write_text(mode, mode_text + "\n");
        Words args{"-c", "cd \"$1\" && shift && exec \"$@\"", "sh", dir.string(), vesk_binary(), "note", "list", mode.string()};
        if (query) args.push_back(*query);
        return env.run_program("/bin/sh", args).out;
    }
    RunResult on(const std::string& command, const std::string& line) const {
        return env.run({"note", command, root_file.string(), mode.string(), line});
    }
    Lines files() const {
        Lines out;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (!e.is_directory()) out.insert(fs::relative(e.path(), dir).string());
        return out;
    }
    std::string opened(const std::string& name) const { return "-R" + std::string(1, '\0') + (dir / name).string() + '\0'; }
    bool pwned() const {
        for (const auto& e : fs::recursive_directory_iterator(env.root()))
            if (e.path().filename() == "PWNED") return true;
        return false;
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

std::string numbered(int from, int to) {
    std::string out;
    for (int n = from; n <= to; ++n) out += std::string(6 - std::to_string(n).size(), ' ') + std::to_string(n) + "\tline " + std::to_string(n) + "\n";
    return out;
}

TEST(NoteCommands, ListsNamesAndHitsUnderTheModeHeaderAndToggles) {
    Notes notes;
    write_text(notes.dir / "work" / "list.md", "1\n2\n3\n4\n5\n6\nbuy milk\n");
    write_text(notes.dir / "x.md", "one\ntwo\na:b\n");
    write_text(notes.dir / ".hidden.md", "buy milk\n");
    const Lines visible{"./work/list.md", "./x.md"};

    // A missing mode file is file-name mode; toggling it writes content mode.
    EXPECT_EQ(body(notes.list(""), kNames), visible);
    EXPECT_EQ(notes.env.run({"note", "toggle-mode", notes.mode.string()}).out, "content\n");
    EXPECT_EQ(read_text(notes.mode), "content\n");
    EXPECT_EQ(body(notes.list("", "buy milk"), kHits), (Lines{"./work/list.md\t7\tbuy milk", "./.hidden.md\t1\tbuy milk"}));
    EXPECT_EQ(notes.list("", "a:b"), kHits + "./x.md\t3\ta:b\n");
    EXPECT_TRUE(body(notes.list("", ""), kHits).contains("./.hidden.md"));
    EXPECT_TRUE(notes.on("preview", "./work/list.md\t7\tbuy milk").out.ends_with("     6\t6\n     7\tbuy milk\n"));
    EXPECT_EQ(notes.env.run({"note", "toggle-mode", notes.mode.string()}).out, "filename\n");
    EXPECT_EQ(notes.list("", "wl"), kNames + "./work/list.md\n");

    // Without rg, fd (Debian's fdfind) lists the files and content hits are empty; find lists
    // hidden files too.
    notes.use_tools({"fdfind"});
    EXPECT_EQ(body(notes.list("filename"), kNames), visible);
    EXPECT_EQ(notes.list("content", "buy"), kHits);
    notes.use_tools({"find"});
    EXPECT_EQ(body(notes.list("filename"), kNames), (Lines{"./work/list.md", "./x.md", "./.hidden.md"}));
}

TEST(NoteCommands, QueriesAreSearchedForNeverTakenAsOptions) {
    Notes notes;
    write_text(notes.dir / "q.md", "--pre=rm here\n-e here\n--files here\n");
    int n = 0;
    for (std::string query : {"--pre=rm", "-e", "--files"}) {
        std::string hit = std::to_string(++n) + ":" + query + " here";
        EXPECT_EQ(notes.list("content", query), kHits + "./q.md\t" + std::to_string(n) + "\t" + query + " here\n");
        RunResult r = notes.env.run({"note", "search-content", notes.dir.string(), query});
        EXPECT_EQ(r.out, "q.md:" + hit + "\t" + (notes.dir / "q.md").string() + "\t" + std::to_string(n) + "\n") << r.err;
    }
    EXPECT_EQ(notes.list("filename", "-e"), kNames);
    EXPECT_EQ(notes.files(), Lines{"q.md"});
}

TEST(NoteCommands, HostileNamesPassListPreviewAndRevealIntact) {
    Notes notes({"rg", "open"});
    for (std::size_t i = 0; i < kHostileNames.size(); ++i) write_text(notes.dir / kHostileNames[i], "note " + std::to_string(i));
    Lines listed = body(notes.list("filename"), kNames);
    for (std::size_t i = 0; i < kHostileNames.size(); ++i) {
        const std::string& name = kHostileNames[i];
        std::string line = "./" + pickers::encode_note_name(name);
        ASSERT_TRUE(listed.contains(line)) << line;
        EXPECT_EQ(notes.on("preview", line).out, "     1\tnote " + std::to_string(i) + "\n");
        EXPECT_EQ(notes.on("reveal", line).status, 0);
        EXPECT_EQ(read_text(notes.open_log), notes.opened(name));
    }
    EXPECT_FALSE(notes.pwned());
}

TEST(NoteCommands, DeleteRemovesOnlyARegularFileInsideTheNoteDirectory) {
    Notes notes;
    write_text(notes.mode, "filename\n");
    write_text(notes.env.root() / "elsewhere" / "o.md", "keep\n");
    fs::create_directory_symlink(notes.env.root() / "elsewhere", notes.dir / "link");
    write_text(notes.dir / "sub" / "n.md", "x\n");
    write_text(notes.dir / "-x.md", "x\n");
    for (const char* line : {"../elsewhere/o.md", "./link/o.md", "sub/../../elsewhere/o.md"}) {
        RunResult r = notes.on("delete", line);
        EXPECT_EQ(r.status, 1) << line;
        EXPECT_NE(r.err.find("노트 디렉터리 밖의 파일은 지우지 않습니다"), std::string::npos) << r.err;
    }
    EXPECT_EQ(notes.on("delete", (notes.env.root() / "elsewhere" / "o.md").string()).status, 1);
    // A directory, a missing file and an empty selection are left alone without a word.
    for (const char* line : {"sub", "gone.md", ""}) EXPECT_EQ(notes.on("delete", line).status, 0) << line;
    // A root file that cannot be read names nothing.
    fs::rename(notes.root_file, notes.env.root() / "moved");
    EXPECT_EQ(notes.on("delete", "sub/n.md").status, 0);
    EXPECT_EQ(notes.files(), (Lines{"sub/n.md", "-x.md"}));
    fs::rename(notes.env.root() / "moved", notes.root_file);
    EXPECT_EQ(notes.on("delete", "-x.md").status, 0);
    EXPECT_EQ(notes.on("delete", "./sub/n.md").status, 0);
    EXPECT_EQ(notes.files(), Lines{});
    EXPECT_TRUE(fs::exists(notes.env.root() / "elsewhere" / "o.md"));
}

// No `open` here (macOS only): the client is told so, and the note stays where it is.
TEST(NoteCommands, RevealWithoutOpenSaysSoOnTheClient) {
    Notes notes({"tmux"});
    TmuxServer server(120, 40, notes.env.tmp(), notes.env.home());
    AttachedClient client(server);
    server.tmux_ok({"set-option", "-g", "display-time", "10000"});
    write_text(notes.dir / "#{pane_id} n.md", "x\n");
    std::string pane = server.run_in_current_window(
        {vesk_binary(), "note", "reveal", notes.root_file.string(), notes.mode.string(), "./#{pane_id} n.md"},
        inside_tmux(notes.env.env()));
    EXPECT_TRUE(client.wait_for_text("open 명령을 찾을 수 없습니다.")) << client.capture();
    EXPECT_EQ(server.wait_for_exit(pane), 0) << server.capture(pane);
    EXPECT_EQ(notes.files(), Lines{"#{pane_id} n.md"});
}

TEST(NoteCommands, PreviewWindowWithAndWithoutBat) {
    Notes notes;
    std::string text;
    for (int n = 1; n <= 100; ++n) text += "line " + std::to_string(n) + "\n";
    write_text(notes.dir / "long.md", text);
    write_text(notes.mode, "content\n");
    std::string shown;
    auto preview = [&](const std::string& line, const std::optional<std::string>& lines) {
        notes.env.vars["FZF_PREVIEW_LINES"] = lines;
        return notes.on("preview", line).out;
    };
    EXPECT_EQ(preview("./long.md\t5\tx", std::nullopt), numbered(1, 40));
    EXPECT_EQ(preview("./long.md\t50\tx", "20"), numbered(40, 59));
    EXPECT_EQ(preview("./long.md\t99\tx", "+10"), numbered(94, 100));
    EXPECT_EQ(preview("./long.md\t0\tx", "3"), numbered(1, 3));
    EXPECT_EQ(preview("./missing.md\t3\tx", "many"), "");
    // The finder's span (bat's is seen on its road), whatever the window: the whole file to scroll
    // through, or 30 lines from 15 before a hit.
    notes.env.vars["VESK_PREVIEW_SPAN"] = "file";
    EXPECT_EQ(preview("./long.md", "20"), numbered(1, 100));
    EXPECT_EQ(preview("./long.md\t50\tx", "20"), numbered(35, 64));
    EXPECT_EQ(preview("./long.md\t16\tx", "0"), numbered(1, 30));
    // A gigabyte (NUL bytes after the lines, sparse) is read only as far as a preview reads; a
    // hit beyond that shows the first lines.
    fs::copy_file(notes.dir / "long.md", notes.dir / "huge.md");
    fs::resize_file(notes.dir / "huge.md", std::uintmax_t{1} << 30);
    shown = preview("./huge.md", "20");
    EXPECT_TRUE(shown.starts_with(numbered(1, 100)));
    EXPECT_LT(shown.size(), kPreviewBytes + 1000);
    EXPECT_EQ(preview("./huge.md\t5000000\tx", "20"), numbered(1, 30));
    notes.env.vars["VESK_PREVIEW_SPAN"] = std::nullopt;

    // bat, found as Debian's batcat, shows the same window (its colours taken out).
    notes.use_tools({"batcat"});
    for (const char* name : {"long.md", "huge.md"}) {
        shown = std::regex_replace(preview("./" + std::string(name) + "\t50\tx", "20"), std::regex("\x1b\\[[0-9;]*m"), "");
        for (int n : {40, 50, 59}) EXPECT_NE(shown.find(" line " + std::to_string(n)), std::string::npos) << shown;
        for (int n : {39, 60}) EXPECT_EQ(shown.find(" line " + std::to_string(n)), std::string::npos) << shown;
    }
}

TEST(NoteCommands, SearchContentLinesAndListing) {
    Notes notes;
    write_text(notes.dir / "sub" / "a:b.md", "x\nneedle\tand tab\n");
    write_text(notes.dir / ".git" / "config", "needle\n");
    write_text(notes.dir / "node_modules" / "m.md", "needle\n");
    std::string dir = notes.dir.string();
    EXPECT_EQ(notes.env.run({"note", "search-content", dir, "needle"}).out, "sub/a:b.md:2:needle and tab\t" + dir + "/sub/a:b.md\t2\n");
    EXPECT_EQ(notes.env.run({"note", "search-content", dir, "absent"}).out, "");
    EXPECT_EQ(notes.env.run({"note", "search-content", dir + "/sub/a:b.md", "needle"}).out, "");
    // Without a query every file is listed with line 0, hidden and ignored ones too, by every lister.
    for (const char* tool : {"rg", "fdfind", "find"}) {
        notes.use_tools({tool});
        EXPECT_EQ(body(notes.env.run({"note", "search-content", dir}).out, ""),
                  (Lines{"sub/a:b.md\t" + dir + "/sub/a:b.md\t0", ".git/config\t" + dir + "/.git/config\t0",
                         "node_modules/m.md\t" + dir + "/node_modules/m.md\t0"}))
            << tool;
    }
}

TEST(NoteCommands, ParseMfLine) {
    PrivateEnv env;
    EXPECT_EQ(env.run({"note", "parse-mf-line"}, "'./a:3:b.md\t12\thello'\n\n").out, "./a:3:b.md\t12\n");
    EXPECT_EQ(env.run({"note", "parse-mf-line"}, "./back\\\\slash.md\t+4\tx").out, "./back\\slash.md\t+4\n");
    // No rule match, and a line feed in the name, which cannot be answered on one line: nothing.
    for (const char* input : {"a.md\t12", "./two\\nlines.md\t1\tx"}) EXPECT_EQ(env.run({"note", "parse-mf-line"}, input).out, "");
}

// The picker's road: fzf in a tmux pane lists through `note list`, previews, reveals and deletes
// through its bindings, with fzf's own quoting of {} and {q} and the bindings run by /bin/sh.
TEST(NoteCommands, FzfBindingsActOnTheChosenNote) {
    Notes notes({"rg", "open"});
    TmuxServer server(160, 40, notes.env.tmp(), notes.env.home());
    // What cutting a name at its first ':' or at its line feed would name instead.
    write_text(notes.dir / "a", "--pre=rm as text\n");
    write_text(notes.dir / "two", "decoy\n");
    for (std::size_t i = 0; i < kHostileNames.size(); ++i)
        write_text(notes.dir / kHostileNames[i], "preview " + std::to_string(i) + "\nword" + std::to_string(i) + "z\n");
    write_text(notes.mode, "content\n");

    std::string bin = shell_quote(vesk_binary()), files = shell_quote(notes.root_file.string()) + " " + shell_quote(notes.mode.string());
    std::string reload = "reload:cd " + shell_quote(notes.dir.string()) + " && " + bin + " note list " + shell_quote(notes.mode.string()) + " {q}";
    Words argv{*which("fzf"), "--phony", "--header-lines=1", "--delimiter=\t", "--with-nth=1,2,3",
               "--bind", "start:" + reload, "--bind", "change:" + reload,
               // A key to ask for the preview again while a stale one stays (see wait_for_preview).
               "--bind", "ctrl-r:refresh-preview",
               "--bind", "ctrl-o:execute-silent(" + bin + " note reveal " + files + " {})",
               "--bind", "ctrl-x:execute-silent(" + bin + " note delete " + files + " {})+" + reload,
               "--preview", bin + " note preview " + files + " {}"};
    EnvChanges env = notes.env.env();
    env.emplace_back("SHELL", "/bin/sh");
    std::string pane = server.run_in_pane(argv, inside_tmux(env), notes.env.root());
    auto ask = [&](const std::string& query) {
        server.send_keys(pane, {"C-u"});
        server.send_text(pane, query);
        return server.wait_for_screen(pane, [&](const std::string& s) {
            return s.find("> " + query) != std::string::npos && s.find("1/1") != std::string::npos;
        });
    };
    for (std::size_t i = 0; i < kHostileNames.size(); ++i) {
        const std::string& name = kHostileNames[i];
        ASSERT_TRUE(ask("word" + std::to_string(i) + "z")) << name << "\n" << server.capture(pane);
        EXPECT_TRUE(server.wait_for_preview(pane, showing("preview " + std::to_string(i)),
                                            [&] { server.send_keys(pane, {"C-r"}); }))
            << server.capture(pane);
        fs::remove(notes.open_log);
        server.send_keys(pane, {"C-o"});
        ASSERT_TRUE(wait_until([&] { return fs::exists(notes.open_log); })) << name;
        EXPECT_EQ(read_text(notes.open_log), notes.opened(name));
        server.send_keys(pane, {"C-x"});
        EXPECT_TRUE(wait_until([&] { return !fs::exists(notes.dir / name); })) << name;
    }
    EXPECT_TRUE(ask("--pre=rm")) << server.capture(pane);
    EXPECT_EQ(notes.files(), (Lines{"a", "two"}));
    EXPECT_FALSE(notes.pwned());
}

}  // namespace
}  // namespace vesk::test

// The program's exits as a caller sees them: which stream, which status, which words.
#include <gtest/gtest.h>

#include "cli/dispatch.hpp"
#include "support/private_env.hpp"

using namespace vesk::test;

namespace {

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }
bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(Cli, HelpAndVersionGoToStandardOutputWithStatusZero) {
    PrivateEnv env;
    RunResult version = env.run({"-V"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "vesk v1.2.2\n");
    EXPECT_EQ(version.err, "");

    RunResult help = env.run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_TRUE(starts_with(help.out, "Usage: vesk <COMMAND>\n")) << help.out;
    // Every top-level command, in order, then the help command.
    size_t at = 0;
    for (const char* name : {"tidewell", "quillbox", "note", "log", "popup", "copy", "session", "pane", "finder",
                             "dir", "app", "mapping", "version", "setup", "mode", "rebuild", "config", "ui", "doctor",
                             "diagnostics", "help"}) {
        size_t next = help.out.find(std::string("\n  ") + name, at);
        ASSERT_NE(next, std::string::npos) << name;
        at = next + 1;
    }

    // Help or version, whichever is asked for first, by the command it is asked of.
    const std::string root_short_help = env.run({"-h"}).out;
    for (const auto& [args, out] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"-hV"}, root_short_help}, {{"--help", "--version"}, help.out}, {{"-Vh"}, version.out},
             {{"-h", "doctor"}, root_short_help}, {{"doctor", "-h", "-V"}, env.run({"doctor", "-h"}).out}})
        EXPECT_EQ(env.run(args).out, out) << args.front();

    // The help subcommand of a group names a leaf; -h and --help differ only where a long text exists.
    RunResult leaf = env.run({"finder", "help", "select-file"});
    EXPECT_EQ(leaf.status, 0);
    EXPECT_TRUE(starts_with(leaf.out, "Usage: vesk finder select-file [TARGET] [REGEX]\n")) << leaf.out;
    EXPECT_EQ(env.run({"help", "finder", "select-file"}).out, leaf.out);

    RunResult short_help = env.run({"rebuild", "-h"});
    RunResult long_help = env.run({"rebuild", "--help"});
    EXPECT_EQ(short_help.status, 0);
    EXPECT_EQ(long_help.status, 0);
    EXPECT_TRUE(starts_with(short_help.out, "설정 조각을 모아 tmux 설정 파일을 다시 만듭니다\n\nUsage: vesk rebuild [OPTIONS]"));
    EXPECT_TRUE(starts_with(long_help.out,
                            "설정 조각을 모아 tmux 설정 파일을 다시 만듭니다.\n\n설정 파일을 만드는 일은 이 명령에서만 "
                            "일어납니다.\n\nUsage: vesk rebuild [OPTIONS]"));
    EXPECT_TRUE(contains(short_help.out, "--profile <PROFILE>  어느 환경의 설정을 만들지 고릅니다. 기본은 지금 돌고 "
                                         "있는 운영체제입니다 [possible values: macos, linux, window]\n"));

    EXPECT_TRUE(contains(env.run({"config", "keybindings", "--help"}).out, "--zeltdir <DIR>"));

    // Help after positional words, unless it falls inside a list that has begun taking words as data.
    for (const auto& [args, usage] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"note", "list", "f", "--help"}, "vesk note list <MODE_FILE> [QUERY]"},
             {{"quillbox", "list", "deep-search", "-h"}, "vesk quillbox list <MODE> [QUERY]"},
             {{"quillbox", "create-named", "a", "--help"}, "vesk quillbox create-named [RAW]..."},
             {{"quillbox", "edit-with-vim", "f", "--help"}, "vesk quillbox edit-with-vim <FILE> [EXTRA_ARGS]..."},
             {{"log", "codex-run", "--help"}, "vesk log codex-run [ARGS]..."}}) {
        RunResult r = env.run(args);
        EXPECT_EQ(r.status, 0) << usage;
        EXPECT_TRUE(starts_with(r.out, "Usage: " + usage + "\n")) << r.out << r.err;
    }
}

TEST(Cli, UsageErrorsGoToStandardErrorWithStatusTwo) {
    PrivateEnv env;
    RunResult bare = env.run({});
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(bare.out, "");
    EXPECT_EQ(bare.err, env.run({"--help"}).out);

    struct Case {
        std::vector<std::string> args;
        std::string message;  // the first line on standard error
        std::string usage;
    };
    const std::vector<Case> cases = {
        {{"tidewell"}, "error: 'vesk tidewell' requires a subcommand but one was not provided", "vesk tidewell <COMMAND>"},
        {{"config", "--zeltdir", "/x"}, "error: 'vesk config' requires a subcommand but one was not provided",
         "vesk config [OPTIONS] <COMMAND>"},
        {{"tidewell", "nope"}, "error: unrecognized subcommand 'nope'", "vesk tidewell <COMMAND>"},
        {{"help", "nope"}, "error: unrecognized subcommand 'nope'", "vesk <COMMAND>"},
        {{"popup", "message-render"}, "error: MODE is required", "vesk popup message-render <MODE> <FILE>"},
        {{"popup", "message"}, "error: MESSAGE is required", "vesk popup message [MODE] <MESSAGE>..."},
        {{"rebuild", "--profile", "windows"}, "error: invalid value 'windows' for '--profile <PROFILE>'",
         "vesk rebuild [OPTIONS]"},
        {{"quillbox", "list", "files"}, "error: invalid value 'files' for '<MODE>'", "vesk quillbox list <MODE> [QUERY]"},
        {{"finder", "--version"}, "error: unexpected argument '--version'", "vesk finder <COMMAND>"},
        // `config` hands unknown options up the tree (for --zeltdir): the root's version is not among them.
        {{"config", "-V"}, "error: unexpected argument '-V'", "vesk config [OPTIONS] <COMMAND>"},
        {{"config", "--version"}, "error: unexpected argument '--version'", "vesk config [OPTIONS] <COMMAND>"},
        {{"config", "keybindings", "-V"}, "error: unexpected argument '-V'", "vesk config keybindings [OPTIONS]"},
        {{"doctor", "-V", "-h"}, "error: unexpected argument '-V'", "vesk doctor [OPTIONS] [COMMAND]"},
        {{"doctor", "popup", "--json"}, "error: The following argument was not expected: --json", "vesk doctor popup"},
        {{"ui", "select", "--prompt"}, "", "vesk ui select [OPTIONS]"},
        // A flag takes no value, whatever the value says.
        {{"doctor", "--json=0"}, "error: unexpected value '0' for '--json' found; no more were expected",
         "vesk doctor [OPTIONS] [COMMAND]"},
        {{"doctor", "--json", "--strict=false"}, "error: unexpected value 'false' for '--strict' found; no more were expected",
         "vesk doctor [OPTIONS] [COMMAND]"},
        {{"doctor", "--strict=true"}, "error: unexpected value 'true' for '--strict' found; no more were expected",
         "vesk doctor [OPTIONS] [COMMAND]"},
        {{"session", "kill-and-next", "--confirmed=1"},
         "error: unexpected value '1' for '--confirmed' found; no more were expected", "vesk session kill-and-next [OPTIONS]"},
        {{"doctor", "--help=no"}, "error: unexpected value 'no' for '--help' found; no more were expected",
         "vesk doctor [OPTIONS] [COMMAND]"},
        {{"doctor", "--json="}, "error: unexpected value '' for '--json' found; no more were expected",
         "vesk doctor [OPTIONS] [COMMAND]"},
        {{"doctor", "-h=1"}, "error: unexpected value '1' for '-h' found; no more were expected",
         "vesk doctor [OPTIONS] [COMMAND]"},
        {{"-V=1"}, "error: unexpected value '1' for '-V' found; no more were expected", "vesk <COMMAND>"},
        {{"--version="}, "error: unexpected value '' for '--version' found; no more were expected", "vesk <COMMAND>"},
        {{"mode", "extra"}, "", "vesk mode"},
        // An empty root would fill the working directory with bin/, doc/ and lists/.
        {{"setup", "--zeltdir", ""}, "error: invalid value '' for '--zeltdir <DIR>': the installation root cannot be empty",
         "vesk setup [OPTIONS]"},
        {{"rebuild", "--zeltdir="}, "error: invalid value '' for '--zeltdir <DIR>': the installation root cannot be empty",
         "vesk rebuild [OPTIONS]"},
        {{"config", "--zeltdir", "", "apply-keybindings"},
         "error: invalid value '' for '--zeltdir <DIR>': the installation root cannot be empty",
         "vesk config [OPTIONS] <COMMAND>"},
    };
    for (const Case& c : cases) {
        RunResult r = env.run(c.args);
        EXPECT_EQ(r.status, 2) << c.args.front();
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(starts_with(r.err, c.message.empty() ? "error: " : c.message + "\n")) << r.err;
        EXPECT_TRUE(contains(r.err, "\nUsage: " + c.usage + "\n")) << r.err;
    }
    EXPECT_TRUE(contains(env.run({"rebuild", "--profile", "windows"}).err, "[possible values: macos, linux, window]"));
    EXPECT_TRUE(contains(env.run({"quillbox", "list", "files"}).err,
                         "[possible values: index-search, deep-search, vault-select, recent-search, file-move]"));
}

TEST(Cli, HandlerErrorsArePrintedAfterErrorWithStatusOne) {
    PrivateEnv env;
    RunResult exported = env.run({"diagnostics", "export"});
    EXPECT_EQ(exported.status, 1);
    EXPECT_EQ(exported.err, "Error: diagnostics export는 아직 구현되지 않았습니다.\n");
}

TEST(Cli, CommandsThatNeedTmuxEndWithTheirMessageOutsideIt) {
    PrivateEnv env;  // TMUX is unset
    for (std::optional<std::string> tmux : {std::optional<std::string>{}, std::optional<std::string>{""}}) {
        env.vars["TMUX"] = tmux;
        RunResult r = env.run({"pane", "zoom-toggle"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "tmux 세션에서만 사용할 수 있습니다.\n");
    }
}

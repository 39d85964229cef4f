// Keys that tmux's parser reads specially must survive keybindings.conf: written quoted, read back
// as the same key by vesk and by the real tmux.
#include "keybind/keys.hpp"

#include <gtest/gtest.h>

#include "core/process.hpp"
#include "keybind/overrides.hpp"
#include "keybind/source.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk::keybind {
namespace {

using vesk::test::TempDir;
using vesk::test::TmuxServer;

const std::vector<std::string> kSpecialKeys = {"#",   ";",    "\"",  "'",    "\\", "{", "}",     "~",       "$",  "M-;",
                                               "M-'", "C-\\", "M-#", "M-\"", "%",  "-", "Enter", "C-Space", "M-{"};

TEST(KeybindKeys, QuotedForms) {
    // Plain keys stay bare; the quote chosen is the one the key does not hold.
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"C-Space", "C-Space"}, {"-", "-"}, {"#", "'#'"}, {"'", "\"'\""}, {"M-;", "'M-;'"}, {"M-'", "\"M-'\""},
    };
    for (const auto& [key, quoted] : cases) {
        EXPECT_EQ(keys::quote_key(key), quoted) << key;
        EXPECT_EQ(keys::unquote_key(quoted), key) << quoted;
    }
    // Forms written by hand, and tmux's own forms in list-keys.
    const std::pair<std::string_view, std::string_view> read[] = {
        {"\\;", ";"}, {"\\#", "#"}, {"\"\\\"\"", "\""}, {"\"M-#\"", "M-#"}, {"\\\\", "\\"},
        {"'unclosed", "'unclosed"}, {"\"unclosed", "\"unclosed"},
    };
    for (const auto& [word, key] : read) EXPECT_EQ(keys::unquote_key(word), key) << word;
    EXPECT_TRUE(keys::word_is_key("'#'", "#"));
    EXPECT_FALSE(keys::word_is_key("'#'", "'"));
}

// Runs `tmux -L <fresh> -f /dev/null start-server ; source-file -n FILE ; kill-server`, which
// prints every parse error on standard output and still exits 0.
std::string tmux_parse_errors(const TmuxServer& server, const std::filesystem::path& file) {
    ChildCommand cmd(test::real_tmux(), {"-L", server.socket_name() + "-check", "-f", "/dev/null", "start-server",
                                         ";", "source-file", "-n", file.string(), ";", "kill-server"});
    cmd.set_env("TMUX_TMPDIR", server.tmpdir().string()).remove_env("TMUX").set_env("LANG", "C.UTF-8");
    cmd.stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe);
    Output out = run_child(cmd);
    return out.out + out.err;
}

TEST(KeybindKeys, SpecialKeysSurviveSaveLoadAndTmux) {
    TempDir dir;
    auto path = dir / "keybindings.conf";

    // Every special key once as a new key (bind-key line) and once as a removed default (unbind).
    std::vector<overrides::SaveEntry> entries;
    std::vector<source::Binding> defaults;
    for (std::size_t i = 0; i < kSpecialKeys.size(); ++i) {
        std::string command = "display-message x" + std::to_string(i);
        entries.push_back({"키 " + std::to_string(i), "prefix", "F1", "prefix", kSpecialKeys[i], command});
        entries.push_back({"지움", "copy-mode", kSpecialKeys[i], "copy-mode", std::nullopt, "send -X cancel"});
        defaults.push_back({"prefix", "F1", command, "", "", "conf:" + std::to_string(i + 1), "conf"});
        defaults.push_back({"copy-mode", kSpecialKeys[i], "send -X cancel", "", "", "c:1", "c"});
    }
    overrides::save(path, entries);

    // vesk reads every key back as itself.
    auto resolved = overrides::resolve(defaults, overrides::load(path));
    for (std::size_t i = 0; i < kSpecialKeys.size(); ++i) {
        EXPECT_EQ(resolved[2 * i].current_key, kSpecialKeys[i]) << kSpecialKeys[i];
        EXPECT_EQ(resolved[2 * i + 1].current_key, std::nullopt) << kSpecialKeys[i];
    }

    // tmux parses the file without a complaint...
    TmuxServer server;
    EXPECT_EQ(tmux_parse_errors(server, path), "");

    // ...and binds exactly these keys: list-keys prints them in its own quoting, which the parser
    // reads back to the same key.
    auto loaded = server.tmux({"source-file", path.string()});
    EXPECT_EQ(loaded.status, 0) << loaded.out << loaded.err;
    auto listed = source::parse(server.tmux_ok({"list-keys", "-T", "prefix"}), "list-keys");
    for (std::size_t i = 0; i < kSpecialKeys.size(); ++i) {
        std::string command = "display-message x" + std::to_string(i);
        auto it = std::find_if(listed.begin(), listed.end(), [&](const auto& b) { return b.command == command; });
        ASSERT_NE(it, listed.end()) << kSpecialKeys[i];
        EXPECT_EQ(it->key, kSpecialKeys[i]);
    }
}

}  // namespace
}  // namespace vesk::keybind

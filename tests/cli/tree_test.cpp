// The command tree parsed in-process: which leaf a command line reaches and what its handler gets.
// The exits (help, version, usage errors) are covered through the built program in cli_test.cpp.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/dispatch.hpp"
#include "cli/tree.hpp"

using namespace vesk;

namespace {

Commands parse(std::vector<std::string> words) {
    words.insert(words.begin(), "vesk");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    return std::get<Commands>(parse_command_line(static_cast<int>(words.size()), argv.data()));
}

using Words = std::vector<std::string>;

}  // namespace

TEST(Tree, EveryLeafParsesWithItsArgumentsAndHasAHandler) {
    // Each leaf, then the arguments it requires.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"tidewell open", "--target-pane %1 --project p"}, {"tidewell window-open", ""},
        {"tidewell project-select", "--popup"}, {"tidewell question-list", "/d q"}, {"tidewell question-preview", "/f"},
        {"tidewell question-select", "/d"}, {"tidewell chat-popup", ""}, {"quillbox list", "index-search"},
        {"quillbox build-index", ""}, {"quillbox update-index", "f"}, {"quillbox import-list", ""},
        {"quillbox create-vault", ""}, {"quillbox create-named", "a b"}, {"quillbox execute-item", "f"},
        {"quillbox edit-with-vim", "f"}, {"quillbox open-in-finder", "m"}, {"quillbox move-item", "s t i r"},
        {"quillbox delete-item", "m x"}, {"quillbox open", "--target-command zsh"},
        {"quillbox run-fzf", "--mode-file a --query-file b --source-file c --prev-mode-file d"},
        {"quillbox preview", "m"}, {"note open", ""}, {"note popup", ""}, {"note select", "/d"}, {"note list", "m"},
        {"note preview", "r m sel"}, {"note delete", "r m"}, {"note reveal", "r m"}, {"note toggle-mode", "m"},
        {"note search-content", "/d q"}, {"note parse-mf-line", ""}, {"log shell-toggle", ""}, {"log shell-start", ""},
        {"log codex-toggle", ""}, {"log codex-start", ""}, {"log codex-run", ""}, {"log codex-status", ""},
        {"log codex-tail", ""}, {"log search-popup", ""}, {"log search-query", "f"}, {"log search-preview", "f q"},
        {"popup message", "modal hi"}, {"popup message-render", "popup /f"}, {"copy cut-selection", ""},
        {"session kill-and-next", "--confirmed"}, {"session tree-popup", ""}, {"session create-popup-open", ""},
        {"session create-popup", ""}, {"pane zoom-toggle", ""}, {"finder filter-edit", "f"},
        {"finder filter-edit-dispatch", ""}, {"finder multimode-open", "%1 /p"}, {"finder multimode", ""},
        {"finder mf-search", "m q"}, {"finder mf-toggle", "m"}, {"finder git-search", "m"}, {"finder git-toggle", "m"},
        {"finder open-with", ""}, {"finder select-file", ""}, {"dir popup", ""}, {"dir favorite", ""},
        {"app launch-open", ""}, {"app launch", ""}, {"mapping popup", ""}, {"version controller", ""},
        {"version run", ""}, {"version exec", ""}, {"setup", "--force --skip-plugins --profile linux"}, {"mode", ""},
        {"rebuild", "--no-check --no-reload"}, {"config keybindings", ""}, {"config keybindings-popup", ""},
        {"config apply-keybindings", ""}, {"config plugins", ""}, {"config plugins-popup", ""}, {"ui select", ""},
        {"doctor", ""}, {"doctor", "--plain popup"}, {"diagnostics export", ""},
    };
    for (const auto& [leaf, args] : cases) {
        Words words;
        std::istringstream in(leaf + " " + args);
        for (std::string w; in >> w;) words.push_back(w);
        Commands c = parse(words);
        EXPECT_EQ(c.leaf, leaf) << args;
        EXPECT_TRUE(has_handler(c.leaf)) << c.leaf;
    }
}

TEST(Tree, TrailingListsTakeEveryWordAfterThem) {
    Commands run = parse({"log", "codex-run", "--model", "x", "-a", "--", "++", "--help"});
    EXPECT_EQ(run.log_codex_run.args, (Words{"--model", "x", "-a", "--", "++", "--help"}));

    Commands edit = parse({"quillbox", "edit-with-vim", "F", "-a", "b", "--help"});
    EXPECT_EQ(edit.quillbox_edit_with_vim.file, "F");
    EXPECT_EQ(edit.quillbox_edit_with_vim.extra_args, (Words{"-a", "b", "--help"}));

    // Picker queries, lines and item names that begin with "-" are words, not options.
    EXPECT_EQ(parse({"quillbox", "list", "deep-search", "--pre=x"}).quillbox_list.query, "--pre=x");
    EXPECT_EQ(parse({"quillbox", "list", "deep-search", "--", "-x"}).quillbox_list.query, "-x");
    EXPECT_EQ(parse({"quillbox", "preview", "M", "-a:3:x", "--json=1"}).quillbox_preview.selection,
              (Words{"-a:3:x", "--json=1"}));
    EXPECT_EQ(parse({"quillbox", "delete-item", "M", "--", "-a"}).quillbox_delete_item.selection, (Words{"-a"}));
    EXPECT_EQ(parse({"quillbox", "create-named", "-draft", "--x"}).quillbox_create_named.raw, (Words{"-draft", "--x"}));
    EXPECT_EQ(parse({"quillbox", "create-named", "--", "-x"}).quillbox_create_named.raw, (Words{"-x"}));

    Commands popup = parse({"popup", "message", "modal", "a", "b"});
    EXPECT_EQ(popup.popup_message.mode, "modal");
    EXPECT_EQ(popup.popup_message.message, (Words{"a", "b"}));
    // Once the message has begun, later words belong to it even when they look like options.
    EXPECT_EQ(parse({"popup", "message", "modal", "rc", "-1", "--", "c", "-x"}).popup_message.message,
              (Words{"rc", "-1", "--", "c", "-x"}));
    Commands escaped = parse({"popup", "message", "--", "-m", "-x", "y"});
    EXPECT_EQ(escaped.popup_message.mode, "-m");
    EXPECT_EQ(escaped.popup_message.message, (Words{"-x", "y"}));

    Commands selection = parse({"note", "preview", "root", "mode", "x", "y z"});
    EXPECT_EQ(selection.note_preview.root_dir_file, "root");
    EXPECT_EQ(selection.note_preview.mode_file, "mode");
    EXPECT_EQ(selection.note_preview.selection, (Words{"x", "y z"}));
}

TEST(Tree, DefaultsOptionalsAndExplicitEmptyWords) {
    Commands select = parse({"finder", "select-file"});
    EXPECT_EQ(select.finder_select_file.target, ".");
    EXPECT_EQ(select.finder_select_file.regex, ".*");

    Commands ui = parse({"ui", "select"});
    EXPECT_EQ(ui.ui_select.prompt, "select> ");
    EXPECT_FALSE(ui.ui_select.items_from);
    EXPECT_EQ(parse({"ui", "select", "--prompt="}).ui_select.prompt, "");
    EXPECT_EQ(parse({"ui", "select", "--prompt=a=b", "--items-from=-"}).ui_select.prompt, "a=b");
    EXPECT_EQ(parse({"ui", "select", "--items-from=-"}).ui_select.items_from, "-");

    EXPECT_EQ(parse({"note", "open", ""}).note_open.mode, "");

    Commands query = parse({"finder", "mf-search", "m"});
    EXPECT_FALSE(query.finder_mf_search.query);
    EXPECT_EQ(parse({"finder", "mf-search", "m", ""}).finder_mf_search.query, "");
}

TEST(Tree, GlobalZeltdirEnumsAndDoctorFlags) {
    Commands before = parse({"config", "--zeltdir", "/x", "keybindings"});
    Commands after = parse({"config", "keybindings", "--zeltdir", "/x"});
    EXPECT_EQ(before.config_zeltdir, "/x");
    EXPECT_EQ(after.config_zeltdir, "/x");
    EXPECT_EQ(parse({"config", "plugins", "--zeltdir=/y"}).config_zeltdir, "/y");
    EXPECT_FALSE(parse({"config", "plugins"}).config_zeltdir);

    EXPECT_EQ(parse({"config", "keybindings"}).config_keybindings.profile, ConfigProfile::Macos);
    EXPECT_EQ(parse({"config", "keybindings", "--profile", "window"}).config_keybindings.profile, ConfigProfile::Window);

    EXPECT_FALSE(parse({"rebuild"}).rebuild.profile);
    EXPECT_EQ(parse({"setup"}).setup.profile, default_profile());  // setup assembles for the platform it runs on
    Commands rebuild = parse({"rebuild", "--profile=linux", "--output", "/o", "--zeltdir", "/z", "--no-check"});
    EXPECT_EQ(rebuild.rebuild.profile, RebuildProfile::Linux);
    EXPECT_EQ(rebuild.rebuild.output, "/o");
    EXPECT_EQ(rebuild.rebuild.zeltdir, "/z");
    EXPECT_TRUE(rebuild.rebuild.no_check);
    EXPECT_FALSE(rebuild.rebuild.no_reload);

    EXPECT_EQ(parse({"quillbox", "list", "file-move", "q"}).quillbox_list.mode, agent::QuillboxListMode::FileMove);

    Commands plain = parse({"doctor", "--json", "--strict"});
    EXPECT_FALSE(plain.doctor.popup);
    EXPECT_TRUE(plain.doctor.json);
    EXPECT_TRUE(plain.doctor.strict);
    EXPECT_FALSE(plain.doctor.plain);
    EXPECT_TRUE(parse({"doctor", "popup"}).doctor.popup);
}

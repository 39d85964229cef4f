// The whole command tree in one file: CLI11 is slow to compile, so nothing else includes it.
//
// Start-up matters (fzf starts the program once per keystroke), so a group's leaves are only
// declared when the group's name is among the words, and `--version` alone never builds the tree.

#include "cli/tree.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>


namespace vesk {

namespace {

constexpr const char* kVersionText = "vesk " VESK_VERSION "\n";
constexpr const char* kHelpCommandAbout = "Print this message or the help of the given subcommand(s)";

const std::vector<std::string> kProfiles = {"macos", "linux", "window"};
const std::vector<std::string> kQuillboxModes = {"index-search", "deep-search", "vault-select", "recent-search",
                                                 "file-move"};

// What the help shows of an argument beyond its CLI11 definition.
struct ArgInfo {
    bool list = false;
    std::string default_text;  // shown as [default: ...] when `has_default`
    bool has_default = false;
    const std::vector<std::string>* choices = nullptr;
};

// A usage error found by our own checks after CLI11 has parsed the words.
struct UsageError {
    const CLI::App* app;
    std::string message;
};

std::string join(const std::vector<std::string>& words, std::string_view sep) {
    std::string out;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i) out += sep;
        out += words[i];
    }
    return out;
}

// "--target-pane" -> "TARGET_PANE"
std::string value_name_of(std::string_view long_name) {
    std::string out;
    for (char ch : long_name.substr(2)) out += ch == '-' ? '_' : static_cast<char>(std::toupper(ch));
    return out;
}

std::string command_path(const CLI::App* app) {
    std::vector<std::string> names;
    for (; app; app = app->get_parent()) names.push_back(app->get_name());
    std::reverse(names.begin(), names.end());
    return join(names, " ");
}

// The subcommand chain the parser went down; the last one is the command in charge.
std::vector<CLI::App*> selected_chain(CLI::App& root) {
    std::vector<CLI::App*> chain{&root};
    while (true) {
        auto subs = chain.back()->get_subcommands();
        if (subs.empty()) return chain;
        chain.push_back(subs.front());
    }
}

class Tree {
public:
    Tree(Commands& commands, const std::vector<std::string>& words);

    CLI::App root{"", "vesk"};
    std::vector<std::string> help_words;  // the words after any `help` subcommand

    // Turns the enum words into their values; throws UsageError for a word outside the list.
    void finish();

    std::string help(const CLI::App* app, bool long_help) const;
    std::string usage(const CLI::App* app) const;

private:
    Commands& c_;
    const std::vector<std::string>& words_;
    std::map<const CLI::Option*, ArgInfo> info_;
    std::map<const CLI::App*, std::string> long_about_;

    std::string setup_profile_ = profile_name(default_profile());  // setup assembles for the platform it runs on
    std::string keybindings_profile_ = "macos";
    std::optional<std::string> rebuild_profile_;
    std::string quillbox_mode_;
    CLI::Option* setup_profile_opt_ = nullptr;
    CLI::Option* keybindings_profile_opt_ = nullptr;
    CLI::Option* rebuild_profile_opt_ = nullptr;
    CLI::Option* quillbox_mode_opt_ = nullptr;
    CLI::App* setup_app_ = nullptr;
    CLI::App* keybindings_app_ = nullptr;
    CLI::App* rebuild_app_ = nullptr;
    CLI::App* quillbox_list_app_ = nullptr;
    CLI::App* config_app_ = nullptr;

    bool named(std::string_view group) const {
        return std::find(words_.begin(), words_.end(), group) != words_.end();
    }

    CLI::App* group(const char* name, const char* about = "") {
        CLI::App* g = root.add_subcommand(name, about);
        g->require_subcommand(1);
        return g;
    }
    static CLI::App* leaf(CLI::App* parent, const char* name, const char* about = "") {
        return parent->add_subcommand(name, about);
    }
    CLI::App* help_command(CLI::App* parent) {
        CLI::App* h = parent->add_subcommand("help", kHelpCommandAbout);
        list(h, "COMMAND", help_words);
        return h;
    }

    // Positionals: required, optional, a list, or one with a default.
    CLI::Option* required(CLI::App* app, const char* name, std::string& field) {
        return app->add_option(name, field)->required();
    }
    CLI::Option* optional(CLI::App* app, const char* name, std::optional<std::string>& field) {
        return app->add_option_function<std::string>(name, [&field](const std::string& v) { field = v; });
    }
    CLI::Option* list(CLI::App* app, const char* name, std::vector<std::string>& field) {
        CLI::Option* o = app->add_option(name, field);
        info_[o].list = true;
        return o;
    }
    CLI::Option* defaulted(CLI::App* app, const char* name, std::string& field) {
        CLI::Option* o = app->add_option(name, field);
        info_[o].has_default = true;
        info_[o].default_text = field;
        return o;
    }
    // Options with a value; the value name is the option's name unless given.
    CLI::Option* text(CLI::App* app, const char* name, std::optional<std::string>& field, const char* about = "",
                      const char* value_name = nullptr) {
        CLI::Option* o = app->add_option_function<std::string>(
            name, [&field](const std::string& v) { field = v; }, about);
        o->type_name(value_name ? value_name : value_name_of(name));
        return o;
    }
    CLI::Option* text_default(CLI::App* app, const char* name, std::string& field) {
        CLI::Option* o = app->add_option(name, field)->type_name(value_name_of(name));
        info_[o].has_default = true;
        info_[o].default_text = field;
        return o;
    }
    CLI::Option* choice(CLI::App* app, const char* name, std::string& word, const std::vector<std::string>& values,
                        const char* about = "") {
        CLI::Option* o = app->add_option(name, word, about)->type_name(value_name_of(name));
        info_[o].choices = &values;
        info_[o].has_default = !word.empty();
        info_[o].default_text = word;
        return o;
    }
    CLI::Option* optional_choice(CLI::App* app, const char* name, std::optional<std::string>& word,
                                 const std::vector<std::string>& values, const char* about) {
        CLI::Option* o = text(app, name, word, about);
        info_[o].choices = &values;
        return o;
    }
    static CLI::Option* flag(CLI::App* app, const char* name, bool& field, const char* about = "") {
        return app->add_flag(name, field, about);
    }

    void tidewell();
    void quillbox();
    void note();
    void log();
    void popup();
    void copy();
    void session();
    void pane();
    void finder();
    void dir();
    void app();
    void mapping();
    void version();
    void setup();
    void mode();
    void rebuild();
    void config();
    void ui();
    void doctor();
    void diagnostics();

    std::string option_left(const CLI::Option* o) const;
    std::string positional_left(const CLI::Option* o) const;
    std::string option_right(const CLI::Option* o, const CLI::App* app, bool long_help) const;
};

Tree::Tree(Commands& commands, const std::vector<std::string>& words) : c_(commands), words_(words) {
    root.set_help_flag("-h", "Print help");
    root.set_help_all_flag("--help", "Print help");
    root.set_version_flag("-V,--version", std::string(kVersionText));
    root.require_subcommand(1);

    using Add = void (Tree::*)();
    static constexpr std::pair<std::string_view, Add> kCommands[] = {
        {"tidewell", &Tree::tidewell}, {"quillbox", &Tree::quillbox}, {"note", &Tree::note},
        {"log", &Tree::log},           {"popup", &Tree::popup},       {"copy", &Tree::copy},
        {"session", &Tree::session},   {"pane", &Tree::pane},         {"finder", &Tree::finder},
        {"dir", &Tree::dir},           {"app", &Tree::app},           {"mapping", &Tree::mapping},
        {"version", &Tree::version},   {"setup", &Tree::setup},       {"mode", &Tree::mode},
        {"rebuild", &Tree::rebuild},   {"config", &Tree::config},     {"ui", &Tree::ui},
        {"doctor", &Tree::doctor},     {"diagnostics", &Tree::diagnostics},
    };
    // When the first word names a command, nothing else can be parsed, helped or complained about:
    // only that command is declared. Otherwise (help, an unknown word) every command is, since the
    // top-level help lists them all; a group's leaves are still only declared when it is named.
    std::string_view first = words.size() > 1 ? std::string_view(words[1]) : std::string_view();
    bool only_first = std::any_of(std::begin(kCommands), std::end(kCommands),
                                  [&](const auto& command) { return command.first == first; });
    for (const auto& [name, add] : kCommands) {
        if (!only_first || name == first) (this->*add)();
    }
    if (!only_first) help_command(&root);
}

void Tree::tidewell() {
    CLI::App* g = group("tidewell");
    if (!named("tidewell")) return;
    CLI::App* s = leaf(g, "open");
    text(s, "--target-pane", c_.tidewell_open.target_pane);
    text(s, "--project", c_.tidewell_open.project);
    s = leaf(g, "window-open");
    text(s, "--target-pane", c_.tidewell_window_open.target_pane);
    s = leaf(g, "project-select");
    text(s, "--target-pane", c_.tidewell_project_select.target_pane);
    flag(s, "--popup", c_.tidewell_project_select.popup);
    s = leaf(g, "question-list");
    required(s, "DIR", c_.tidewell_question_list.dir);
    optional(s, "QUERY", c_.tidewell_question_list.query);
    s = leaf(g, "question-preview");
    required(s, "FILE", c_.tidewell_question_preview.file);
    optional(s, "QUERY", c_.tidewell_question_preview.query);
    s = leaf(g, "question-select");
    required(s, "DIR", c_.tidewell_question_select.dir);
    s = leaf(g, "chat-popup");
    text(s, "--target-pane", c_.tidewell_chat_popup.target_pane);
    help_command(g);
}

void Tree::quillbox() {
    CLI::App* g = group("quillbox");
    if (!named("quillbox")) return;
    // Queries and picker lines reach list, preview, delete-item and open-in-finder as they are, also
    // when they begin with "-" (see mark_data_words).
    CLI::App* s = quillbox_list_app_ = leaf(g, "list");
    quillbox_mode_opt_ = choice(s, "MODE", quillbox_mode_, kQuillboxModes)->required();
    optional(s, "QUERY", c_.quillbox_list.query);
    leaf(g, "build-index");
    s = leaf(g, "update-index");
    required(s, "FILE", c_.quillbox_update_index.file);
    leaf(g, "import-list");
    leaf(g, "create-vault");
    s = leaf(g, "create-named");
    list(s, "RAW", c_.quillbox_create_named.raw);
    s = leaf(g, "execute-item");
    required(s, "FILE", c_.quillbox_execute_item.file);
    // EXTRA_ARGS is cut off the words before parsing (see split_trailing), so that words
    // beginning with "-" pass through; it is declared here for the help.
    s = leaf(g, "edit-with-vim");
    required(s, "FILE", c_.quillbox_edit_with_vim.file);
    list(s, "EXTRA_ARGS", c_.quillbox_edit_with_vim.extra_args);
    s = leaf(g, "open-in-finder");
    required(s, "MODE_FILE", c_.quillbox_open_in_finder.mode_file);
    list(s, "SELECTION", c_.quillbox_open_in_finder.selection);
    s = leaf(g, "move-item");
    required(s, "SOURCE_FILE", c_.quillbox_move_item.source_file);
    required(s, "TARGET_DIR", c_.quillbox_move_item.target_dir);
    required(s, "INDEX_FILE", c_.quillbox_move_item.index_file);
    required(s, "QBOX_ROOT", c_.quillbox_move_item.qbox_root);
    s = leaf(g, "delete-item");
    required(s, "MODE_FILE", c_.quillbox_delete_item.mode_file);
    list(s, "SELECTION", c_.quillbox_delete_item.selection);
    s = leaf(g, "open");
    text(s, "--target-pane", c_.quillbox_open.target_pane);
    text(s, "--target-command", c_.quillbox_open.target_command);
    s = leaf(g, "run-fzf");
    s->add_option("--mode-file", c_.quillbox_run_fzf.mode_file)->required()->type_name("MODE_FILE");
    s->add_option("--query-file", c_.quillbox_run_fzf.query_file)->required()->type_name("QUERY_FILE");
    s->add_option("--source-file", c_.quillbox_run_fzf.source_file)->required()->type_name("SOURCE_FILE");
    s->add_option("--prev-mode-file", c_.quillbox_run_fzf.prev_mode_file)->required()->type_name("PREV_MODE_FILE");
    s = leaf(g, "preview");
    required(s, "MODE_FILE", c_.quillbox_preview.mode_file);
    list(s, "SELECTION", c_.quillbox_preview.selection);
    help_command(g);
}

void Tree::note() {
    CLI::App* g = group("note");
    if (!named("note")) return;
    CLI::App* s = leaf(g, "open");
    defaulted(s, "MODE", c_.note_open.mode);
    leaf(g, "popup");
    s = leaf(g, "select");
    required(s, "DIR", c_.note_select.dir);
    s = leaf(g, "list");
    required(s, "MODE_FILE", c_.note_list.mode_file);
    optional(s, "QUERY", c_.note_list.query);
    for (auto [name, args] : {std::pair{"preview", &c_.note_preview}, std::pair{"delete", &c_.note_delete},
                              std::pair{"reveal", &c_.note_reveal}}) {
        s = leaf(g, name);
        required(s, "ROOT_DIR_FILE", args->root_dir_file);
        required(s, "MODE_FILE", args->mode_file);
        list(s, "SELECTION", args->selection);
    }
    s = leaf(g, "toggle-mode");
    required(s, "MODE_FILE", c_.note_toggle_mode.mode_file);
    s = leaf(g, "search-content");
    required(s, "DIR", c_.note_search_content.dir);
    optional(s, "QUERY", c_.note_search_content.query);
    leaf(g, "parse-mf-line");
    help_command(g);
}

void Tree::log() {
    CLI::App* g = group("log");
    if (!named("log")) return;
    leaf(g, "shell-toggle");
    leaf(g, "shell-start");
    leaf(g, "codex-toggle");
    leaf(g, "codex-start");
    // ARGS is cut off the words before parsing (see split_trailing); declared here for the help.
    CLI::App* s = leaf(g, "codex-run");
    list(s, "ARGS", c_.log_codex_run.args);
    leaf(g, "codex-status");
    leaf(g, "codex-tail");
    leaf(g, "search-popup");
    s = leaf(g, "search-query");
    required(s, "FILE", c_.log_search_query.file);
    optional(s, "QUERY", c_.log_search_query.query);
    s = leaf(g, "search-preview");
    required(s, "FILE", c_.log_search_preview.file);
    optional(s, "QUERY", c_.log_search_preview.query);
    help_command(g);
}

void Tree::popup() {
    CLI::App* g = group("popup");
    if (!named("popup")) return;
    CLI::App* s = leaf(g, "message");
    defaulted(s, "MODE", c_.popup_message.mode);
    list(s, "MESSAGE", c_.popup_message.message)->required();
    s = leaf(g, "message-render");
    required(s, "MODE", c_.popup_message_render.mode);
    required(s, "FILE", c_.popup_message_render.file);
    help_command(g);
}

void Tree::copy() {
    CLI::App* g = group("copy");
    if (!named("copy")) return;
    CLI::App* s = leaf(g, "cut-selection");
    optional(s, "TARGET_PANE", c_.copy_cut_selection.target_pane);
    help_command(g);
}

void Tree::session() {
    CLI::App* g = group("session");
    if (!named("session")) return;
    CLI::App* s = leaf(g, "kill-and-next");
    flag(s, "--confirmed", c_.session_kill_and_next.confirmed,
         "확인을 이미 받았습니다. tmux의 confirm-before가 다시 부를 때만 붙습니다");
    leaf(g, "tree-popup");
    leaf(g, "create-popup-open");
    leaf(g, "create-popup");
    help_command(g);
}

void Tree::pane() {
    CLI::App* g = group("pane");
    if (!named("pane")) return;
    leaf(g, "zoom-toggle");
    help_command(g);
}

void Tree::finder() {
    CLI::App* g = group("finder");
    if (!named("finder")) return;
    CLI::App* s = leaf(g, "filter-edit");
    required(s, "FILE", c_.finder_filter_edit.file);
    leaf(g, "filter-edit-dispatch");
    s = leaf(g, "multimode-open");
    optional(s, "ORIGIN_PANE", c_.finder_multimode_open.origin_pane);
    optional(s, "PANE_PATH", c_.finder_multimode_open.pane_path);
    leaf(g, "multimode");
    s = leaf(g, "mf-search");
    required(s, "MODE_FILE", c_.finder_mf_search.mode_file);
    optional(s, "QUERY", c_.finder_mf_search.query);
    s = leaf(g, "mf-toggle");
    required(s, "MODE_FILE", c_.finder_mf_toggle.mode_file);
    s = leaf(g, "git-search");
    required(s, "MODE_FILE", c_.finder_git_search.mode_file);
    optional(s, "QUERY", c_.finder_git_search.query);
    s = leaf(g, "git-toggle");
    required(s, "MODE_FILE", c_.finder_git_toggle.mode_file);
    leaf(g, "open-with");
    s = leaf(g, "select-file");
    defaulted(s, "TARGET", c_.finder_select_file.target);
    defaulted(s, "REGEX", c_.finder_select_file.regex);
    help_command(g);
}

void Tree::dir() {
    CLI::App* g = group("dir");
    if (!named("dir")) return;
    leaf(g, "popup");
    leaf(g, "favorite");
    help_command(g);
}

void Tree::app() {
    CLI::App* g = group("app");
    if (!named("app")) return;
    leaf(g, "launch-open");
    leaf(g, "launch");
    help_command(g);
}

void Tree::mapping() {
    CLI::App* g = group("mapping");
    if (!named("mapping")) return;
    CLI::App* s = leaf(g, "popup");
    optional(s, "FILE", c_.mapping_popup.file);
    help_command(g);
}

void Tree::version() {
    CLI::App* g = group("version");
    if (!named("version")) return;
    leaf(g, "controller");
    leaf(g, "run");
    leaf(g, "exec");
    help_command(g);
}

void Tree::setup() {
    CLI::App* s = setup_app_ = root.add_subcommand("setup");
    if (!named("setup")) return;
    text(s, "--zeltdir", c_.setup.zeltdir, "설치할 자리입니다. 기본값은 `~/.tmux`입니다", "DIR");
    setup_profile_opt_ = choice(s, "--profile", setup_profile_, kProfiles);
    flag(s, "--force", c_.setup.force, "이미 있는 `~/.tmux.conf`를 옆으로 치우고 이 설치로 잇습니다");
    flag(s, "--skip-plugins", c_.setup.skip_plugins);
}

void Tree::mode() { root.add_subcommand("mode", "지금 어느 자리에서 도는지 알려줍니다"); }

void Tree::rebuild() {
    CLI::App* s = rebuild_app_ = root.add_subcommand("rebuild", "설정 조각을 모아 tmux 설정 파일을 다시 만듭니다");
    long_about_[s] =
        "설정 조각을 모아 tmux 설정 파일을 다시 만듭니다.\n\n설정 파일을 만드는 일은 이 명령에서만 일어납니다.";
    if (!named("rebuild")) return;
    text(s, "--zeltdir", c_.rebuild.zeltdir, "설정 조각과 템플릿이 있는 곳입니다. 기본은 `$HOME/.tmux`입니다", "DIR");
    text(s, "--output", c_.rebuild.output, "만들어질 파일입니다. 기본은 `$HOME/.tmux.conf.local`입니다", "PATH");
    rebuild_profile_opt_ = optional_choice(s, "--profile", rebuild_profile_, kProfiles,
                                           "어느 환경의 설정을 만들지 고릅니다. 기본은 지금 돌고 있는 운영체제입니다");
    flag(s, "--no-check", c_.rebuild.no_check, "tmux 문법 검사를 건너뜁니다");
    flag(s, "--no-reload", c_.rebuild.no_reload, "만든 설정을 지금 돌고 있는 tmux에 다시 읽히지 않습니다");
}

void Tree::config() {
    CLI::App* g = config_app_ = group("config");
    if (!named("config")) return;
    text(g, "--zeltdir", c_.config_zeltdir, "", "DIR");
    // The leaves hand options they do not know to `config`, so --zeltdir works on both sides.
    g->fallthrough();
    CLI::App* s = keybindings_app_ = leaf(g, "keybindings");
    keybindings_profile_opt_ = choice(s, "--profile", keybindings_profile_, kProfiles);
    text(s, "--db", c_.config_keybindings.db);
    leaf(g, "keybindings-popup");
    leaf(g, "apply-keybindings", "플러그인이 다 돈 뒤에 사용자 단축키를 다시 겁니다");
    leaf(g, "plugins", "플러그인을 켜고 끄고, 받아 오고, 지웁니다");
    leaf(g, "plugins-popup");
    help_command(g);
}

void Tree::ui() {
    CLI::App* g = group("ui");
    if (!named("ui")) return;
    CLI::App* s = leaf(g, "select");
    text_default(s, "--prompt", c_.ui_select.prompt);
    text(s, "--items-from", c_.ui_select.items_from);
    help_command(g);
}

void Tree::doctor() {
    CLI::App* g = root.add_subcommand("doctor", "vesk 실행 환경을 점검하고 필요한 조치를 알려줍니다");
    g->require_subcommand(0, 1);
    if (!named("doctor")) return;
    leaf(g, "popup", "tmux 화면 가운데에 띄웁니다");
    flag(g, "--json", c_.doctor.json, "자동화 도구가 읽을 수 있는 JSON으로 출력합니다");
    flag(g, "--plain", c_.doctor.plain, "화면 대신 예전과 같은 글자 보고서로 출력합니다");
    flag(g, "--strict", c_.doctor.strict, "경고가 하나라도 있으면 실패 종료 코드로 끝냅니다");
    help_command(g);
}

void Tree::diagnostics() {
    CLI::App* g = group("diagnostics");
    if (!named("diagnostics")) return;
    leaf(g, "export");
    help_command(g);
}

template <class Enum>
Enum enum_value(const std::string& word, const std::vector<std::string>& values, const CLI::App* app,
                const std::string& label) {
    auto it = std::find(values.begin(), values.end(), word);
    if (it == values.end()) {
        throw UsageError{app, "invalid value '" + word + "' for '" + label + "'\n  [possible values: " +
                                  join(values, ", ") + "]"};
    }
    return static_cast<Enum>(it - values.begin());
}

// An empty --zeltdir names no directory: setup would fill the working directory with bin/, doc/
// and lists/.
void refuse_empty_root(const std::optional<std::string>& zeltdir, const CLI::App* app) {
    if (app && app->parsed() && zeltdir && zeltdir->empty())
        throw UsageError{app, "invalid value '' for '--zeltdir <DIR>': the installation root cannot be empty"};
}

void Tree::finish() {
    refuse_empty_root(c_.setup.zeltdir, setup_app_);
    refuse_empty_root(c_.rebuild.zeltdir, rebuild_app_);
    refuse_empty_root(c_.config_zeltdir, config_app_);
    if (setup_profile_opt_ && setup_app_->parsed()) {
        c_.setup.profile = enum_value<ConfigProfile>(setup_profile_, kProfiles, setup_app_, "--profile <PROFILE>");
    }
    if (keybindings_profile_opt_ && keybindings_app_->parsed()) {
        c_.config_keybindings.profile =
            enum_value<ConfigProfile>(keybindings_profile_, kProfiles, keybindings_app_, "--profile <PROFILE>");
    }
    if (rebuild_profile_ && rebuild_app_->parsed()) {
        c_.rebuild.profile =
            enum_value<RebuildProfile>(*rebuild_profile_, kProfiles, rebuild_app_, "--profile <PROFILE>");
    }
    if (quillbox_mode_opt_ && quillbox_list_app_->parsed()) {
        c_.quillbox_list.mode =
            enum_value<agent::QuillboxListMode>(quillbox_mode_, kQuillboxModes, quillbox_list_app_, "<MODE>");
    }
}

// ---- help, in the layout users of other command-line tools know ----

bool is_help_or_version(const CLI::Option* o) {
    for (const std::string& n : o->get_lnames()) {
        if (n == "help" || n == "version") return true;
    }
    for (const std::string& n : o->get_snames()) {
        if (n == "h" || n == "V") return true;
    }
    return false;
}

std::string Tree::positional_left(const CLI::Option* o) const {
    auto it = info_.find(o);
    bool list = it != info_.end() && it->second.list;
    std::string name = o->get_name();
    std::string out = o->get_required() ? "<" + name + ">" : "[" + name + "]";
    return list ? out + "..." : out;
}

std::string Tree::option_left(const CLI::Option* o) const {
    std::string name = "--" + o->get_lnames().front();
    std::string out = "    " + name;
    if (!o->get_type_name().empty()) out += " <" + o->get_type_name() + ">";
    return out;
}

std::string Tree::option_right(const CLI::Option* o, const CLI::App* app, bool long_help) const {
    std::string out = o->get_description();
    auto add = [&out](const std::string& part) {
        if (!out.empty()) out += ' ';
        out += part;
    };
    auto it = info_.find(o);
    if (it != info_.end()) {
        if (it->second.has_default) add("[default: " + it->second.default_text + "]");
        if (it->second.choices) add("[possible values: " + join(*it->second.choices, ", ") + "]");
    }
    if (o == app->get_help_ptr() && long_about_.count(app)) {
        out = long_help ? "Print help (see a summary with '-h')" : "Print help (see more with '--help')";
    }
    return out;
}

std::string Tree::usage(const CLI::App* app) const {
    std::string out = command_path(app);
    bool options = false;
    for (const CLI::Option* o : app->get_options()) {
        if (!o->nonpositional() || is_help_or_version(o)) continue;
        options = true;
    }
    if (options) out += " [OPTIONS]";
    for (const CLI::Option* o : app->get_options()) {
        if (o->nonpositional()) continue;
        out += " " + positional_left(o);
    }
    if (!app->get_subcommands({}).empty()) {
        out += app->get_require_subcommand_min() > 0 ? " <COMMAND>" : " [COMMAND]";
    }
    return out;
}

void append_section(std::string& out, const char* title, const std::vector<std::pair<std::string, std::string>>& rows) {
    if (rows.empty()) return;
    size_t width = 0;
    for (const auto& row : rows) width = std::max(width, row.first.size());
    out += "\n";
    out += title;
    out += ":\n";
    for (const auto& [left, right] : rows) {
        std::string line = "  " + left;
        if (!right.empty()) line += std::string(width - left.size() + 2, ' ') + right;
        out += line + "\n";
    }
}

std::string Tree::help(const CLI::App* app, bool long_help) const {
    std::string out;
    auto long_it = long_about_.find(app);
    std::string about = long_help && long_it != long_about_.end() ? long_it->second : app->get_description();
    if (!about.empty()) out += about + "\n\n";
    out += "Usage: " + usage(app) + "\n";

    std::vector<std::pair<std::string, std::string>> commands;
    for (const CLI::App* sub : app->get_subcommands({})) commands.emplace_back(sub->get_name(), sub->get_description());
    append_section(out, "Commands", commands);

    std::vector<std::pair<std::string, std::string>> positionals;
    std::vector<std::pair<std::string, std::string>> options;
    for (const CLI::Option* o : app->get_options()) {
        if (o->nonpositional()) continue;
        positionals.emplace_back(positional_left(o), option_right(o, app, long_help));
    }
    for (const CLI::Option* o : app->get_options()) {
        if (!o->nonpositional() || is_help_or_version(o)) continue;
        options.emplace_back(option_left(o), option_right(o, app, long_help));
    }
    // Options the leaf hands up to its group (`config --zeltdir`) work here too.
    if (app->get_fallthrough() && app->get_parent()) {
        for (const CLI::Option* o : app->get_parent()->get_options()) {
            if (!o->nonpositional() || is_help_or_version(o)) continue;
            options.emplace_back(option_left(o), option_right(o, app, long_help));
        }
    }
    options.emplace_back("-h, --help", app->get_help_ptr() ? option_right(app->get_help_ptr(), app, long_help) : "");
    if (app->get_version_ptr()) options.emplace_back("-V, --version", "Print version");
    append_section(out, "Arguments", positionals);
    append_section(out, "Options", options);
    return out;
}

// ---- words and exits ----

// Help, version and usage errors end the command here: the text is printed and the status goes
// back to main as a value (no exception: the first one a process throws is dearer than the rest
// of a usage error).
int finish_process(const std::string& text, FILE* stream, int status) {
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
    return status;
}

int usage_error(const Tree& tree, const CLI::App* app, const std::string& message) {
    return finish_process("error: " + message + "\n\nUsage: " + tree.usage(app) + "\n\nFor more information, try '--help'.\n",
                   stderr, 2);
}

// `-h` or `--help`, also given a value (which the flag rule then refuses).
bool asks_for_help(std::string_view word) {
    return word == "-h" || word == "--help" || word.starts_with("-h=") || word.starts_with("--help=");
}

// Whether a word from `first` on, before any "--", asks for help.
bool help_among(const std::vector<std::string>& words, std::size_t first) {
    for (std::size_t i = first; i < words.size() && words[i] != "--"; ++i) {
        if (asks_for_help(words[i])) return true;
    }
    return false;
}

// Three lists take every word after them, also words that begin with "-" (`vesk log codex-run
// --model x` hands `--model` to the agent; `quillbox edit-with-vim F -c x` hands `-c` to vim).
// CLI11 would read such words as options, so they are cut off before parsing and handed over
// afterwards. Such a list's words are data once it has begun: help is only asked for by a first
// word `-h` or `--help`. `quillbox create-named -draft` names an item as typed, as long as no word
// asks for help (the picker writes "--" before the name).
//
// The message of `popup message` also ends the command line, but only once its first word is
// there: `popup message modal rc -1` shows "rc -1". The words after that first one are cut off
// into `message_rest` and appended to the message after parsing.
void split_trailing(std::vector<std::string>& words, Commands& commands, std::vector<std::string>& message_rest) {
    if (words.size() >= 3 && words[1] == "popup" && words[2] == "message") {
        std::size_t positionals = 0;
        bool escaped = false;
        for (std::size_t i = 3; i < words.size(); ++i) {
            const std::string& w = words[i];
            if (!escaped && w == "--") {
                escaped = true;
                continue;
            }
            if (!escaped && w.size() > 1 && w[0] == '-') continue;  // -h, --help or a usage error
            if (++positionals == 2) {  // MODE, then the message's first word
                message_rest.assign(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end());
                words.resize(i + 1);
                break;
            }
        }
    } else if (words.size() >= 3 && words[1] == "log" && words[2] == "codex-run" &&
               !(words.size() > 3 && asks_for_help(words[3]))) {
        commands.log_codex_run.args.assign(words.begin() + 3, words.end());
        words.resize(3);
    } else if (words.size() >= 4 && words[1] == "quillbox" && words[2] == "create-named" && !help_among(words, 3)) {
        // The name is the words as typed in the picker, "-" at the start included.
        auto first = words.begin() + (words[3] == "--" ? 4 : 3);
        commands.quillbox_create_named.raw.assign(first, words.end());
        words.resize(3);
    } else if (words.size() >= 4 && words[1] == "quillbox" && words[2] == "edit-with-vim" &&
               (words[3].empty() || words[3][0] != '-' || words[3] == "-") &&
               !(words.size() > 4 && asks_for_help(words[4]))) {
        // FILE itself is parsed as usual, so `edit-with-vim --help` still shows the help.
        commands.quillbox_edit_with_vim.extra_args.assign(words.begin() + 4, words.end());
        words.resize(4);
    }
}

// fzf's bindings hand the query ({q}) and the selected lines ({}, {+}) to these commands as they
// are: a query "--pre=rm" or "-e", or a line that begins with '-', is data and never an option.
// Once the leading file arguments are there, a "--" goes before the rest when a word of it begins
// with '-' and the caller wrote none. These words are no list that ends the command line, so a
// `-h` or `--help` among them still asks for help: such words are left to the parser.
struct DataWords {
    std::string_view group, leaf;
    std::size_t leading;  // positionals before the data words
};
constexpr DataWords kDataWords[] = {
    {"quillbox", "list", 1}, {"quillbox", "preview", 1}, {"quillbox", "delete-item", 1},
    {"quillbox", "open-in-finder", 1}, {"note", "list", 1}, {"note", "search-content", 1}, {"note", "preview", 2},
    {"note", "delete", 2}, {"note", "reveal", 2}, {"finder", "mf-search", 1}, {"finder", "git-search", 1},
    {"log", "search-query", 1}, {"log", "search-preview", 1},
    {"tidewell", "question-list", 1}, {"tidewell", "question-preview", 1},
};

void mark_data_words(std::vector<std::string>& words) {
    if (words.size() < 4) return;
    for (const DataWords& d : kDataWords) {
        if (words[1] != d.group || words[2] != d.leaf) continue;
        std::size_t first = 3 + d.leading;
        if (words.size() <= first || words[first] == "--") return;
        for (std::size_t i = 3; i < first; ++i) {
            if (words[i].starts_with('-')) return;  // --help, or a usage error to report
        }
        if (help_among(words, first)) return;
        auto data = words.begin() + static_cast<std::ptrdiff_t>(first);
        if (std::any_of(data, words.end(), [](const std::string& w) { return w.starts_with('-'); })) {
            words.insert(data, "--");
        }
        return;
    }
}

// CLI11 reads `--prompt=` as an option without its value; the user meant the empty text.
void split_empty_values(std::vector<std::string>& words) {
    std::vector<std::string> out;
    out.reserve(words.size() + 2);
    bool positional_only = false;
    for (std::string& w : words) {
        if (w == "--") positional_only = true;
        if (!positional_only && w.size() > 3 && w.starts_with("--") && w.back() == '=' &&
            w.find('=') == w.size() - 1) {
            out.push_back(w.substr(0, w.size() - 1));
            out.emplace_back();
            continue;
        }
        out.push_back(std::move(w));
    }
    words = std::move(out);
}

CLI::App* subcommand_named(CLI::App* app, const std::string& name) {
    try {
        return app->get_subcommand(name);
    } catch (const CLI::OptionNotFound&) {
        return nullptr;
    }
}

// A flag takes no value. CLI11 would read `--strict=false` as strict turned off, `--json=0` as no
// JSON and `-V=1` as the version: a caller that wrote either would get another result than it
// asked for, and no word about it. A `--name=value` or `-x=value` word (the value may be empty)
// that names a flag of the command it stands under (help and version included) is refused before
// anything is parsed or printed. Words after "--" are data, as are the words cut off before.
std::optional<UsageError> flag_given_value(CLI::App& root, const std::vector<std::string>& words) {
    CLI::App* app = &root;
    for (std::size_t i = 1; i < words.size() && words[i] != "--"; ++i) {
        const std::string& word = words[i];
        std::size_t eq = word.find('=');
        if (word.size() < 2 || word[0] != '-' || eq == std::string::npos) {
            if (CLI::App* sub = subcommand_named(app, word)) app = sub;
            continue;
        }
        const std::string name = word.substr(0, eq);
        for (const CLI::Option* o : app->get_options()) {
            if (o->nonpositional() && o->get_items_expected_max() == 0 && o->check_name(name))
                return UsageError{app, "unexpected value '" + word.substr(eq + 1) + "' for '" + name +
                                           "' found; no more were expected"};
        }
    }
    return std::nullopt;
}

// The first word, before any "--", that asks for help or the version, and the command it stands
// under. CLI11 answers the version before any help; the answer users of other command-line tools
// know is the first one asked for, by the command where it was asked: `-hV` and `--help
// --version` show the help, `-Vh` the version, `vesk -h doctor` the top-level help.
struct FirstAsked {
    enum Kind { Help, LongHelp, Version } kind;
    CLI::App* app;
    std::string word;  // as an error names it: "-V" or "--version"
};
std::optional<FirstAsked> first_help_or_version(CLI::App& root, const std::vector<std::string>& words) {
    CLI::App* app = &root;
    for (std::size_t i = 1; i < words.size() && words[i] != "--"; ++i) {
        const std::string& word = words[i];
        if (word == "--help") return FirstAsked{FirstAsked::LongHelp, app, word};
        if (word == "--version") return FirstAsked{FirstAsked::Version, app, word};
        if (word.size() > 1 && word[0] == '-' && word[1] != '-') {
            // -h and -V are the only short flags, alone or together ("-hV").
            for (char c : std::string_view(word).substr(1)) {
                if (c == 'h') return FirstAsked{FirstAsked::Help, app, "-h"};
                if (c == 'V') return FirstAsked{FirstAsked::Version, app, "-V"};
            }
            continue;
        }
        if (CLI::App* sub = subcommand_named(app, word)) app = sub;
    }
    return std::nullopt;
}

// `help [COMMAND]...` under the root or a group: the help of the named command.
int print_help_command(const Tree& tree, CLI::App* parent) {
    CLI::App* app = parent;
    for (const std::string& word : tree.help_words) {
        CLI::App* next = subcommand_named(app, word);
        if (!next) return usage_error(tree, app, "unrecognized subcommand '" + word + "'");
        app = next;
    }
    return finish_process(tree.help(app, true), stdout, 0);
}

}  // namespace

std::variant<Commands, int> parse_command_line(int argc, char** argv) {
    std::vector<std::string> words(argv, argv + argc);
    // The version alone is answered before anything is built.
    if (words.size() == 2 && (words[1] == "--version" || words[1] == "-V")) {
        return finish_process(kVersionText, stdout, 0);
    }

    Commands commands;
    std::vector<std::string> message_rest;
    split_trailing(words, commands, message_rest);
    mark_data_words(words);
    // The tree is never taken apart: it holds nothing but memory, which the process gives back
    // when it ends, and taking CLI11's objects apart costs about as much as building them, on
    // every call fzf makes per keystroke.
    Tree& tree = *new Tree(commands, words);

    if (words.size() <= 1) return finish_process(tree.help(&tree.root, false), stderr, 2);
    if (auto refused = flag_given_value(tree.root, words)) return usage_error(tree, refused->app, refused->message);
    split_empty_values(words);

    std::vector<std::string> reversed(words.rbegin(), words.rend() - 1);
    enum class Asked { Nothing, Help, AllHelp, Version } asked = Asked::Nothing;
    try {
        tree.root.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        asked = Asked::Help;
    } catch (const CLI::CallForAllHelp&) {
        asked = Asked::AllHelp;
    } catch (const CLI::CallForVersion&) {
        asked = Asked::Version;
    } catch (const CLI::RequiredError& e) {
        CLI::App* app = selected_chain(tree.root).back();
        std::vector<std::string> extra = app->remaining();
        if (!extra.empty()) {
            const std::string& word = extra.front();
            bool option = word.size() > 1 && word[0] == '-';
            return usage_error(tree, app, (option ? "unexpected argument '" : "unrecognized subcommand '") + word + "'");
        }
        if (app->get_require_subcommand_min() > 0 && app->get_subcommands().empty()) {
            std::vector<std::string> names;
            for (const CLI::App* sub : app->get_subcommands({})) names.push_back(sub->get_name());
            return usage_error(tree, app,
                        "'" + command_path(app) + "' requires a subcommand but one was not provided\n  [subcommands: " +
                            join(names, ", ") + "]");
        }
        return usage_error(tree, app, e.what());
    } catch (const CLI::ParseError& e) {
        return usage_error(tree, selected_chain(tree.root).back(), e.what());
    }

    std::vector<CLI::App*> chain = selected_chain(tree.root);
    if (asked != Asked::Nothing) {
        std::optional<FirstAsked> first = first_help_or_version(tree.root, words);
        if (!first) {
            first = FirstAsked{asked == Asked::Version ? FirstAsked::Version
                               : asked == Asked::Help  ? FirstAsked::Help
                                                       : FirstAsked::LongHelp,
                               chain.back(), "-V"};
        }
        if (first->kind != FirstAsked::Version)
            return finish_process(tree.help(first->app, first->kind == FirstAsked::LongHelp), stdout, 0);
        // Only the root has a version; below it the flag is a word the command does not take.
        if (first->app != &tree.root) return usage_error(tree, first->app, "unexpected argument '" + first->word + "'");
        return finish_process(kVersionText, stdout, 0);
    }
    if (chain.back()->get_name() == "help") return print_help_command(tree, chain[chain.size() - 2]);
    try {
        tree.finish();
    } catch (const UsageError& e) {
        return usage_error(tree, e.app, e.message);
    }

    std::vector<std::string> names;
    for (size_t i = 1; i < chain.size(); ++i) names.push_back(chain[i]->get_name());
    if (names.size() == 2 && names[0] == "doctor") {
        commands.doctor.popup = true;
        names.pop_back();
    }
    commands.leaf = join(names, " ");
    commands.popup_message.message.insert(commands.popup_message.message.end(), message_rest.begin(),
                                          message_rest.end());
    return commands;
}

}  // namespace vesk

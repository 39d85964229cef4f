// The argument structures the command tree hands to the handlers, one plain record per leaf.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vesk {

enum class ConfigProfile { Macos, Linux, Window };
using RebuildProfile = ConfigProfile;
enum class QuillboxListMode { IndexSearch, DeepSearch, VaultSelect, RecentSearch, FileMove };

// tidewell
struct OpenArgs {
    std::optional<std::string> target_pane;
    std::optional<std::string> project;
};
struct TargetPaneArgs {
    std::optional<std::string> target_pane;
};
struct ProjectSelectArgs {
    std::optional<std::string> target_pane;
    bool popup = false;
};
struct QuestionListArgs {
    std::string dir;
    std::optional<std::string> query;
};
struct QuestionPreviewArgs {
    std::string file;
    std::optional<std::string> query;
};
struct QuestionSelectArgs {
    std::string dir;
};

// quillbox
struct QuillboxListArgs {
    QuillboxListMode mode = QuillboxListMode::IndexSearch;
    std::optional<std::string> query;
};
struct QuillboxFileArgs {
    std::string file;
};
struct QuillboxCreateNamedArgs {
    std::vector<std::string> raw;
};
struct QuillboxEditArgs {
    std::string file;
    std::vector<std::string> extra_args;
};
struct QuillboxModeSelectionArgs {
    std::string mode_file;
    std::vector<std::string> selection;
};
struct QuillboxMoveArgs {
    std::string source_file;
    std::string target_dir;
    std::string index_file;
    std::string qbox_root;
};
struct QuillboxOpenArgs {
    std::optional<std::string> target_pane;
    std::optional<std::string> target_command;
};
struct QuillboxRunFzfArgs {
    std::string mode_file;
    std::string query_file;
    std::string source_file;
    std::string prev_mode_file;
};

// note
struct NoteOpenArgs {
    std::string mode = "pane";
};
struct NoteSelectArgs {
    std::string dir;
};
struct NoteListArgs {
    std::string mode_file;
    std::optional<std::string> query;
};
struct NoteSelectionArgs {
    std::string root_dir_file;
    std::string mode_file;
    std::vector<std::string> selection;
};
struct NoteModeFileArgs {
    std::string mode_file;
};
struct NoteSearchContentArgs {
    std::string dir;
    std::optional<std::string> query;
};

// log
struct CodexRunArgs {
    std::vector<std::string> args;
};
struct LogSearchArgs {
    std::string file;
    std::optional<std::string> query;
};

// popup, copy, session
struct PopupMessageArgs {
    std::string mode = "popup";
    std::vector<std::string> message;
};
struct PopupMessageRenderArgs {
    std::string mode;
    std::string file;
};
struct CopyCutSelectionArgs {
    std::optional<std::string> target_pane;
};
struct SessionKillArgs {
    bool confirmed = false;
};

// finder
struct FinderFileArgs {
    std::string file;
};
struct FinderOpenArgs {
    std::optional<std::string> origin_pane;
    std::optional<std::string> pane_path;
};
struct FinderModeQueryArgs {
    std::string mode_file;
    std::optional<std::string> query;
};
struct FinderModeFileArgs {
    std::string mode_file;
};
struct FinderSelectArgs {
    std::string target = ".";
    std::string regex = ".*";
};

// mapping, setup, rebuild, config, ui, doctor
struct MappingPopupArgs {
    std::optional<std::string> file;
};
struct SetupArgs {
    std::optional<std::string> zeltdir;
    ConfigProfile profile = ConfigProfile::Macos;
    bool force = false;
    bool skip_plugins = false;
};
struct RebuildArgs {
    std::optional<std::string> zeltdir;
    std::optional<std::string> output;
    std::optional<RebuildProfile> profile;
    bool no_check = false;
    bool no_reload = false;
};
struct ConfigKeybindingsArgs {
    ConfigProfile profile = ConfigProfile::Macos;
    std::optional<std::string> db;
};
struct UiSelectArgs {
    std::string prompt = "select> ";
    std::optional<std::string> items_from;
};
struct DoctorArgs {
    bool popup = false;  // the optional subcommand `popup`
    bool json = false;
    bool plain = false;
    bool strict = false;
};

// The parsed command line: the chosen leaf, named by its words ("finder multimode-open", "mode",
// "doctor" with or without `popup`), and one argument structure per leaf. Only the chosen leaf's
// structure is filled from the words; every other one keeps its defaults.
struct Commands {
    std::string leaf;

    OpenArgs tidewell_open;
    TargetPaneArgs tidewell_window_open;
    ProjectSelectArgs tidewell_project_select;
    QuestionListArgs tidewell_question_list;
    QuestionPreviewArgs tidewell_question_preview;
    QuestionSelectArgs tidewell_question_select;

    QuillboxListArgs quillbox_list;
    QuillboxFileArgs quillbox_update_index;
    QuillboxCreateNamedArgs quillbox_create_named;
    QuillboxFileArgs quillbox_execute_item;
    QuillboxEditArgs quillbox_edit_with_vim;
    QuillboxModeSelectionArgs quillbox_open_in_finder;
    QuillboxMoveArgs quillbox_move_item;
    QuillboxModeSelectionArgs quillbox_delete_item;
    QuillboxOpenArgs quillbox_open;
    QuillboxRunFzfArgs quillbox_run_fzf;
    QuillboxModeSelectionArgs quillbox_preview;

    NoteOpenArgs note_open;
    NoteSelectArgs note_select;
    NoteListArgs note_list;
    NoteSelectionArgs note_preview;
    NoteSelectionArgs note_delete;
    NoteSelectionArgs note_reveal;
    NoteModeFileArgs note_toggle_mode;
    NoteSearchContentArgs note_search_content;

    CodexRunArgs log_codex_run;
    LogSearchArgs log_search_query;
    LogSearchArgs log_search_preview;

    PopupMessageArgs popup_message;
    PopupMessageRenderArgs popup_message_render;
    CopyCutSelectionArgs copy_cut_selection;
    SessionKillArgs session_kill_and_next;

    FinderFileArgs finder_filter_edit;
    FinderOpenArgs finder_multimode_open;
    FinderModeQueryArgs finder_mf_search;
    FinderModeFileArgs finder_mf_toggle;
    FinderModeQueryArgs finder_git_search;
    FinderModeFileArgs finder_git_toggle;
    FinderSelectArgs finder_select_file;

    MappingPopupArgs mapping_popup;
    SetupArgs setup;
    RebuildArgs rebuild;
    std::optional<std::string> config_zeltdir;  // `config --zeltdir`, before or after the config subcommand
    ConfigKeybindingsArgs config_keybindings;
    UiSelectArgs ui_select;
    DoctorArgs doctor;
};

// The profile names as the command line and the configuration files write them.
const char* profile_name(ConfigProfile profile);

}  // namespace vesk

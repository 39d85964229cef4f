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

// The profile names as the command line and the configuration files write them.
const char* profile_name(ConfigProfile profile);

}  // namespace vesk

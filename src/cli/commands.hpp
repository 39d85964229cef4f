// The parsed command line: the chosen leaf and the argument record its handler takes. The records
// belong to their groups; this is only where the command tree and the dispatch table meet them.
#pragma once

#include <optional>
#include <string>

#include "agent/codex_log.hpp"
#include "agent/quillbox.hpp"
#include "agent/tidewell.hpp"
#include "doctor/doctor.hpp"
#include "keybind/app.hpp"
#include "pickers/filter_edit.hpp"
#include "pickers/finder.hpp"
#include "pickers/mapping.hpp"
#include "pickers/note.hpp"
#include "pickers/session.hpp"
#include "pickers/shell_log.hpp"
#include "rebuild/command.hpp"
#include "setup/setup.hpp"
#include "tmux/copy.hpp"
#include "tmux/popup_message.hpp"
#include "ui/select.hpp"

namespace vesk {

// The chosen leaf, named by its words ("finder multimode-open", "mode", "doctor" with or without
// `popup`), and one argument record per leaf. Only the chosen leaf's record is filled from the
// words; every other one keeps its defaults.
struct Commands {
    std::string leaf;

    agent::OpenArgs tidewell_open;
    agent::TargetPaneArgs tidewell_window_open;
    agent::ProjectSelectArgs tidewell_project_select;
    agent::QuestionListArgs tidewell_question_list;
    agent::QuestionPreviewArgs tidewell_question_preview;
    agent::QuestionSelectArgs tidewell_question_select;
    agent::TargetPaneArgs tidewell_chat_popup;

    agent::QuillboxListArgs quillbox_list;
    agent::QuillboxFileArgs quillbox_update_index;
    agent::QuillboxCreateNamedArgs quillbox_create_named;
    agent::QuillboxFileArgs quillbox_execute_item;
    agent::QuillboxEditArgs quillbox_edit_with_vim;
    agent::QuillboxModeSelectionArgs quillbox_open_in_finder;
    agent::QuillboxMoveArgs quillbox_move_item;
    agent::QuillboxModeSelectionArgs quillbox_delete_item;
    agent::QuillboxOpenArgs quillbox_open;
    agent::QuillboxRunFzfArgs quillbox_run_fzf;
    agent::QuillboxModeSelectionArgs quillbox_preview;

    pickers::NoteOpenArgs note_open;
    pickers::NoteSelectArgs note_select;
    pickers::NoteListArgs note_list;
    pickers::NoteSelectionArgs note_preview;
    pickers::NoteSelectionArgs note_delete;
    pickers::NoteSelectionArgs note_reveal;
    pickers::NoteModeFileArgs note_toggle_mode;
    pickers::NoteSearchContentArgs note_search_content;

    agent::CodexRunArgs log_codex_run;
    pickers::LogSearchArgs log_search_query;
    pickers::LogSearchArgs log_search_preview;

    PopupMessageArgs popup_message;
    PopupMessageRenderArgs popup_message_render;
    CopyCutSelectionArgs copy_cut_selection;
    pickers::SessionKillArgs session_kill_and_next;

    pickers::FinderFileArgs finder_filter_edit;
    pickers::FinderOpenArgs finder_multimode_open;
    pickers::FinderModeQueryArgs finder_mf_search;
    pickers::FinderModeFileArgs finder_mf_toggle;
    pickers::FinderModeQueryArgs finder_git_search;
    pickers::FinderModeFileArgs finder_git_toggle;
    pickers::FinderSelectArgs finder_select_file;

    pickers::MappingPopupArgs mapping_popup;
    setup::SetupArgs setup;
    rebuild::RebuildArgs rebuild;
    std::optional<std::string> config_zeltdir;  // `config --zeltdir`, before or after the config subcommand
    keybind::ConfigKeybindingsArgs config_keybindings;
    UiSelectArgs ui_select;
    doctor::DoctorArgs doctor;
};

}  // namespace vesk

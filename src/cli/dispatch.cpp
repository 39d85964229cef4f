#include "cli/dispatch.hpp"

#include <string>

#include "agent/codex_log.hpp"
#include "agent/quillbox.hpp"
#include "agent/tidewell.hpp"
#include "config/config.hpp"
#include "core/error.hpp"
#include "keybind/postlude.hpp"
#include "pickers/dir.hpp"
#include "pickers/filter_edit.hpp"
#include "pickers/finder.hpp"
#include "pickers/launch.hpp"
#include "pickers/mapping.hpp"
#include "pickers/note.hpp"
#include "pickers/session.hpp"
#include "pickers/shell_log.hpp"
#include "pickers/version.hpp"
#include "plugin/app.hpp"
#include "tmux/pane.hpp"

namespace vesk {

namespace {

struct Entry {
    std::string_view leaf;
    void (*run)(const Commands& c);
};

// One line per leaf, in the order of the command tree. An entry receives the whole parsed
// command line; it hands its own structure to the handler, e.g.
//     {"finder select-file", [](const Commands& c) { finder_select_file(c.finder_select_file); }},
// `config` leaves also read `c.config_zeltdir`; "doctor" covers `doctor popup` (c.doctor.popup).
constexpr Entry kTable[] = {
    {"tidewell open",              [](const Commands& c) { agent::tidewell_open(c.tidewell_open); }},
    {"tidewell window-open",       [](const Commands& c) { agent::tidewell_window_open(c.tidewell_window_open); }},
    {"tidewell project-select",    [](const Commands& c) { agent::tidewell_project_select(c.tidewell_project_select); }},
    {"tidewell question-list",     [](const Commands& c) { agent::tidewell_question_list(c.tidewell_question_list); }},
    {"tidewell question-preview",  [](const Commands& c) { agent::tidewell_question_preview(c.tidewell_question_preview); }},
    {"tidewell question-select",   [](const Commands& c) { agent::tidewell_question_select(c.tidewell_question_select); }},
    {"tidewell chat-popup",        [](const Commands& c) { agent::tidewell_chat_popup(c.tidewell_chat_popup); }},
    {"quillbox list",              [](const Commands& c) { agent::quillbox_list(c.quillbox_list); }},
    {"quillbox build-index",       [](const Commands&) { agent::quillbox_build_index(); }},
    {"quillbox update-index",      [](const Commands& c) { agent::quillbox_update_index(c.quillbox_update_index); }},
    {"quillbox import-list",       [](const Commands&) { agent::quillbox_import_list(); }},
    {"quillbox create-vault",      [](const Commands&) { agent::quillbox_create_vault(); }},
    {"quillbox create-named",      [](const Commands& c) { agent::quillbox_create_named(c.quillbox_create_named); }},
    {"quillbox execute-item",      [](const Commands& c) { agent::quillbox_execute_item(c.quillbox_execute_item); }},
    {"quillbox edit-with-vim",     [](const Commands& c) { agent::quillbox_edit_with_vim(c.quillbox_edit_with_vim); }},
    {"quillbox open-in-finder",    [](const Commands& c) { agent::quillbox_open_in_finder(c.quillbox_open_in_finder); }},
    {"quillbox move-item",         [](const Commands& c) { agent::quillbox_move_item(c.quillbox_move_item); }},
    {"quillbox delete-item",       [](const Commands& c) { agent::quillbox_delete_item(c.quillbox_delete_item); }},
    {"quillbox open",              [](const Commands& c) { agent::quillbox_open(c.quillbox_open); }},
    {"quillbox run-fzf",           [](const Commands& c) { agent::quillbox_run_fzf_command(c.quillbox_run_fzf); }},
    {"quillbox preview",           [](const Commands& c) { agent::quillbox_preview(c.quillbox_preview); }},
    {"note open",                  [](const Commands& c) { pickers::note_open(c.note_open); }},
    {"note popup",                 [](const Commands&) { pickers::note_popup(); }},
    {"note select",                [](const Commands& c) { pickers::note_select(c.note_select); }},
    {"note list",                  [](const Commands& c) { pickers::note_list_command(c.note_list); }},
    {"note preview",               [](const Commands& c) { pickers::note_preview(c.note_preview); }},
    {"note delete",                [](const Commands& c) { pickers::note_delete(c.note_delete); }},
    {"note reveal",                [](const Commands& c) { pickers::note_reveal(c.note_reveal); }},
    {"note toggle-mode",           [](const Commands& c) { pickers::note_toggle_mode(c.note_toggle_mode); }},
    {"note search-content",        [](const Commands& c) { pickers::note_search_content_command(c.note_search_content); }},
    {"note parse-mf-line",         [](const Commands&) { pickers::note_parse_mf_line(); }},
    {"log shell-toggle",           [](const Commands&) { pickers::log_shell_toggle(); }},
    {"log shell-start",            [](const Commands&) { pickers::log_shell_start(); }},
    {"log codex-toggle",           [](const Commands&) { agent::log_codex_toggle(); }},
    {"log codex-start",            [](const Commands&) { agent::log_codex_start(); }},
    {"log codex-run",              [](const Commands& c) { agent::log_codex_run(c.log_codex_run); }},
    {"log codex-status",           [](const Commands&) { agent::log_codex_status(); }},
    {"log codex-tail",             [](const Commands&) { agent::log_codex_tail(); }},
    {"log search-popup",           [](const Commands&) { pickers::log_search_popup(); }},
    {"log search-query",           [](const Commands& c) { pickers::log_search_query(c.log_search_query); }},
    {"log search-preview",         [](const Commands& c) { pickers::log_search_preview(c.log_search_preview); }},
    {"popup message",              [](const Commands& c) { popup_message(c.popup_message); }},
    {"popup message-render",       [](const Commands& c) { popup_message_render(c.popup_message_render); }},
    {"copy cut-selection",         [](const Commands& c) { copy_cut_selection(c.copy_cut_selection); }},
    {"session kill-and-next",      [](const Commands& c) { pickers::session_kill_and_next(c.session_kill_and_next); }},
    {"session tree-popup",         [](const Commands&) { pickers::session_tree_popup(); }},
    {"session create-popup-open",  [](const Commands&) { pickers::session_create_popup_open(); }},
    {"session create-popup",       [](const Commands&) { pickers::session_create_popup(); }},
    {"pane zoom-toggle",           [](const Commands&) { pane_zoom_toggle(); }},
    {"finder filter-edit",         [](const Commands& c) { pickers::finder_filter_edit(c.finder_filter_edit); }},
    {"finder filter-edit-dispatch",[](const Commands&) { pickers::finder_filter_edit_dispatch(); }},
    {"finder multimode-open",      [](const Commands& c) { pickers::finder_multimode_open(c.finder_multimode_open); }},
    {"finder multimode",           [](const Commands&) { pickers::finder_multimode(); }},
    {"finder mf-search",           [](const Commands& c) { pickers::finder_mf_search(c.finder_mf_search); }},
    {"finder mf-toggle",           [](const Commands& c) { pickers::finder_mf_toggle(c.finder_mf_toggle); }},
    {"finder git-search",          [](const Commands& c) { pickers::finder_git_search(c.finder_git_search); }},
    {"finder git-toggle",          [](const Commands& c) { pickers::finder_git_toggle(c.finder_git_toggle); }},
    {"finder open-with",           [](const Commands&) { pickers::finder_open_with(); }},
    {"finder select-file",         [](const Commands& c) { pickers::finder_select_file(c.finder_select_file); }},
    {"dir popup",                  [](const Commands&) { pickers::dir_popup(); }},
    {"dir favorite",               [](const Commands&) { pickers::dir_favorite(); }},
    {"app launch-open",            [](const Commands&) { pickers::app_launch_open(); }},
    {"app launch",                 [](const Commands&) { pickers::app_launch(); }},
    {"mapping popup",              [](const Commands& c) { pickers::mapping_popup(c.mapping_popup); }},
    {"version controller",         [](const Commands&) { pickers::version_controller(); }},
    {"version run",                [](const Commands&) { pickers::version_run(); }},
    {"version exec",               [](const Commands&) { pickers::version_exec(); }},
    {"setup",                      [](const Commands& c) { setup::setup(c.setup); }},
    {"mode",                       [](const Commands&) { config::mode(); }},
    {"rebuild",                    [](const Commands& c) { rebuild::rebuild(c.rebuild); }},
    {"config keybindings",         [](const Commands& c) { keybind::config_keybindings(c.config_keybindings); }},
    {"config keybindings-popup",   [](const Commands&) { keybind::config_keybindings_popup(); }},
    {"config apply-keybindings",   [](const Commands& c) { keybind::config_apply_keybindings(c.config_zeltdir); }},
    {"config plugins",             [](const Commands&) { plugin::config_plugins(); }},
    {"config plugins-popup",       [](const Commands&) { plugin::config_plugins_popup(); }},
    {"ui select",                  [](const Commands& c) { ui_select_command(c.ui_select); }},
    {"doctor",                     [](const Commands& c) { doctor::doctor(c.doctor); }},
    {"diagnostics export",         [](const Commands&) { throw Error("diagnostics export는 아직 구현되지 않았습니다."); }},
};

}  // namespace

bool has_handler(std::string_view leaf) {
    for (const Entry& entry : kTable) {
        if (entry.leaf == leaf) return true;
    }
    return false;
}

void dispatch(const Commands& commands) {
    for (const Entry& entry : kTable) {
        if (entry.leaf == commands.leaf) return entry.run(commands);
    }
    // The tree and the table list the same leaves; a leaf missing here is a slip in this file.
    throw Error("vesk " + commands.leaf + ": 처리할 곳이 없는 명령입니다.");
}

}  // namespace vesk

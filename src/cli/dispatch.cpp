#include "cli/dispatch.hpp"

#include <string>

#include "config/config.hpp"
#include "core/error.hpp"
#include "keybind/postlude.hpp"
#include "pickers/filter_edit.hpp"
#include "pickers/finder.hpp"
#include "pickers/mapping.hpp"
#include "pickers/note.hpp"
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
    {"tidewell open",              [](const Commands& c) { not_built(c.leaf); }},
    {"tidewell window-open",       [](const Commands& c) { not_built(c.leaf); }},
    {"tidewell project-select",    [](const Commands& c) { not_built(c.leaf); }},
    {"tidewell question-list",     [](const Commands& c) { not_built(c.leaf); }},
    {"tidewell question-preview",  [](const Commands& c) { not_built(c.leaf); }},
    {"tidewell question-select",   [](const Commands& c) { not_built(c.leaf); }},
    {"tidewell chat-popup",        [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox list",              [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox build-index",       [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox update-index",      [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox import-list",       [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox create-vault",      [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox create-named",      [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox execute-item",      [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox edit-with-vim",     [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox open-in-finder",    [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox move-item",         [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox delete-item",       [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox open",              [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox run-fzf",           [](const Commands& c) { not_built(c.leaf); }},
    {"quillbox preview",           [](const Commands& c) { not_built(c.leaf); }},
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
    {"log shell-toggle",           [](const Commands& c) { not_built(c.leaf); }},
    {"log shell-start",            [](const Commands& c) { not_built(c.leaf); }},
    {"log codex-toggle",           [](const Commands& c) { not_built(c.leaf); }},
    {"log codex-start",            [](const Commands& c) { not_built(c.leaf); }},
    {"log codex-run",              [](const Commands& c) { not_built(c.leaf); }},
    {"log codex-status",           [](const Commands& c) { not_built(c.leaf); }},
    {"log codex-tail",             [](const Commands& c) { not_built(c.leaf); }},
    {"log search-popup",           [](const Commands& c) { not_built(c.leaf); }},
    {"log search-query",           [](const Commands& c) { not_built(c.leaf); }},
    {"log search-preview",         [](const Commands& c) { not_built(c.leaf); }},
    {"popup message",              [](const Commands& c) { popup_message(c.popup_message); }},
    {"popup message-render",       [](const Commands& c) { popup_message_render(c.popup_message_render); }},
    {"copy cut-selection",         [](const Commands& c) { copy_cut_selection(c.copy_cut_selection); }},
    {"session kill-and-next",      [](const Commands& c) { not_built(c.leaf); }},
    {"session tree-popup",         [](const Commands& c) { not_built(c.leaf); }},
    {"session create-popup-open",  [](const Commands& c) { not_built(c.leaf); }},
    {"session create-popup",       [](const Commands& c) { not_built(c.leaf); }},
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
    {"dir popup",                  [](const Commands& c) { not_built(c.leaf); }},
    {"dir favorite",               [](const Commands& c) { not_built(c.leaf); }},
    {"app launch-open",            [](const Commands& c) { not_built(c.leaf); }},
    {"app launch",                 [](const Commands& c) { not_built(c.leaf); }},
    {"mapping popup",              [](const Commands& c) { pickers::mapping_popup(c.mapping_popup); }},
    {"version controller",         [](const Commands& c) { not_built(c.leaf); }},
    {"version run",                [](const Commands& c) { not_built(c.leaf); }},
    {"version exec",               [](const Commands& c) { not_built(c.leaf); }},
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

void not_built(std::string_view command) {
    throw Error("vesk " + std::string(command) + ": 아직 구현되지 않았습니다.");
}

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

// The key-binding screen: a full-screen list of the distribution's bindings where the user filters
// by typing, presses a new key for an entry, removes a key or restores the default. Every change
// is written to keybindings.conf and bound in the running tmux at once; leaving saves nothing.
//
// The screen is its state (App), a pure key handler that returns the next state and what the loop
// must do, and a drawing into a cell buffer; only `commit` and `run` touch files, tmux and the
// terminal.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "defaults/profile.hpp"
#include "keybind/model.hpp"
#include "ui/buffer.hpp"
#include "ui/keys.hpp"
#include "tmux/screen_popup.hpp"
#include "ui/list_screen.hpp"

namespace vesk::keybind::app {

struct Row {
    enum class Kind { Blank, Header, Entry };
    Kind kind = Kind::Blank;
    std::string group;      // Header
    std::size_t entry = 0;  // Entry: position in the session

    // Only entry rows take the cursor.
    bool selectable() const { return kind == Kind::Entry; }
    bool operator==(const Row&) const = default;
};

// The text searched for one entry: "description label_en group".
using Haystack = ui::Haystack;

struct Normal {
    bool operator==(const Normal&) const = default;
};
struct Capture {
    std::size_t entry = 0;
    bool operator==(const Capture&) const = default;
};
struct Confirm {
    std::size_t entry = 0;
    std::string key;
    std::optional<model::Conflict> conflict;
    bool operator==(const Confirm&) const = default;
};
using Mode = std::variant<Normal, Capture, Confirm>;

// The list's rows are the blank, header and entry rows of the entries the query keeps.
struct App : ui::ListScreen<Row> {
    model::EditSession session;
    std::filesystem::path config_path;  // keybindings.conf
    std::size_t shown = 0;              // entries in the rows
    Mode mode = Normal{};
};

// The rows for the kept entries: a blank row, then per group of the session with kept entries a
// blank row (not before the first group shown), its header and its entries in group order.
std::vector<Row> build_rows_filtered(const model::EditSession& session, const std::vector<std::size_t>& kept);
std::vector<Haystack> build_haystacks(const model::EditSession& session);

// Every entry shown, the first entry row selected.
App make_app(model::EditSession session, std::filesystem::path config_path);
// Filters the rows with the current query, keeping the selected entry selected when it is shown.
void filter(App& app);

// The entry of the selected row, when it is an entry row.
std::optional<std::size_t> selected_entry(const App& app);

// What the loop does after a key.
using ui::Quit;
using ui::Stay;
// The session changed for this entry: save it and bind the change in tmux.
struct Commit {
    std::size_t entry = 0;
    std::optional<std::string> previous_key;
    bool operator==(const Commit&) const = default;
};
using Effect = std::variant<Stay, Quit, Commit>;

struct Step {
    App app;
    Effect effect;
};

Step handle(App app, const ui::Key& key);

// Saves the session to keybindings.conf and binds the entry's change in the running tmux; a key the
// entry lets go of that tmux binds by default gets tmux's binding back. Failures do not end the
// screen: they become the status line until a commit succeeds. A failed save puts `before` (the
// session before the change) back and leaves tmux alone.
void commit(App& app, std::size_t entry, const std::optional<std::string>& previous_key,
            model::EditSession before);

// Widths of the list columns for a list `list_width` columns wide.
struct Columns {
    std::size_t description = 0;
    std::size_t key = 0;
    bool state = false;  // room for the state column
};
Columns columns_for(const model::EditSession& session, std::size_t list_width);

// Draws the whole screen; records the page size and the scroll offset in the state.
void draw(App& app, ui::Buffer& buffer);

// The screen on the current terminal until the user leaves it.
void run(const config::Places& places);

using PopupGeometry = vesk::PopupGeometry;
// The width the list wants: key column, description column and the fixed columns.
int natural_width(const model::EditSession& session);
PopupGeometry popup_geometry(const model::EditSession& session, int client_width, int client_height);

}  // namespace vesk::keybind::app

namespace vesk::keybind {

struct ConfigKeybindingsArgs {
    ConfigProfile profile = ConfigProfile::Macos;
    std::optional<std::string> db;
};

// `config keybindings`: the screen in this terminal (the profile and database play no part).
void config_keybindings(const ConfigKeybindingsArgs& args);
// `config keybindings-popup`: the screen in a floating pane sized to the list.
void config_keybindings_popup();

}  // namespace vesk::keybind

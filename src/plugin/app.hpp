// The plugin screen: a full-screen list of the distribution's tmux plugins where the user filters
// by typing, switches plugins on or off (written to plugins.conf at once), and installs, updates
// or removes them. Installs and updates run as plugin-manager jobs in the background while the
// screen stays usable; the loop polls them between key reads.
//
// The screen is its state (App), a pure key handler that returns the next state and what the loop
// must do, and a drawing into a cell buffer; only `carry_out`, `poll_jobs` and `run` touch files,
// child processes and the terminal.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "plugin/load_catalog.hpp"
#include "plugin/model.hpp"
#include "plugin/tpm.hpp"
#include "ui/buffer.hpp"
#include "ui/keys.hpp"
#include "tmux/screen_popup.hpp"
#include "ui/list_screen.hpp"

namespace vesk::plugin::app {

// The text searched for one entry: "description repo".
using Haystack = ui::Haystack;

enum class JobKind { Fetch, Update };

struct RunningJob {
    std::string repo;
    JobKind kind = JobKind::Fetch;
    tpm::Job job;
};

// The list's rows are the positions of the entries the query keeps, catalog order.
struct App : ui::ListScreen<std::size_t> {
    model::Catalog catalog;
    std::filesystem::path config_path;  // plugins.conf
    std::vector<RunningJob> jobs;
    std::optional<std::size_t> pending_removal;  // entry waiting for y/n
};

std::vector<Haystack> build_haystacks(const model::Catalog& catalog);
// Every entry shown, the first selected.
App make_app(model::Catalog catalog, std::filesystem::path config_path);
// Filters with the current query, keeping the selected entry selected when it is still shown.
void filter(App& app);
// The entry under the selection; nothing when the list is empty.
std::optional<std::size_t> selected_entry(const App& app);
// True while any entry carries a job mark: the loop then wakes up to poll.
bool has_jobs(const App& app);

// What the loop does after a key.
using ui::Quit;
using ui::Stay;
struct Save {  // write plugins.conf after this entry was switched
    std::size_t entry = 0;
    bool operator==(const Save&) const = default;
};
struct Fetch {
    std::size_t entry = 0;
    bool operator==(const Fetch&) const = default;
};
struct Update {
    std::size_t entry = 0;
    bool operator==(const Update&) const = default;
};
struct Remove {
    std::size_t entry = 0;
    bool operator==(const Remove&) const = default;
};
struct Reread {  // look again at which plugins are installed
    bool operator==(const Reread&) const = default;
};
using Effect = std::variant<Stay, Quit, Save, Fetch, Update, Remove, Reread>;

struct Step {
    App app;
    Effect effect;
};

Step handle(App app, const ui::Key& key);

// Carries out an effect other than Stay and Quit against the plugins directory `plugins_dir`
// (nothing when there is none). Failures become the status line; the screen goes on. A switch
// that cannot be saved is switched back.
void carry_out(App& app, const Effect& effect, const std::optional<std::filesystem::path>& plugins_dir);
// Installed plugins of `plugins_dir` read again; nothing changes without a directory.
void reread(App& app, const std::optional<std::filesystem::path>& plugins_dir);
// Asks every job whether it has ended, without waiting; the ended ones are dropped, their marks
// cleared and their failures shown. Returns true when any ended.
bool poll_jobs(App& app, const std::optional<std::filesystem::path>& plugins_dir);

// Widths of the list columns for a list `list_width` columns wide.
struct Columns {
    std::size_t description = 0;
    std::size_t repo = 0;
    bool state = false;  // room for the job-state column
};
Columns columns_for(const model::Catalog& catalog, std::size_t list_width);

// Draws the whole screen; records the page size and the scroll offset in the state.
void draw(App& app, ui::Buffer& buffer);

// The screen on the current terminal until the user leaves it. Jobs still running then go on
// as they are; the terminal is given back all the same.
void run(const config::Places& places);

using PopupGeometry = vesk::PopupGeometry;
// The width the list wants: repository column, description column and the fixed columns.
int natural_width(const model::Catalog& catalog);
PopupGeometry popup_geometry(const model::Catalog& catalog, int client_width, int client_height);

}  // namespace vesk::plugin::app

namespace vesk::plugin {

// `config plugins`: the screen in this terminal.
void config_plugins();
// `config plugins-popup`: the screen in a floating pane sized to the list.
void config_plugins_popup();

}  // namespace vesk::plugin

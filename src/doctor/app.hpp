// The doctor's full-screen side: how wide its screen wants to be, and the screen itself. The
// screen lists the checks with the problems first and the passing ones folded by group, shows one
// check in an overlay and runs its fix there, showing the fix's progress and then a fresh report.
//
// The screen is its state (App), a pure key handler that returns the next state and what the loop
// must do, and a drawing into a cell buffer; only `carry_out`, `poll` and `run_screen` collect
// reports, start fixes and touch the terminal.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "config/places.hpp"
#include "doctor/model.hpp"
#include "doctor/remedy.hpp"
#include "ui/buffer.hpp"
#include "ui/keys.hpp"
#include "ui/list_screen.hpp"

namespace vesk::doctor {

// The widest id and the widest summary of the report, at least 14 and 16.
struct ColumnWidths {
    std::size_t id = 14;
    std::size_t summary = 16;
};
ColumnWidths column_widths(const Report& report);

// Columns the doctor screen wants for this report: its column widths plus the screen's fixed 21
// columns and its two borders; 53 for an empty report.
std::size_t natural_width(const Report& report);

// The doctor screen on the terminal until the user leaves it.
void run_screen(const config::Places& places);

}  // namespace vesk::doctor

namespace vesk::doctor::app {

// One list row: a check by its position in the report, a folded group of passing checks, or the
// blank row between the problems and the groups.
struct Row {
    enum class Kind { Check, Group, Blank };
    Kind kind = Kind::Blank;
    std::size_t index = 0;    // Check
    std::string_view group;   // Group
    std::size_t ok_count = 0;  // Group

    static Row check(std::size_t index) { return Row{Kind::Check, index, {}, 0}; }
    static Row folded(std::string_view group, std::size_t ok_count) { return Row{Kind::Group, 0, group, ok_count}; }
    static Row blank() { return Row{}; }
    bool selectable() const { return kind != Kind::Blank; }
    bool operator==(const Row&) const = default;
};

// The modes: the list alone, one check in detail, its fix running, the fix's end.
struct List {};
struct Detail {
    std::string id;
};
struct Running {
    std::string id;
    std::vector<std::string> lines;  // the last lines of the fix's log
    std::unique_ptr<Job> job;        // dropping it removes the log; the fix itself goes on
};
struct Done {
    std::string id;
    Outcome outcome;
    std::optional<Severity> severity;  // the check's after the re-check; nothing when it is gone
};
using Mode = std::variant<List, Detail, Running, Done>;

struct App : ui::ListScreen<Row> {
    Report report;
    Mode mode = List{};
    std::set<std::string, std::less<>> expanded;  // groups the user unfolded
    bool show_all = false;
    std::size_t id_width = 14;       // widest id, at least 14
    std::size_t summary_width = 16;  // widest summary, at least 16
    std::size_t tick = 0;            // spinner frames shown while a fix runs
};

// The problems (errors, then warnings, then skipped checks, each in report order), a blank row,
// then per group its passing checks, or one row for them while the group is folded.
std::vector<Row> build_rows(const Report& report, const std::set<std::string, std::less<>>& expanded, bool show_all);

// Warnings and errors: what the list puts first and what a remedy may be run for.
bool is_problem(Severity severity);
// The remedy that Enter would carry out: only a problem's, and only one that can run.
std::optional<Action> runnable_fix(const App& app, std::string_view id);

// A new screen over this report, the cursor on the first row.
App make_app(Report report);
// Takes a fresh report: widths again, the rows again, the cursor kept on the same row when it is
// still there.
void set_report(App& app, Report report);
// Rows again after the folding changed.
void relayout(App& app);

// What the loop does after a key.
using ui::Quit;
using ui::Stay;
struct Reread {  // collect the report again
    bool operator==(const Reread&) const = default;
};
struct Fix {  // carry out the check's remedy
    std::string id;
    Action action;
    bool operator==(const Fix&) const = default;
};
using Effect = std::variant<Stay, Quit, Reread, Fix>;

struct Step {
    App app;
    Effect effect;
};

Step handle(App app, const ui::Key& key);

// Carries out Reread and Fix, with `collect` making a fresh report: a fix that runs puts the screen
// in Running, one that ended at once re-checks and shows its outcome.
void carry_out(App& app, const Effect& effect, const std::function<Report()>& collect);
// While a fix runs: advances the spinner and follows the fix's log; once it ended, re-checks and
// shows its outcome. Nothing in the other modes.
void poll(App& app, const std::function<Report()>& collect);
bool running(const App& app);

// The widths of the id and summary columns in a list `width` columns wide.
struct Columns {
    std::size_t id = 0;
    std::size_t summary = 0;
    bool operator==(const Columns&) const = default;
};
Columns columns_for(std::size_t width, std::size_t id_width);

// Words wrapped to `width` columns, each line behind two blanks; a word too long for a line is
// broken where the line is full. An empty text gives one empty line.
std::vector<ui::Line> paragraph(std::string_view text, std::size_t width, ui::Style style);

// The overlay's width in a frame `frame_width` columns wide.
std::size_t overlay_width(std::size_t frame_width);

// Draws the whole screen; records the page size and the scroll offset in the state.
void draw(App& app, ui::Buffer& buffer);

}  // namespace vesk::doctor::app

// Drawing of the plugin screen: its rows and footer inside the list screen's frame.
#include <algorithm>

#include "plugin/app.hpp"
#include "ui/list_screen.hpp"
#include "ui/screen_width.hpp"

namespace vesk::plugin::app {

namespace {

using namespace ui::palette;
using ui::cell;
using ui::Line;
using ui::Style;

constexpr std::size_t kOnOffColumn = 6;
constexpr std::size_t kStateColumn = 12;

void add_job_state(Line& line, const model::Entry& e) {
    switch (e.job) {
    case model::JobMark::Fetching: line.add(cell("받는 중", kStateColumn), Style{}.with_fg(kAccent)); return;
    case model::JobMark::Updating: line.add(cell("맞추는 중", kStateColumn), Style{}.with_fg(kAccent)); return;
    case model::JobMark::None: break;
    }
    if (e.on && !e.installed) line.add(cell("받아야 함", kStateColumn), Style{}.with_fg(kOrange));
}

Line entry_line(const App& app, std::size_t entry, bool selected, const Columns& columns) {
    const model::Entry& e = app.catalog.entries()[entry];
    Line line;
    ui::add_marker(line, selected);
    ui::add_description(line, e.declaration.description, app, entry, columns.description);
    line.add("  ");
    line.add(cell(e.declaration.repo, columns.repo), Style{}.with_fg(kDim));
    line.add("  ");
    if (e.on) line.add(cell("켜짐", kOnOffColumn), Style{}.with_fg(kAccent));
    else line.add(cell("꺼짐", kOnOffColumn), Style{}.with_fg(kDim));
    if (columns.state) {
        line.add("  ");
        add_job_state(line, e);
    }
    return line;
}

// A pending removal asks its question where the hints or the status would be.
Line footer(const App& app, std::size_t width) {
    Line line;
    if (app.pending_removal && *app.pending_removal < app.catalog.size()) {
        const std::string& name = app.catalog.entries()[*app.pending_removal].declaration.name;
        line.add("  ");
        line.add(name + "을(를) 지웁니다. 계속할까요? (y/n)", Style{}.with_fg(kOrange).with_bold());
    } else if (app.status) {
        line.add("  ");
        line.add(*app.status, Style{}.with_fg(kWarning).with_bold());
    } else {
        line = ui::key_hints(
            {{"↑↓", "이동"}, {"Space", "켜고 끄기"}, {"Enter", "받기"}, {"^R", "맞추기"}, {"^D", "지우기"}, {"Esc", "닫기"}}, width);
    }
    return line;
}

}  // namespace

Columns columns_for(const model::Catalog& catalog, std::size_t list_width) {
    std::size_t r = 0;
    std::size_t d = 0;
    for (const model::Entry& e : catalog.entries()) {
        r = std::max(r, ui::screen_width(e.declaration.repo));
        d = std::max(d, ui::screen_width(e.declaration.description));
    }
    Columns c;
    c.repo = std::min<std::size_t>(r, 30);
    // Signed on purpose: a narrow terminal makes these differences negative.
    const long w = static_cast<long>(list_width);
    const long repo = static_cast<long>(c.repo);
    if (w < repo + 44) {
        // Too narrow for the job state. The on/off switch keeps its place: where the repository
        // column would push it off the row, the repository and description columns share what is
        // left.
        const ui::SharedColumns shared =
            ui::share_columns(static_cast<std::size_t>(std::max(0L, w - 14)), c.repo);
        c.description = shared.description;
        c.repo = shared.other;
    } else {
        c.state = true;
        c.description =
            static_cast<std::size_t>(std::min(std::max(static_cast<long>(d), 16L), std::min(w - repo - 28, 40L)));
    }
    return c;
}

void draw(App& app, ui::Buffer& buffer) {
    const auto lines = [&](std::size_t width) {
        const Columns columns = columns_for(app.catalog, width);
        std::vector<Line> out;
        out.reserve(app.rows.size());
        for (std::size_t i = 0; i < app.rows.size(); ++i)
            out.push_back(entry_line(app, app.rows[i], i == app.selected, columns));
        return out;
    };
    ui::draw_list_screen(app, buffer,
                         {" Plugins ", lines, {}, [&](std::size_t width) { return footer(app, width); }});
}

}  // namespace vesk::plugin::app

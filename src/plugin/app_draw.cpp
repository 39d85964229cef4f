// Drawing of the plugin screen into a cell buffer: frame, search line, list and footer.
#include <algorithm>

#include "core/text.hpp"
#include "plugin/app.hpp"
#include "ui/text_width.hpp"
#include "ui/widgets.hpp"

namespace vesk::plugin::app {

namespace {

using ui::Color;
using ui::Line;
using ui::Style;

constexpr Color kAccent = Color::rgb(130, 170, 255);
constexpr Color kOrange = Color::rgb(255, 150, 108);
constexpr Color kWarning = Color::rgb(255, 117, 127);
constexpr Color kSelectedBg = Color::rgb(47, 51, 77);
constexpr Color kDim = ui::colors::dark_gray;
constexpr std::size_t kOnOffColumn = 6;
constexpr std::size_t kStateColumn = 12;

std::string cell(std::string_view text, std::size_t width) { return ui::pad_width(ui::fit_width(text, width), width); }

// The description cut to its column, the matched characters picked out. Positions count
// characters of the whole haystack; only those inside the part of the description still shown
// are drawn, never the ellipsis.
void add_description(Line& line, const std::string& description, const std::vector<std::size_t>& positions,
                     std::size_t description_chars, std::size_t width) {
    const std::string fitted = ui::fit_width(description, width);
    const std::u32string chars = decode_utf8(fitted);
    std::size_t original = chars.size();
    if (fitted != description && original > 0) --original;  // the last character is the ellipsis
    const Style match = Style{}.with_fg(kAccent).with_bold().with_underline();
    std::string run;
    bool run_matched = false;
    auto flush = [&] {
        if (!run.empty()) line.add(run, run_matched ? match : Style{});
        run.clear();
    };
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const bool matched = i < original && i < description_chars &&
                             std::binary_search(positions.begin(), positions.end(), i);
        if (matched != run_matched) {
            flush();
            run_matched = matched;
        }
        append_utf8(run, chars[i]);
    }
    flush();
    const std::size_t used = ui::text_width(fitted);
    if (used < width) line.add(std::string(width - used, ' '));
}

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
    if (selected) {
        line.add("  ");
        line.add("▸", Style{}.with_fg(kAccent).with_bold());
        line.add(" ");
    } else {
        line.add("    ");
    }
    static const std::vector<std::size_t> none;
    const std::vector<std::size_t>& positions = entry < app.highlights.size() ? app.highlights[entry] : none;
    const std::size_t description_chars = entry < app.haystacks.size() ? app.haystacks[entry].description_chars : 0;
    add_description(line, e.declaration.description, positions, description_chars, columns.description);
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

void draw_search(const App& app, ui::Buffer& buffer, ui::Rect area) {
    if (area.empty()) return;
    Line line;
    line.add(" 검색  ", Style{}.with_fg(kDim));
    line.add(app.query);
    line.add("▏", Style{}.with_fg(kDim));
    buffer.set_line(area.x, area.y, line, area.width);
}

void draw_list(App& app, ui::Buffer& buffer, ui::Rect area) {
    const Columns columns = columns_for(app.catalog, area.width);
    std::vector<Line> items;
    items.reserve(app.shown.size());
    for (std::size_t i = 0; i < app.shown.size(); ++i)
        items.push_back(entry_line(app, app.shown[i], i == app.selected, columns));
    ui::ListState state;
    if (selected_entry(app)) state.selected = app.selected;
    state.offset = app.offset;
    ui::render_list(buffer, area, items, state, Style{}.with_bg(kSelectedBg));
    app.offset = state.offset;
    app.page_size = std::max<std::size_t>(area.height, 1);
}

void draw_footer(const App& app, ui::Buffer& buffer, ui::Rect area) {
    if (area.empty()) return;
    Line line;
    if (app.pending_removal && *app.pending_removal < app.catalog.size()) {
        const std::string& name = app.catalog.entries()[*app.pending_removal].declaration.name;
        line.add("  ");
        line.add(name + "을(를) 지웁니다. 계속할까요? (y/n)", Style{}.with_fg(kOrange).with_bold());
    } else if (app.status) {
        line.add("  ");
        line.add(*app.status, Style{}.with_fg(kWarning).with_bold());
    } else {
        static const std::pair<const char*, const char*> hints[] = {
            {"↑↓", "이동"}, {"Space", "켜고 끄기"}, {"Enter", "받기"}, {"^R", "맞추기"}, {"^D", "지우기"}, {"Esc", "닫기"}};
        line.add(" ");
        for (const auto& [key, label] : hints) {
            line.add(key, Style{}.with_fg(kAccent).with_bold());
            line.add(std::string(" ") + label + "   ", Style{}.with_fg(kDim));
        }
    }
    buffer.set_line(area.x, area.y, line, area.width);
}

}  // namespace

Columns columns_for(const model::Catalog& catalog, std::size_t list_width) {
    std::size_t r = 0;
    std::size_t d = 0;
    for (const model::Entry& e : catalog.entries()) {
        r = std::max(r, ui::text_width(e.declaration.repo));
        d = std::max(d, ui::text_width(e.declaration.description));
    }
    Columns c;
    c.repo = std::min<std::size_t>(r, 30);
    // Signed on purpose: a narrow terminal makes these differences negative.
    const long w = static_cast<long>(list_width);
    const long repo = static_cast<long>(c.repo);
    if (w < repo + 44) {
        c.description = static_cast<std::size_t>(std::max(1L, w - repo - 14));
    } else {
        c.state = true;
        c.description =
            static_cast<std::size_t>(std::min(std::max(static_cast<long>(d), 16L), std::min(w - repo - 28, 40L)));
    }
    return c;
}

void draw(App& app, ui::Buffer& buffer) {
    const ui::Rect outer = buffer.area();
    ui::Block frame{ui::Borders::All, Style{}, Line(" Plugins ")};
    frame.render(buffer, outer);
    const ui::Rect inner = frame.inner(outer);
    const std::vector<ui::Rect> parts =
        ui::split_vertical(inner, {ui::Constraint::length(1), ui::Constraint::min(3), ui::Constraint::length(2)});
    draw_search(app, buffer, parts[0]);

    const ui::Block rule{ui::Borders::Top, Style{}.with_fg(kDim), Line()};
    for (const ui::Rect& part : {parts[1], parts[2]}) {
        if (part.empty()) continue;
        rule.render(buffer, part);
        ui::join_divider(buffer, outer, part.y);
    }
    draw_list(app, buffer, rule.inner(parts[1]));
    draw_footer(app, buffer, rule.inner(parts[2]));
}

}  // namespace vesk::plugin::app

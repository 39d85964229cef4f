// Drawing of the key-binding screen: its rows, count and footer inside the list screen's frame, and
// the box that asks for the new key.
#include <algorithm>

#include "keybind/app.hpp"
#include "ui/list_screen.hpp"
#include "ui/screen_width.hpp"
#include "ui/widgets.hpp"

namespace vesk::keybind::app {

namespace {

using namespace ui::palette;
using ui::cell;
using ui::Line;
using ui::Span;
using ui::Style;

constexpr std::size_t kTableColumn = 8;
constexpr std::size_t kStateColumn = 8;

const char* const kNoKey = "—";

std::string table_tag(const std::string& table) {
    if (table == "prefix") return "";
    if (table == "root") return "직접";
    if (table == "copy-mode") return "copy";
    if (table == "copy-mode-vi") return "copy-vi";
    return table;
}

Line entry_line(const App& app, std::size_t entry, bool selected, const Columns& columns) {
    const model::Entry& e = app.session.entries[entry];
    Line line;
    ui::add_marker(line, selected);
    ui::add_description(line, e.info.description, app, entry, columns.description);
    line.add("  ");
    if (e.current_key) line.add(cell(*e.current_key, columns.key), Style{}.with_fg(kAccent));
    else line.add(cell(kNoKey, columns.key), Style{}.with_fg(kDim));
    line.add("  ");
    line.add(cell(table_tag(e.table), kTableColumn), Style{}.with_fg(kDim));
    if (columns.state) {
        line.add("  ");
        if (!e.current_key) line.add(cell("없음", kStateColumn), Style{}.with_fg(kDim));
        else if (e.changed()) line.add(cell("변경됨", kStateColumn), Style{}.with_fg(kOrange));
    }
    return line;
}

// One line per row: headers across the list, entries in columns.
std::vector<Line> row_lines(const App& app, std::size_t width) {
    const Columns columns = columns_for(app.session, width);
    std::vector<Line> lines;
    lines.reserve(app.rows.size());
    for (std::size_t i = 0; i < app.rows.size(); ++i) {
        const Row& row = app.rows[i];
        switch (row.kind) {
        case Row::Kind::Blank: lines.emplace_back(""); break;
        case Row::Kind::Header: lines.emplace_back(cell("  " + row.group, width), Style{}.with_fg(kDim)); break;
        case Row::Kind::Entry: lines.push_back(entry_line(app, row.entry, i == app.selected, columns)); break;
        }
    }
    return lines;
}

// The entries shown of all, in the warning colour when the query matches nothing.
ui::Span count(const App& app) {
    const bool nothing = !app.query.empty() && app.shown == 0;
    return {std::to_string(app.shown) + " / " + std::to_string(app.session.entries.size()),
            Style{}.with_fg(nothing ? kWarning : kDim)};
}

Line footer(const App& app, std::size_t width) {
    if (app.status) return Line(" " + *app.status, Style{}.with_fg(kWarning));
    return ui::key_hints({{"↑↓", "이동"}, {"Enter", "변경"}, {"Del", "삭제"}, {"^R", "기본값"}, {"Esc", "닫기"}}, width);
}

void draw_key_box(const App& app, ui::Buffer& buffer) {
    const Style dim = Style{}.with_fg(kDim);
    const Style dim_bold = dim.with_bold();
    std::vector<Line> lines;
    if (std::holds_alternative<Capture>(app.mode)) {
        lines.emplace_back("새 단축키를 누르세요");
        lines.emplace_back("");
        lines.emplace_back("");
        lines.push_back(Line(std::vector<Span>{{"Esc", dim_bold}, {" 키도 그대로 지정됩니다", dim}}));
    } else if (const auto* confirm = std::get_if<Confirm>(&app.mode)) {
        lines.emplace_back(confirm->key, Style{}.with_fg(kAccent).with_bold());
        if (confirm->conflict)
            lines.push_back(Line(std::vector<Span>{{"이미 쓰는 중  ", Style{}.with_fg(kWarning)},
                                                   {confirm->conflict->description, Style{}}}));
        else
            lines.emplace_back("");
        lines.emplace_back("");
        lines.push_back(Line(std::vector<Span>{{"Enter", dim_bold},
                                               {confirm->conflict ? " 덮어쓰기" : " 확인", dim},
                                               {"   ", dim},
                                               {"Esc", dim_bold},
                                               {" 취소   ", dim},
                                               {"다른 키", dim_bold},
                                               {" 다시 지정", dim}}));
    } else {
        return;
    }
    std::size_t widest = 0;
    for (const Line& l : lines) widest = std::max(widest, l.width());
    const auto width = static_cast<std::uint16_t>(std::min<std::size_t>(std::max<std::size_t>(widest + 6, 40), UINT16_MAX));
    const auto height = static_cast<std::uint16_t>(lines.size() + 4);
    const ui::Rect box = ui::centered(buffer.area(), width, height);
    if (box.empty()) return;
    buffer.clear(box);
    // Titles keep their own style over the frame: this one is in the frame's colour.
    ui::Block frame{ui::Borders::All, Style{}.with_fg(kAccent), Line(" 단축키 변경 ", Style{}.with_fg(kAccent).with_bold())};
    frame.render(buffer, box);
    ui::Rect inner = frame.inner(box);
    if (inner.height > 2) inner = ui::Rect{inner.x, static_cast<std::uint16_t>(inner.y + 1), inner.width,
                                           static_cast<std::uint16_t>(inner.height - 2)};
    ui::render_lines(buffer, inner, lines, ui::Alignment::Center);
}

}  // namespace

Columns columns_for(const model::EditSession& session, std::size_t list_width) {
    std::size_t k = 12;
    std::size_t d = 16;
    if (!session.entries.empty()) {
        k = 0;
        d = 0;
        for (const model::Entry& e : session.entries) {
            k = std::max(k, ui::screen_width(e.current_key ? *e.current_key : std::string(kNoKey)));
            d = std::max(d, ui::screen_width(e.info.description));
        }
    }
    Columns c;
    c.key = std::min<std::size_t>(std::max<std::size_t>(k, 12), 18);
    // Signed on purpose: a narrow terminal makes these differences negative.
    const long w = static_cast<long>(list_width);
    const long key = static_cast<long>(c.key);
    if (w < key + 42) {
        // Too narrow for the state column. The table tag keeps its place: where the key column
        // would push it off the row, the key and description columns share what is left.
        c.state = false;
        const ui::SharedColumns shared =
            ui::share_columns(static_cast<std::size_t>(std::max(0L, w - 16)), c.key);
        c.description = shared.description;
        c.key = shared.other;
    } else {
        c.state = true;
        c.description = static_cast<std::size_t>(
            std::min(std::max(static_cast<long>(d), 16L), std::min(w - key - 26, 44L)));
    }
    return c;
}

void draw(App& app, ui::Buffer& buffer) {
    ui::draw_list_screen(app, buffer,
                         {" Keybindings ", [&](std::size_t width) { return row_lines(app, width); }, count(app),
                          [&](std::size_t width) { return footer(app, width); }});
    draw_key_box(app, buffer);
}

}  // namespace vesk::keybind::app

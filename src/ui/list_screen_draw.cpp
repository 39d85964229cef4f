// Drawing of the list screen into a cell buffer: the frame, the search line, the rows and the
// footer, and the pieces the screens make their rows of.
#include "ui/list_screen.hpp"

#include <algorithm>

#include "core/text.hpp"
#include "ui/screen_width.hpp"
#include "ui/widgets.hpp"

namespace vesk::ui {

using namespace palette;

namespace {

struct Areas {
    Rect search;
    Rect list;
    Rect footer;
};

// Rows of the search line, the list (its rule included) and the footer (its rule included) in
// `height` rows: the search line first, then a rule and one row of the list, then the footer, and
// what remains to the list. The close key in the footer is the way out, and a popup pane is short.
std::vector<Constraint> layout(std::uint16_t height) {
    const std::uint16_t search = std::min<std::uint16_t>(height, 1);
    const std::uint16_t rest = static_cast<std::uint16_t>(height - search);
    const std::uint16_t footer = rest >= 4 ? 2 : 0;
    return {Constraint::length(search), Constraint::length(static_cast<std::uint16_t>(rest - footer)),
            Constraint::length(footer)};
}

// The title on the border, then the search line, the list and a two-row footer, the last two under
// rules that meet the frame.
Areas draw_frame(Buffer& buffer, const ListLook& look) {
    const Rect outer = buffer.area();
    Block frame{Borders::All, look.border, Line(std::string(look.title), look.title_style)};
    frame.render(buffer, outer);
    const Rect inner = frame.inner(outer);
    const std::vector<Rect> parts = split_vertical(inner, layout(inner.height));
    const Block rule{Borders::Top, Style{}.with_fg(kDim), Line()};
    for (const Rect& part : {parts[1], parts[2]}) {
        if (part.empty()) continue;
        rule.render(buffer, part);
        join_divider(buffer, outer, part.y);
    }
    return {parts[0], rule.inner(parts[1]), rule.inner(parts[2])};
}

// The note goes only where it fits whole, one blank from the frame.
void draw_search_line(Buffer& buffer, Rect area, std::string_view query, const Span& note) {
    if (area.empty()) return;
    Line line;
    line.add(" 검색  ", Style{}.with_fg(kDim));
    line.add(std::string(query));
    line.add("▏", Style{}.with_fg(kDim));
    buffer.set_line(area.x, area.y, line, area.width);
    if (note.text.empty()) return;
    const std::size_t note_width = screen_width(note.text) + 1;
    if (note_width > area.width) return;
    buffer.set_string(static_cast<std::uint16_t>(area.right() - note_width), area.y, note.text, note.style);
}

}  // namespace

namespace detail {

void draw_list_screen(ListScreenBase& list, Buffer& buffer, const ListLook& look, bool cursor_on_row) {
    const Areas areas = draw_frame(buffer, look);
    if (!look.header) draw_search_line(buffer, areas.search, list.query, look.note);
    else if (!areas.search.empty())
        buffer.set_line(areas.search.x, areas.search.y, look.header(areas.search.width), areas.search.width);
    ListState view;
    if (cursor_on_row) view.selected = list.selected;
    view.offset = list.offset;
    render_list(buffer, areas.list, look.lines ? look.lines(areas.list.width) : std::vector<Line>{}, view,
                Style{}.with_bg(kSelectedBg));
    list.offset = view.offset;
    list.page_size = std::max<std::size_t>(areas.list.height, 1);
    if (!areas.footer.empty() && look.footer)
        buffer.set_line(areas.footer.x, areas.footer.y, look.footer(areas.footer.width), areas.footer.width);
}

}  // namespace detail

std::string cell(std::string_view text, std::size_t width) { return pad_width(fit_width(text, width), width); }

void add_marker(Line& line, bool selected) {
    if (selected) {
        line.add("  ");
        line.add("▸", Style{}.with_fg(kAccent).with_bold());
        line.add(" ");
    } else {
        line.add("    ");
    }
}

// Positions count characters of the whole haystack; only those inside the part of the description
// still shown are drawn, never the ellipsis.
void add_description(Line& line, const std::string& description, const ListScreenBase& list, std::size_t entry,
                     std::size_t width) {
    static const std::vector<std::size_t> none;
    const std::vector<std::size_t>& positions = entry < list.highlights.size() ? list.highlights[entry] : none;
    const std::size_t description_chars = entry < list.haystacks.size() ? list.haystacks[entry].description_chars : 0;
    const std::string fitted = fit_width(description, width);
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
    const std::size_t used = screen_width(fitted);
    if (used < width) line.add(std::string(width - used, ' '));
}

Line key_hints(std::initializer_list<std::pair<const char*, const char*>> hints, std::size_t width,
               const HintLook& look) {
    Line line;
    if (hints.size() == 0) return line;
    const std::size_t gap = look.gap;  // blanks after a hint that another one follows
    const auto columns = [](const std::pair<const char*, const char*>& hint) {
        return screen_width(hint.first) + 1 + screen_width(hint.second);
    };
    const auto& close = *(hints.end() - 1);
    const bool lead = look.lead + columns(close) <= width;
    std::size_t used = (lead ? look.lead : 0) + columns(close);
    std::size_t before_close = 0;  // hints shown ahead of the close key, in order
    for (auto it = hints.begin(); it + 1 != hints.end(); ++it) {
        if (used + columns(*it) + gap > width) break;
        used += columns(*it) + gap;
        ++before_close;
    }
    const auto add = [&](const std::pair<const char*, const char*>& hint, bool more) {
        line.add(hint.first, look.key);
        line.add(std::string(" ") + hint.second + (more ? std::string(gap, ' ') : std::string()),
                 Style{}.with_fg(kDim));
    };
    if (lead) line.add(std::string(look.lead, ' '));
    for (std::size_t i = 0; i < before_close; ++i) add(*(hints.begin() + i), true);
    add(close, false);
    return line;
}

SharedColumns share_columns(std::size_t room, std::size_t other) {
    if (room > other) return {room - other, other};
    return {1, room > 1 ? room - 1 : 0};
}

}  // namespace vesk::ui

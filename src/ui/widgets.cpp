#include "ui/widgets.hpp"

#include <algorithm>

#include "ui/screen_width.hpp"

namespace vesk::ui {

namespace {

std::vector<std::uint16_t> solve(std::uint16_t total, const std::vector<Constraint>& cs) {
    std::vector<std::uint16_t> sizes(cs.size(), 0);
    long used = 0;
    bool has_fill = false;
    for (std::size_t i = 0; i < cs.size(); ++i) {
        if (cs[i].kind == Constraint::Kind::Fill) {
            has_fill = true;
        } else {
            sizes[i] = cs[i].value;
        }
        used += sizes[i];
    }
    if (used <= total) {
        long extra = total - used;
        Constraint::Kind takes = has_fill ? Constraint::Kind::Fill : Constraint::Kind::Min;
        long weights = 0;
        std::size_t last = cs.size();
        for (std::size_t i = 0; i < cs.size(); ++i)
            if (cs[i].kind == takes) {
                weights += takes == Constraint::Kind::Fill ? std::max<long>(cs[i].value, 1) : 1;
                last = i;
            }
        if (weights > 0) {
            long given = 0;
            for (std::size_t i = 0; i < cs.size(); ++i) {
                if (cs[i].kind != takes) continue;
                long w = takes == Constraint::Kind::Fill ? std::max<long>(cs[i].value, 1) : 1;
                long share = i == last ? extra - given : extra * w / weights;
                sizes[i] = static_cast<std::uint16_t>(sizes[i] + share);
                given += share;
            }
        }
        return sizes;
    }
    // Too little room: take it back from the last parts first.
    long over = used - total;
    for (std::size_t i = cs.size(); i-- > 0 && over > 0;) {
        long cut = std::min<long>(sizes[i], over);
        sizes[i] = static_cast<std::uint16_t>(sizes[i] - cut);
        over -= cut;
    }
    return sizes;
}

}  // namespace

std::vector<Rect> split_vertical(Rect area, const std::vector<Constraint>& constraints) {
    std::vector<Rect> out;
    std::uint16_t y = area.y;
    for (std::uint16_t h : solve(area.height, constraints)) {
        out.push_back(Rect{area.x, y, area.width, h});
        y = static_cast<std::uint16_t>(y + h);
    }
    return out;
}

std::vector<Rect> split_horizontal(Rect area, const std::vector<Constraint>& constraints) {
    std::vector<Rect> out;
    std::uint16_t x = area.x;
    for (std::uint16_t w : solve(area.width, constraints)) {
        out.push_back(Rect{x, area.y, w, area.height});
        x = static_cast<std::uint16_t>(x + w);
    }
    return out;
}

Rect Block::inner(Rect a) const {
    if (borders == Borders::Top) {
        if (a.height == 0) return a;
        return Rect{a.x, static_cast<std::uint16_t>(a.y + 1), a.width, static_cast<std::uint16_t>(a.height - 1)};
    }
    std::uint16_t w = a.width >= 2 ? static_cast<std::uint16_t>(a.width - 2) : 0;
    std::uint16_t h = a.height >= 2 ? static_cast<std::uint16_t>(a.height - 2) : 0;
    return Rect{static_cast<std::uint16_t>(a.x + std::min<std::uint16_t>(a.width, 1)),
                static_cast<std::uint16_t>(a.y + std::min<std::uint16_t>(a.height, 1)), w, h};
}

void Block::render(Buffer& buf, Rect area) const {
    Rect a = area.intersection(buf.area());
    if (a.empty()) return;
    const std::uint16_t last_x = static_cast<std::uint16_t>(a.right() - 1);
    const std::uint16_t last_y = static_cast<std::uint16_t>(a.bottom() - 1);
    for (std::uint16_t x = a.x; x < a.right(); ++x) buf.set_string(x, a.y, "─", border_style, 1);
    if (borders == Borders::All) {
        for (std::uint16_t x = a.x; x < a.right(); ++x) buf.set_string(x, last_y, "─", border_style, 1);
        for (std::uint16_t y = a.y; y < a.bottom(); ++y) {
            buf.set_string(a.x, y, "│", border_style, 1);
            buf.set_string(last_x, y, "│", border_style, 1);
        }
        buf.set_string(a.x, a.y, "┌", border_style, 1);
        buf.set_string(last_x, a.y, "┐", border_style, 1);
        buf.set_string(a.x, last_y, "└", border_style, 1);
        buf.set_string(last_x, last_y, "┘", border_style, 1);
    }
    if (!title.spans.empty()) {
        std::uint16_t left = borders == Borders::All ? 1 : 0;
        if (a.width > 2 * left) {
            // The title keeps its own colours: the border's do not show through it.
            const auto x = static_cast<std::uint16_t>(a.x + left);
            const auto room = static_cast<std::uint16_t>(a.width - 2 * left);
            const auto covered = static_cast<std::uint16_t>(std::min<std::size_t>(title.width(), room));
            for (std::uint16_t i = 0; i < covered; ++i) buf.at(static_cast<std::uint16_t>(x + i), a.y).style = Style{};
            buf.set_line(x, a.y, title, room);
        }
    }
}

void render_lines(Buffer& buf, Rect area, const std::vector<Line>& lines, Alignment alignment) {
    Rect a = area.intersection(buf.area());
    for (std::size_t i = 0; i < lines.size() && i < a.height; ++i) {
        std::uint16_t y = static_cast<std::uint16_t>(a.y + i);
        std::uint16_t x = a.x;
        if (alignment == Alignment::Center) {
            std::size_t w = lines[i].width();
            if (w < a.width) x = static_cast<std::uint16_t>(x + (a.width - w) / 2);
        }
        buf.set_line(x, y, lines[i], static_cast<std::uint16_t>(a.right() - x));
    }
}

void render_list(Buffer& buf, Rect area, const std::vector<Line>& items, ListState& state, Style highlight,
                 const std::string& highlight_symbol) {
    Rect a = area.intersection(buf.area());
    if (items.empty()) {
        state.offset = 0;
        return;
    }
    if (state.selected && *state.selected >= items.size()) state.selected = items.size() - 1;
    if (a.empty()) return;
    std::size_t height = a.height;
    std::size_t offset = std::min(state.offset, items.size() - 1);
    if (state.selected) {
        std::size_t sel = *state.selected;
        if (sel >= offset + height) offset = sel + 1 - height;
        if (sel < offset) offset = sel;
    }
    state.offset = offset;

    std::uint16_t indent = static_cast<std::uint16_t>(std::min<std::size_t>(screen_width(highlight_symbol), a.width));
    for (std::size_t row = 0; row < height && offset + row < items.size(); ++row) {
        std::size_t i = offset + row;
        std::uint16_t y = static_cast<std::uint16_t>(a.y + row);
        bool selected = state.selected && *state.selected == i;
        if (indent > 0 && selected) buf.set_string(a.x, y, highlight_symbol, Style{}, indent);
        buf.set_line(static_cast<std::uint16_t>(a.x + indent), y, items[i], static_cast<std::uint16_t>(a.width - indent));
        if (selected) buf.set_style(Rect{a.x, y, a.width, 1}, highlight);
    }
}

Rect centered(Rect area, std::uint16_t width, std::uint16_t height) {
    std::uint16_t w = std::min(width, area.width);
    std::uint16_t h = std::min(height, area.height);
    return Rect{static_cast<std::uint16_t>(area.x + (area.width - w) / 2),
                static_cast<std::uint16_t>(area.y + (area.height - h) / 2), w, h};
}

void draw_overlay(Buffer& buf, Rect area, const Overlay& overlay) {
    const std::size_t rows = std::min<std::size_t>(overlay.lines.size() + 2, UINT16_MAX);
    const Rect box = centered(area, overlay.width, static_cast<std::uint16_t>(rows));
    if (box.empty()) return;
    buf.clear(box);
    const Block frame{Borders::All, overlay.border, overlay.title};
    frame.render(buf, box);
    render_lines(buf, frame.inner(box), overlay.lines);
}

void join_divider(Buffer& buf, Rect area, std::uint16_t row) {
    if (row <= area.y || row + 1 >= area.y + area.height || area.width < 2) return;
    buf.set_symbol(area.x, row, "├");
    buf.set_symbol(static_cast<std::uint16_t>(area.x + area.width - 1), row, "┤");
}

}  // namespace vesk::ui

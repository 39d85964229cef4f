#include "ui/buffer.hpp"

#include <algorithm>

#include "core/text.hpp"
#include "ui/screen_width.hpp"

namespace vesk::ui {

Style Style::patched(const Style& over) const {
    Style s = *this;
    if (!over.fg.is_default()) s.fg = over.fg;
    if (!over.bg.is_default()) s.bg = over.bg;
    s.bold = s.bold || over.bold;
    s.dim = s.dim || over.dim;
    s.underline = s.underline || over.underline;
    s.reverse = s.reverse || over.reverse;
    return s;
}

Rect Rect::intersection(const Rect& o) const {
    std::uint16_t x1 = std::max(x, o.x), y1 = std::max(y, o.y);
    std::uint16_t x2 = std::min(right(), o.right()), y2 = std::min(bottom(), o.bottom());
    if (x2 <= x1 || y2 <= y1) return Rect{x1, y1, 0, 0};
    return Rect{x1, y1, static_cast<std::uint16_t>(x2 - x1), static_cast<std::uint16_t>(y2 - y1)};
}

std::size_t Line::width() const {
    std::size_t w = 0;
    for (const Span& s : spans) w += screen_width(s.text);
    return w;
}

std::string Line::text() const {
    std::string t;
    for (const Span& s : spans) t += s.text;
    return t;
}

Buffer::Buffer(Rect area) : area_(area), cells_(static_cast<std::size_t>(area.width) * area.height) {}

std::size_t Buffer::index(std::uint16_t x, std::uint16_t y) const {
    return static_cast<std::size_t>(y - area_.y) * area_.width + (x - area_.x);
}

Cell& Buffer::at(std::uint16_t x, std::uint16_t y) { return cells_.at(index(x, y)); }
const Cell& Buffer::at(std::uint16_t x, std::uint16_t y) const { return cells_.at(index(x, y)); }

void Buffer::put(std::uint16_t x, std::uint16_t y, std::string symbol, int width, Style style) {
    // Overwriting half of a wide character leaves its other half as a blank.
    if (at(x, y).symbol.empty() && x > area_.x) at(x - 1, y).symbol = " ";
    std::uint16_t last = static_cast<std::uint16_t>(x + width - 1);
    if (last + 1 < area_.right() && at(last + 1, y).symbol.empty()) at(last + 1, y).symbol = " ";
    Cell& cell = at(x, y);
    cell.symbol = std::move(symbol);
    cell.style = cell.style.patched(style);
    if (width == 2) {
        Cell& right = at(x + 1, y);
        right.symbol.clear();
        right.style = right.style.patched(style);
    }
}

std::uint16_t Buffer::set_string(std::uint16_t x, std::uint16_t y, std::string_view text, Style style,
                                 std::uint16_t max_width) {
    if (!area_.contains(x, y)) return 0;
    std::size_t limit = std::min<std::size_t>(max_width, area_.right() - x);
    std::size_t col = 0;
    bool wrote = false;
    std::uint16_t last_x = x;
    for (char32_t c : decode_utf8(text)) {
        if (c < 0x20 || (c >= 0x7f && c < 0xa0)) continue;
        int w = screen_char_width(c);
        std::string symbol;
        append_utf8(symbol, c);
        if (w == 0) {
            // A combining mark joins the character before it.
            if (wrote) at(last_x, y).symbol += symbol;
            continue;
        }
        if (col + static_cast<std::size_t>(w) > limit) {
            // Half a wide character cannot be shown: its first column becomes a blank, so that no
            // later text slips into the gap.
            if (col < limit) {
                put(static_cast<std::uint16_t>(x + col), y, " ", 1, style);
                ++col;
            }
            break;
        }
        last_x = static_cast<std::uint16_t>(x + col);
        put(last_x, y, std::move(symbol), w, style);
        wrote = true;
        col += static_cast<std::size_t>(w);
    }
    return static_cast<std::uint16_t>(col);
}

std::uint16_t Buffer::set_line(std::uint16_t x, std::uint16_t y, const Line& line, std::uint16_t max_width) {
    std::uint16_t used = 0;
    for (const Span& span : line.spans) {
        if (used >= max_width) break;
        used = static_cast<std::uint16_t>(
            used + set_string(static_cast<std::uint16_t>(x + used), y, span.text, span.style,
                              static_cast<std::uint16_t>(max_width - used)));
    }
    return used;
}

void Buffer::set_symbol(std::uint16_t x, std::uint16_t y, std::string_view symbol) {
    if (!area_.contains(x, y)) return;
    put(x, y, std::string(symbol), 1, Style{});
}

void Buffer::set_style(Rect area, Style style) {
    Rect r = area.intersection(area_);
    for (std::uint16_t y = r.y; y < r.bottom(); ++y)
        for (std::uint16_t x = r.x; x < r.right(); ++x) at(x, y).style = at(x, y).style.patched(style);
}

void Buffer::clear(Rect area) {
    Rect r = area.intersection(area_);
    for (std::uint16_t y = r.y; y < r.bottom(); ++y) {
        for (std::uint16_t x = r.x; x < r.right(); ++x) {
            if (x == r.x && at(x, y).symbol.empty() && x > area_.x) at(x - 1, y).symbol = " ";
            at(x, y) = Cell{};
        }
        if (r.right() < area_.right() && at(r.right(), y).symbol.empty()) at(r.right(), y).symbol = " ";
    }
}

std::string Buffer::row_text(std::uint16_t y) const {
    std::string out;
    if (y < area_.y || y >= area_.bottom()) return out;
    for (std::uint16_t x = area_.x; x < area_.right(); ++x) out += at(x, y).symbol;
    return out;
}

}  // namespace vesk::ui

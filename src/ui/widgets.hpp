// What the screens are made of: splitting an area, framed blocks with titles, lines of styled
// text, a list with a highlighted row that scrolls to keep it visible, a cleared centred box and
// the junctions of a divider row with a frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/buffer.hpp"

namespace vesk::ui {

struct Constraint {
    enum class Kind { Length, Min, Fill };
    Kind kind = Kind::Fill;
    std::uint16_t value = 1;  // rows (Length, Min) or weight (Fill)

    static Constraint length(std::uint16_t n) { return {Kind::Length, n}; }
    static Constraint min(std::uint16_t n) { return {Kind::Min, n}; }
    static Constraint fill(std::uint16_t weight = 1) { return {Kind::Fill, weight}; }
};

// Splits the area from top to bottom (or left to right). Lengths get their size, minimums at least
// theirs; the rest goes to the Fill parts by weight, or to the Min parts when there is none. When
// the area is too small the parts are shortened from the last one up, so none leaves the area.
std::vector<Rect> split_vertical(Rect area, const std::vector<Constraint>& constraints);
std::vector<Rect> split_horizontal(Rect area, const std::vector<Constraint>& constraints);

enum class Borders { All, Top };

// A frame around an area (all four sides, or only a top rule), with an optional title on its
// top line, drawn in the title's own styles.
struct Block {
    Borders borders = Borders::All;
    Style border_style;
    Line title;

    Rect inner(Rect area) const;
    void render(Buffer& buffer, Rect area) const;
};

enum class Alignment { Left, Center };

// Lines from the top of the area, one per row, cut at its right edge; centred lines get
// (width - line width) / 2 blanks before them.
void render_lines(Buffer& buffer, Rect area, const std::vector<Line>& lines, Alignment alignment = Alignment::Left);

// The selected row (none for no highlight) and the first row shown. Drawing moves the first row
// only as far as needed to keep the selection visible, so the view stays put while it is.
struct ListState {
    std::optional<std::size_t> selected;
    std::size_t offset = 0;
};

// Items one per row. The selected row is drawn with `highlight` laid over its whole width;
// with a highlight symbol every row is indented by its width and the selected one shows it.
void render_list(Buffer& buffer, Rect area, const std::vector<Line>& items, ListState& state, Style highlight,
                 const std::string& highlight_symbol = {});

// A box of `width` x `height` (cut to the area) in the middle of the area.
Rect centered(Rect area, std::uint16_t width, std::uint16_t height);

// A framed box over whatever is drawn below it: `width` columns and as many rows as its lines and
// frame take (both cut to the area), in the middle of the area, cleared first. The lines go inside
// as they are, one per row, cut at the frame.
struct Overlay {
    std::uint16_t width = 0;
    Line title;
    Style border;
    std::vector<Line> lines;
};
void draw_overlay(Buffer& buffer, Rect area, const Overlay& overlay);

// Writes "├" and "┤" on the frame cells of `row` so a divider drawn there meets the side borders.
// Nothing happens on the top or bottom border row, outside the frame, or for an area narrower
// than 2 columns.
void join_divider(Buffer& buffer, Rect area, std::uint16_t row);

}  // namespace vesk::ui

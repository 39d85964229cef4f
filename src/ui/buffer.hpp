// The in-memory screen: a grid of cells (symbol and style) that the screens draw into and the
// terminal backend shows. Tests read it back row by row, no terminal needed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::ui {

struct Color {
    enum class Kind : std::uint8_t { Default, Indexed, Rgb };
    Kind kind = Kind::Default;  // Default: the terminal's own colour (and "leave as is" in a patch)
    std::uint8_t index = 0;
    std::uint8_t r = 0, g = 0, b = 0;

    static constexpr Color indexed(std::uint8_t i) { return Color{Kind::Indexed, i, 0, 0, 0}; }
    static constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return Color{Kind::Rgb, 0, r, g, b}; }
    bool is_default() const { return kind == Kind::Default; }
    bool operator==(const Color&) const = default;
};

// The sixteen terminal colours by their usual names.
namespace colors {
inline constexpr Color black = Color::indexed(0);
inline constexpr Color red = Color::indexed(1);
inline constexpr Color green = Color::indexed(2);
inline constexpr Color yellow = Color::indexed(3);
inline constexpr Color blue = Color::indexed(4);
inline constexpr Color magenta = Color::indexed(5);
inline constexpr Color cyan = Color::indexed(6);
inline constexpr Color gray = Color::indexed(7);
inline constexpr Color dark_gray = Color::indexed(8);
inline constexpr Color light_red = Color::indexed(9);
inline constexpr Color light_green = Color::indexed(10);
inline constexpr Color light_yellow = Color::indexed(11);
inline constexpr Color light_blue = Color::indexed(12);
inline constexpr Color light_magenta = Color::indexed(13);
inline constexpr Color light_cyan = Color::indexed(14);
inline constexpr Color white = Color::indexed(15);
}  // namespace colors

struct Style {
    Color fg;
    Color bg;
    bool bold = false;
    bool dim = false;
    bool underline = false;
    bool reverse = false;

    Style with_fg(Color c) const { Style s = *this; s.fg = c; return s; }
    Style with_bg(Color c) const { Style s = *this; s.bg = c; return s; }
    Style with_bold() const { Style s = *this; s.bold = true; return s; }
    Style with_dim() const { Style s = *this; s.dim = true; return s; }
    Style with_underline() const { Style s = *this; s.underline = true; return s; }
    Style with_reverse() const { Style s = *this; s.reverse = true; return s; }
    // This style with `over` laid on top: its colours where it sets them, its attributes added.
    Style patched(const Style& over) const;
    bool operator==(const Style&) const = default;
};

struct Rect {
    std::uint16_t x = 0, y = 0, width = 0, height = 0;

    std::uint16_t right() const { return static_cast<std::uint16_t>(x + width); }    // one past the last column
    std::uint16_t bottom() const { return static_cast<std::uint16_t>(y + height); }  // one past the last row
    bool empty() const { return width == 0 || height == 0; }
    bool contains(std::uint16_t cx, std::uint16_t cy) const { return cx >= x && cx < right() && cy >= y && cy < bottom(); }
    Rect intersection(const Rect& other) const;
    bool operator==(const Rect&) const = default;
};

// A run of text in one style, and a line made of such runs.
struct Span {
    std::string text;
    Style style;
};

struct Line {
    std::vector<Span> spans;

    Line() = default;
    Line(std::string text, Style style = {}) { spans.push_back({std::move(text), style}); }
    Line(const char* text) : Line(std::string(text)) {}
    Line(std::vector<Span> s) : spans(std::move(s)) {}
    Line& add(std::string text, Style style = {}) { spans.push_back({std::move(text), style}); return *this; }
    std::size_t width() const;
    std::string text() const;
};

struct Cell {
    // One character, with any combining marks after it; empty for the cell covered by the right
    // half of a wide character to its left.
    std::string symbol = " ";
    Style style;
    bool operator==(const Cell&) const = default;
};

class Buffer {
public:
    explicit Buffer(Rect area);

    const Rect& area() const { return area_; }
    Cell& at(std::uint16_t x, std::uint16_t y);
    const Cell& at(std::uint16_t x, std::uint16_t y) const;

    // Writes text from (x, y) in `style` (laid over the cells' styles), at most `max_width`
    // columns and never past the right edge; control characters are left out. A wide character
    // with one column left for it is written as a blank there. Returns the columns written.
    std::uint16_t set_string(std::uint16_t x, std::uint16_t y, std::string_view text, Style style,
                             std::uint16_t max_width = UINT16_MAX);
    std::uint16_t set_line(std::uint16_t x, std::uint16_t y, const Line& line, std::uint16_t max_width = UINT16_MAX);
    // Replaces one cell's symbol with a one-column character, keeping its style.
    void set_symbol(std::uint16_t x, std::uint16_t y, std::string_view symbol);
    // Lays `style` over every cell of the area.
    void set_style(Rect area, Style style);
    // Blank cells in the default style over the area (the whole buffer without an argument).
    void clear(Rect area);
    void clear() { clear(area_); }

    // The symbols of one row, wide characters once each: what a terminal would show there.
    std::string row_text(std::uint16_t y) const;

private:
    std::size_t index(std::uint16_t x, std::uint16_t y) const;
    void put(std::uint16_t x, std::uint16_t y, std::string symbol, int width, Style style);
    Rect area_;
    std::vector<Cell> cells_;
};

}  // namespace vesk::ui

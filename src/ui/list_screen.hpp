// The one list screen the full-screen lists (key bindings, plugins) are built on: a framed search
// line over a list of rows and a footer of key hints. A screen derives its state from
// ListScreen<Row>, supplies its rows, its own keys and effects and the text of its rows; the
// moves, the query and its fuzzy search, the drawing around the rows and the loop are here.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/buffer.hpp"
#include "ui/keys.hpp"

namespace vesk::ui {

class Screen;

namespace palette {
constexpr Color kAccent = Color::rgb(130, 170, 255);
constexpr Color kOrange = Color::rgb(255, 150, 108);
constexpr Color kWarning = Color::rgb(255, 117, 127);
constexpr Color kSelectedBg = Color::rgb(47, 51, 77);
constexpr Color kDim = colors::dark_gray;
}  // namespace palette

// The effects every screen has: go on, or leave.
struct Stay {
    bool operator==(const Stay&) const = default;
};
struct Quit {
    bool operator==(const Quit&) const = default;
};

// The text searched for one entry: the description first, then the other fields.
struct Haystack {
    std::string text;
    // Characters of the description: matches at or beyond it lie in the other fields and are not
    // highlighted.
    std::size_t description_chars = 0;
};

struct SearchResult {
    std::vector<std::size_t> kept;                     // entry positions, entry order
    std::vector<std::vector<std::size_t>> highlights;  // one per haystack: its matched characters
};
SearchResult search(const std::vector<Haystack>& haystacks, std::string_view query);

// What a list screen keeps whatever its rows are.
struct ListScreenBase {
    std::string query;
    std::vector<Haystack> haystacks;                   // one per entry
    std::vector<std::vector<std::size_t>> highlights;  // per entry: matched characters of its haystack
    std::size_t selected = 0;                          // row position
    std::size_t offset = 0;                            // first row shown, kept by drawing
    std::size_t page_size = 1;                         // rows on the screen, set by drawing
    std::optional<std::string> status;                 // shown in the footer instead of the hints
};

// A row type with `selectable()` keeps the cursor off some rows (blank separators, group
// headers); rows without it, such as plain entry positions, all take it.
template <class Row>
bool selectable(const Row& row) {
    if constexpr (requires { row.selectable(); }) return row.selectable();
    else return true;
}

// A screen's state derives from this, its rows being whatever it lists: entry positions, or
// entries among group headers and blank rows.
template <class Row>
struct ListScreen : ListScreenBase {
    std::vector<Row> rows;

    // The row under the cursor, when the cursor rests on one.
    const Row* selected_row() const {
        return selected < rows.size() && selectable(rows[selected]) ? &rows[selected] : nullptr;
    }
};

// Up/Ctrl-P and Down/Ctrl-N move to the next selectable row, PageUp/PageDown over up to a page of
// them, Home/End to the first/last; the cursor stops at the ends. False for any other key.
bool move_selection(ListScreenBase& list, const Key& key, std::size_t count,
                    const std::function<bool(std::size_t)>& selectable_at);

// What a shared key asks of the screen.
enum class ListKey { Stay, Filter, Leave };

// The query keys: Ctrl-U clears, Backspace drops the last character, a plain character is typed,
// Esc clears or (on an empty query) leaves, as Ctrl-C does. Filter: the query changed.
ListKey edit_query(std::string& query, const Key& key);

// The keys every list screen shares: the moves, then the query keys. A screen handles its own
// keys first and hands the others here.
template <class Row>
ListKey handle_list_key(ListScreen<Row>& list, const Key& key) {
    if (move_selection(list, key, list.rows.size(), [&](std::size_t i) { return selectable(list.rows[i]); }))
        return ListKey::Stay;
    return edit_query(list.query, key);
}

// New rows: the row under the cursor stays under it when it is still there, else the first
// selectable row (row 0 when none is) takes the cursor; the view goes back to the top.
template <class Row>
void replace_rows(ListScreen<Row>& list, std::vector<Row> rows) {
    std::optional<Row> remembered;
    if (const Row* row = list.selected_row()) remembered = *row;
    list.rows = std::move(rows);
    list.offset = 0;
    std::optional<std::size_t> first;
    std::optional<std::size_t> same;
    for (std::size_t i = 0; i < list.rows.size() && !same; ++i) {
        if (!selectable(list.rows[i])) continue;
        if (!first) first = i;
        if (remembered && list.rows[i] == *remembered) same = i;
    }
    list.selected = same.value_or(first.value_or(0));
}

// Searches with the query; `rows_for(kept)` makes the rows of the entries kept (entry order).
template <class Row, class RowsFor>
void filter_rows(ListScreen<Row>& list, RowsFor rows_for) {
    SearchResult found = search(list.haystacks, list.query);
    list.highlights = std::move(found.highlights);
    replace_rows(list, rows_for(found.kept));
}

// What a screen shows around the shared frame.
struct ListLook {
    std::string_view title;                                     // on the frame
    std::function<std::vector<Line>(std::size_t width)> lines;  // one per row, for a list this wide
    Span note;                                                  // at the right end of the search line
    // The key hints (`key_hints`), or what takes their place, for a footer this wide.
    std::function<Line(std::size_t width)> footer;
    // A screen without a query shows this line (for a line this wide) where the search line would be.
    std::function<Line(std::size_t width)> header = {};
    Style border = {};       // the outer frame
    Style title_style = {};  // the title on it
};

namespace detail {
void draw_list_screen(ListScreenBase& list, Buffer& buffer, const ListLook& look, bool cursor_on_row);
}

// The frame titled `look.title`; the search line (" 검색  ", the query, the cursor mark, the note),
// or the screen's header line instead;
// the rows, the selected one on the selection colour when the cursor rests on it, scrolled to keep
// it in view; two rows of footer under a rule. Records the page size and the scroll offset.
// On a short screen the list gives up rows before the footer does: it keeps one row, the footer
// shows as soon as the search line, one row and the footer fit.
template <class Row>
void draw_list_screen(ListScreen<Row>& list, Buffer& buffer, const ListLook& look) {
    detail::draw_list_screen(list, buffer, look, list.selected_row() != nullptr);
}

// The pieces the screens make their rows and footers of.
// Blank-padded cell of a column: cut with "…" when too long.
std::string cell(std::string_view text, std::size_t width);
// The selection mark "▸" on the selected row, blanks on the others: four columns.
void add_marker(Line& line, bool selected);
// The entry's description cut to its column, the characters the search matched picked out.
void add_description(Line& line, const std::string& description, const ListScreenBase& list, std::size_t entry,
                     std::size_t width);
// How the hints are laid out: blanks before the first, the key's style (the label is dim) and the
// blanks between two hints.
struct HintLook {
    std::size_t lead = 1;
    Style key = Style{}.with_fg(palette::kAccent).with_bold();
    std::size_t gap = 3;
};
// Each key followed by its label, as many as fit in `width` columns in order; the last one, the
// key that closes the screen, is kept whatever is left out before it. The lead goes where it fits.
Line key_hints(std::initializer_list<std::pair<const char*, const char*>> hints, std::size_t width,
               const HintLook& look = {});

// The widths of the description column and another text column (repository, key) that share
// `room` columns on a narrow list: the description gets what the other column's `other` columns
// leave, never less than one; where even that does not fit, the other column gives up columns
// instead of pushing the columns after it off the row.
struct SharedColumns {
    std::size_t description = 1;
    std::size_t other = 0;
};
SharedColumns share_columns(std::size_t room, std::size_t other);

// How a screen takes part in the loop.
struct ListLoop {
    std::function<void(Buffer&)> draw;
    // Handles the key and carries out its effect; false leaves the screen.
    std::function<bool(const Key&)> key;
    // While `busy` holds, the loop wakes at least every `poll_every` without a key; `poll` runs
    // after every wake.
    std::function<bool()> busy = {};
    std::function<void()> poll = {};
    std::chrono::milliseconds poll_every{200};
};

// Draws, waits for a key, hands it over, polls; until `key` says to leave.
void run_list_loop(Screen& screen, const ListLoop& loop);

}  // namespace vesk::ui

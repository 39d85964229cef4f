// The pieces the searchable list screens (key bindings, plugins) share: fuzzy search over one text
// per entry, the keys that edit the query, and the frame, search line, list rows and key hints
// drawn in one look.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/buffer.hpp"
#include "ui/keys.hpp"

namespace vesk::ui {

namespace palette {
constexpr Color kAccent = Color::rgb(130, 170, 255);
constexpr Color kOrange = Color::rgb(255, 150, 108);
constexpr Color kWarning = Color::rgb(255, 117, 127);
constexpr Color kSelectedBg = Color::rgb(47, 51, 77);
constexpr Color kDim = colors::dark_gray;
}  // namespace palette

// The text searched for one entry: the description first, then the other fields.
struct Haystack {
    std::string text;
    // Characters of the description: matches at or beyond it lie in the other fields and are not
    // highlighted.
    std::size_t description_chars = 0;
};

struct SearchResult {
    std::vector<std::size_t> kept;                     // entry positions, entry order
    std::vector<std::vector<std::size_t>> highlights;  // `entries` long: matched characters per entry
};
SearchResult search(const std::vector<Haystack>& haystacks, std::string_view query, std::size_t entries);

// What a key did to the query.
enum class QueryEdit { None, Changed, Quit };
// The query keys: Ctrl-U clears, Backspace drops the last character, a plain character is typed,
// Esc clears or (on an empty query) leaves, as Ctrl-C does. Changed means "filter again".
QueryEdit edit_query(std::string& query, const Key& key);

// The list screen's frame: the title on the border, then the search line, the list and a
// two-row footer, the last two under rules that meet the frame.
struct ScreenAreas {
    Rect search;
    Rect list;
    Rect footer;
};
ScreenAreas draw_frame(Buffer& buffer, std::string_view title);

// " 검색  ", the query and the cursor mark.
void draw_search_line(Buffer& buffer, Rect area, std::string_view query);

// The rows with the selected one (when there is one) on the selection colour; keeps the scroll
// offset and records the page size.
void draw_rows(Buffer& buffer, Rect area, const std::vector<Line>& rows, std::optional<std::size_t> selected,
               std::size_t& offset, std::size_t& page_size);

// Blank-padded cell of a column: cut with "…" when too long.
std::string cell(std::string_view text, std::size_t width);
// The selection mark "▸" on the selected row, blanks on the others: four columns.
void add_marker(Line& line, bool selected);
// The entry's description cut to its column, the characters the search matched picked out.
void add_description(Line& line, const std::string& description, const std::vector<Haystack>& haystacks,
                     const std::vector<std::vector<std::size_t>>& highlights, std::size_t entry, std::size_t width);
// Each key in the accent colour followed by its label.
Line key_hints(std::initializer_list<std::pair<const char*, const char*>> hints);

}  // namespace vesk::ui

#include "ui/search_screen.hpp"

#include <algorithm>

#include "ui/fuzzy.hpp"
#include "core/text.hpp"
#include "ui/screen_width.hpp"
#include "ui/widgets.hpp"

namespace vesk::ui {

using namespace palette;

SearchResult search(const std::vector<Haystack>& haystacks, std::string_view query, std::size_t entries) {
    std::vector<std::string> texts;
    texts.reserve(haystacks.size());
    for (const Haystack& h : haystacks) texts.push_back(h.text);
    SearchResult result;
    result.highlights.assign(entries, {});
    for (FuzzyHit& hit : fuzzy_filter(texts, query)) {
        result.kept.push_back(hit.index);
        if (hit.index < result.highlights.size()) result.highlights[hit.index] = std::move(hit.positions);
    }
    return result;
}

QueryEdit edit_query(std::string& query, const Key& key) {
    if (key.is_ctrl(U'u')) {
        query.clear();
    } else if (key.is_ctrl(U'c')) {
        return QueryEdit::Quit;
    } else if (key.code == KeyCode::Esc) {
        if (query.empty()) return QueryEdit::Quit;
        query.clear();
    } else if (key.code == KeyCode::Backspace) {
        std::u32string chars = decode_utf8(query);
        if (!chars.empty()) chars.pop_back();
        query.clear();
        for (char32_t c : chars) append_utf8(query, c);
    } else if (key.is_plain_char()) {
        append_utf8(query, key.ch);
    } else {
        return QueryEdit::None;
    }
    return QueryEdit::Changed;
}

ScreenAreas draw_frame(Buffer& buffer, std::string_view title) {
    const Rect outer = buffer.area();
    Block frame{Borders::All, Style{}, Line(std::string(title))};
    frame.render(buffer, outer);
    const std::vector<Rect> parts =
        split_vertical(frame.inner(outer), {Constraint::length(1), Constraint::min(3), Constraint::length(2)});
    const Block rule{Borders::Top, Style{}.with_fg(kDim), Line()};
    for (const Rect& part : {parts[1], parts[2]}) {
        if (part.empty()) continue;
        rule.render(buffer, part);
        join_divider(buffer, outer, part.y);
    }
    return {parts[0], rule.inner(parts[1]), rule.inner(parts[2])};
}

void draw_search_line(Buffer& buffer, Rect area, std::string_view query) {
    if (area.empty()) return;
    Line line;
    line.add(" 검색  ", Style{}.with_fg(kDim));
    line.add(std::string(query));
    line.add("▏", Style{}.with_fg(kDim));
    buffer.set_line(area.x, area.y, line, area.width);
}

void draw_rows(Buffer& buffer, Rect area, const std::vector<Line>& rows, std::optional<std::size_t> selected,
               std::size_t& offset, std::size_t& page_size) {
    ListState state;
    state.selected = selected;
    state.offset = offset;
    render_list(buffer, area, rows, state, Style{}.with_bg(kSelectedBg));
    offset = state.offset;
    page_size = std::max<std::size_t>(area.height, 1);
}

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
void add_description(Line& line, const std::string& description, const std::vector<Haystack>& haystacks,
                     const std::vector<std::vector<std::size_t>>& highlights, std::size_t entry, std::size_t width) {
    static const std::vector<std::size_t> none;
    const std::vector<std::size_t>& positions = entry < highlights.size() ? highlights[entry] : none;
    const std::size_t description_chars = entry < haystacks.size() ? haystacks[entry].description_chars : 0;
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

Line key_hints(std::initializer_list<std::pair<const char*, const char*>> hints) {
    Line line;
    line.add(" ");
    for (const auto& [key, label] : hints) {
        line.add(key, Style{}.with_fg(kAccent).with_bold());
        line.add(std::string(" ") + label + "   ", Style{}.with_fg(kDim));
    }
    return line;
}

}  // namespace vesk::ui

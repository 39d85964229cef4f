// The list screen's search and shared keys: pure functions over its state.
#include "ui/list_screen.hpp"

#include <algorithm>

#include "ui/fuzzy.hpp"
#include "core/text.hpp"

namespace vesk::ui {

SearchResult search(const std::vector<Haystack>& haystacks, std::string_view query) {
    std::vector<std::string> texts;
    texts.reserve(haystacks.size());
    for (const Haystack& h : haystacks) texts.push_back(h.text);
    SearchResult result;
    result.highlights.assign(haystacks.size(), {});
    for (FuzzyHit& hit : fuzzy_filter(texts, query)) {
        result.kept.push_back(hit.index);
        result.highlights[hit.index] = std::move(hit.positions);
    }
    return result;
}

ListKey edit_query(std::string& query, const Key& key) {
    if (key.is_ctrl(U'u')) {
        query.clear();
    } else if (key.is_ctrl(U'c')) {
        return ListKey::Leave;
    } else if (key.code == KeyCode::Esc) {
        if (query.empty()) return ListKey::Leave;
        query.clear();
    } else if (key.code == KeyCode::Backspace) {
        std::u32string chars = decode_utf8(query);
        if (!chars.empty()) chars.pop_back();
        query.clear();
        for (char32_t c : chars) append_utf8(query, c);
    } else if (key.is_plain_char()) {
        append_utf8(query, key.ch);
    } else {
        return ListKey::Stay;
    }
    return ListKey::Filter;
}

bool move_selection(ListScreenBase& list, const Key& key, std::size_t count,
                    const std::function<bool(std::size_t)>& selectable_at) {
    // The cursor may stand past the rows (they were replaced under it): moving up starts from the end.
    const auto last_before = [&](std::size_t from) -> std::optional<std::size_t> {
        for (std::size_t i = std::min(from, count); i > 0; --i)
            if (selectable_at(i - 1)) return i - 1;
        return std::nullopt;
    };
    const auto first_from = [&](std::size_t from) -> std::optional<std::size_t> {
        for (std::size_t i = from; i < count; ++i)
            if (selectable_at(i)) return i;
        return std::nullopt;
    };
    const auto step = [&](bool down, std::size_t times) {
        for (std::size_t n = 0; n < times; ++n) {
            const std::optional<std::size_t> to = down ? first_from(list.selected + 1) : last_before(list.selected);
            if (!to) break;
            list.selected = *to;
        }
    };
    if (key.code == KeyCode::Up || key.is_ctrl(U'p')) {
        step(false, 1);
    } else if (key.code == KeyCode::Down || key.is_ctrl(U'n')) {
        step(true, 1);
    } else if (key.code == KeyCode::PageUp || key.code == KeyCode::PageDown) {
        step(key.code == KeyCode::PageDown, std::max<std::size_t>(list.page_size, 1));
    } else if (key.code == KeyCode::Home) {
        if (const std::optional<std::size_t> first = first_from(0)) list.selected = *first;
    } else if (key.code == KeyCode::End) {
        if (const std::optional<std::size_t> last = last_before(count)) list.selected = *last;
    } else {
        return false;
    }
    return true;
}

}  // namespace vesk::ui

// The key-binding screen's state and key handling: pure functions over App, no terminal or tmux.
#include <algorithm>

#include "core/text.hpp"
#include "keybind/app.hpp"
#include "keybind/keys.hpp"

namespace vesk::keybind::app {

namespace {

std::optional<std::size_t> first_entry_row(const std::vector<Row>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].is_entry()) return i;
    return std::nullopt;
}

std::optional<std::size_t> last_entry_row(const std::vector<Row>& rows) {
    for (std::size_t i = rows.size(); i > 0; --i)
        if (rows[i - 1].is_entry()) return i - 1;
    return std::nullopt;
}

std::optional<std::size_t> previous_entry_row(const std::vector<Row>& rows, std::size_t from) {
    for (std::size_t i = std::min(from, rows.size()); i > 0; --i)
        if (rows[i - 1].is_entry()) return i - 1;
    return std::nullopt;
}

std::optional<std::size_t> next_entry_row(const std::vector<Row>& rows, std::size_t from) {
    for (std::size_t i = from + 1; i < rows.size(); ++i)
        if (rows[i].is_entry()) return i;
    return std::nullopt;
}

// Moves the selection by up to `steps` entry rows; it stops at the first or last entry.
void move_selection(App& app, bool down, std::size_t steps) {
    for (std::size_t n = 0; n < steps; ++n) {
        auto next = down ? next_entry_row(app.rows, app.selected) : previous_entry_row(app.rows, app.selected);
        if (!next) break;
        app.selected = *next;
    }
}

// A key pressed while waiting for the new key: a proposal when tmux has a name for it.
void propose(App& app, std::size_t entry, const ui::Key& key) {
    std::optional<std::string> name = keys::to_tmux_key(key);
    if (!name) return;
    std::optional<model::Conflict> conflict;
    if (entry < app.session.entries.size())
        conflict = model::conflict_for(app.session, entry, app.session.entries[entry].table, *name);
    app.mode = Confirm{entry, *name, conflict};
}

std::optional<std::string> current_key(const App& app, std::size_t entry) {
    if (entry >= app.session.entries.size()) return std::nullopt;
    return app.session.entries[entry].current_key;
}

Step handle_normal(App app, const ui::Key& key) {
    using ui::KeyCode;
    const std::optional<std::size_t> entry = selected_entry(app);
    if (key.code == KeyCode::Up || key.is_ctrl(U'p')) {
        move_selection(app, false, 1);
    } else if (key.code == KeyCode::Down || key.is_ctrl(U'n')) {
        move_selection(app, true, 1);
    } else if (key.code == KeyCode::Home) {
        if (auto row = first_entry_row(app.rows)) app.selected = *row;
    } else if (key.code == KeyCode::End) {
        if (auto row = last_entry_row(app.rows)) app.selected = *row;
    } else if (key.code == KeyCode::PageUp || key.code == KeyCode::PageDown) {
        move_selection(app, key.code == KeyCode::PageDown, std::max<std::size_t>(app.page_size, 1));
    } else if (key.code == KeyCode::Enter) {
        if (entry) app.mode = Capture{*entry};
    } else if (key.code == KeyCode::Delete) {
        if (!entry) return {std::move(app), Stay{}};
        std::optional<std::string> previous = current_key(app, *entry);
        app.session = model::with_key_at(app.session, *entry, std::nullopt);
        return {std::move(app), Commit{*entry, previous}};
    } else if (key.is_ctrl(U'r')) {
        if (!entry) return {std::move(app), Stay{}};
        std::optional<std::string> previous = current_key(app, *entry);
        app.session = model::restore_default(app.session, *entry);
        return {std::move(app), Commit{*entry, previous}};
    } else if (const ui::QueryEdit edit = ui::edit_query(app.query, key); edit == ui::QueryEdit::Quit) {
        return {std::move(app), Quit{}};
    } else if (edit == ui::QueryEdit::Changed) {
        filter(app);
    }
    return {std::move(app), Stay{}};
}

Step handle_confirm(App app, const Confirm& confirm, const ui::Key& key) {
    using ui::KeyCode;
    if (key.code == KeyCode::Enter) {
        std::optional<std::string> previous = current_key(app, confirm.entry);
        if (confirm.conflict) {
            app.session = model::assign_overwriting(app.session, confirm.entry, confirm.key);
        } else {
            // A conflict that appeared since the proposal leaves the session as it was.
            model::AssignOutcome outcome = model::assign(app.session, confirm.entry, confirm.key);
            if (auto* done = std::get_if<model::Assigned>(&outcome)) app.session = std::move(done->session);
        }
        app.mode = Normal{};
        return {std::move(app), Commit{confirm.entry, previous}};
    }
    if (key.code == KeyCode::Esc) {
        app.mode = Normal{};
        return {std::move(app), Stay{}};
    }
    propose(app, confirm.entry, key);
    return {std::move(app), Stay{}};
}

}  // namespace

std::vector<Row> build_rows_filtered(const model::EditSession& session, const std::vector<std::size_t>& kept) {
    std::vector<bool> keep(session.entries.size(), false);
    for (std::size_t i : kept)
        if (i < keep.size()) keep[i] = true;
    std::vector<Row> rows{Row{}};
    bool first = true;
    for (const model::Group& group : model::groups(session)) {
        std::vector<std::size_t> shown;
        for (std::size_t i : group.indices)
            if (keep[i]) shown.push_back(i);
        if (shown.empty()) continue;
        if (!first) rows.push_back(Row{});
        first = false;
        rows.push_back(Row{Row::Kind::Header, group.name, 0});
        for (std::size_t i : shown) rows.push_back(Row{Row::Kind::Entry, {}, i});
    }
    return rows;
}

std::vector<Haystack> build_haystacks(const model::EditSession& session) {
    std::vector<Haystack> out;
    out.reserve(session.entries.size());
    for (const model::Entry& entry : session.entries) {
        const model::ActionInfo& info = entry.info;
        out.push_back({info.description + " " + info.label_en + " " + info.group, decode_utf8(info.description).size()});
    }
    return out;
}

App make_app(model::EditSession session, std::filesystem::path config_path) {
    App app;
    app.session = std::move(session);
    app.config_path = std::move(config_path);
    app.haystacks = build_haystacks(app.session);
    app.highlights.assign(app.session.entries.size(), {});
    std::vector<std::size_t> all(app.session.entries.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    app.rows = build_rows_filtered(app.session, all);
    app.shown = all.size();
    app.selected = first_entry_row(app.rows).value_or(0);
    return app;
}

std::optional<std::size_t> selected_entry(const App& app) {
    if (app.selected >= app.rows.size() || !app.rows[app.selected].is_entry()) return std::nullopt;
    return app.rows[app.selected].entry;
}

void filter(App& app) {
    const std::optional<std::size_t> remembered = selected_entry(app);
    ui::SearchResult found = ui::search(app.haystacks, app.query, app.session.entries.size());
    app.highlights = std::move(found.highlights);
    app.rows = build_rows_filtered(app.session, found.kept);
    app.shown = found.kept.size();
    app.offset = 0;
    app.selected = first_entry_row(app.rows).value_or(0);
    if (remembered) {
        for (std::size_t i = 0; i < app.rows.size(); ++i)
            if (app.rows[i].is_entry() && app.rows[i].entry == *remembered) app.selected = i;
    }
}

Step handle(App app, const ui::Key& key) {
    if (std::holds_alternative<Capture>(app.mode)) {
        std::size_t entry = std::get<Capture>(app.mode).entry;
        propose(app, entry, key);
        return {std::move(app), Stay{}};
    }
    if (std::holds_alternative<Confirm>(app.mode)) {
        Confirm confirm = std::get<Confirm>(app.mode);
        return handle_confirm(std::move(app), confirm, key);
    }
    return handle_normal(std::move(app), key);
}

}  // namespace vesk::keybind::app

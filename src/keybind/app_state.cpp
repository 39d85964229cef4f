// The key-binding screen's state and key handling: pure functions over App, no terminal or tmux.
#include "core/text.hpp"
#include "keybind/app.hpp"
#include "keybind/keys.hpp"

namespace vesk::keybind::app {

namespace {

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
    if (key.code == KeyCode::Enter) {
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
    } else if (const ui::ListKey shared = ui::handle_list_key(app, key); shared == ui::ListKey::Leave) {
        return {std::move(app), Quit{}};
    } else if (shared == ui::ListKey::Filter) {
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
    filter(app);
    return app;
}

std::optional<std::size_t> selected_entry(const App& app) {
    if (const Row* row = app.selected_row()) return row->entry;
    return std::nullopt;
}

void filter(App& app) {
    ui::filter_rows(app, [&](const std::vector<std::size_t>& kept) {
        app.shown = kept.size();
        return build_rows_filtered(app.session, kept);
    });
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

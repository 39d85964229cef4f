// The plugin screen's state and key handling: pure functions over App, no files, jobs or terminal.
#include <algorithm>

#include "core/text.hpp"
#include "plugin/app.hpp"

namespace vesk::plugin::app {

namespace {

// The removal waits for one key: y or Y removes, anything else only cancels.
Step answer_removal(App app, std::size_t entry, const ui::Key& key) {
    app.pending_removal.reset();
    if (key.code == ui::KeyCode::Char && !key.ctrl && !key.alt && (key.ch == U'y' || key.ch == U'Y'))
        return {std::move(app), Remove{entry}};
    return {std::move(app), Stay{}};
}

}  // namespace

std::vector<Haystack> build_haystacks(const model::Catalog& catalog) {
    std::vector<Haystack> out;
    out.reserve(catalog.size());
    for (const model::Entry& e : catalog.entries()) {
        const source::Declaration& d = e.declaration;
        out.push_back({d.description + " " + d.repo, decode_utf8(d.description).size()});
    }
    return out;
}

App make_app(model::Catalog catalog, std::filesystem::path config_path) {
    App app;
    app.catalog = std::move(catalog);
    app.config_path = std::move(config_path);
    app.haystacks = build_haystacks(app.catalog);
    filter(app);
    return app;
}

std::optional<std::size_t> selected_entry(const App& app) {
    if (const std::size_t* entry = app.selected_row()) return *entry;
    return std::nullopt;
}

bool has_jobs(const App& app) {
    return std::any_of(app.catalog.entries().begin(), app.catalog.entries().end(),
                       [](const model::Entry& e) { return e.job != model::JobMark::None; });
}

void filter(App& app) {
    ui::filter_rows(app, [](std::vector<std::size_t> kept) { return kept; });
}

Step handle(App app, const ui::Key& key) {
    using ui::KeyCode;
    if (app.pending_removal) {
        const std::size_t entry = *app.pending_removal;
        return answer_removal(std::move(app), entry, key);
    }

    const std::optional<std::size_t> entry = selected_entry(app);
    const model::Entry* e = entry ? &app.catalog.entries()[*entry] : nullptr;
    if (key.is_char(U' ') && !key.ctrl && !key.alt) {
        if (!entry) return {std::move(app), Stay{}};
        app.catalog = app.catalog.toggle(*entry);
        return {std::move(app), Save{*entry}};
    } else if (key.code == KeyCode::Enter) {
        if (!e || e->job != model::JobMark::None) return {std::move(app), Stay{}};
        if (e->installed) {
            app.status = "이미 받아 두었습니다";
            return {std::move(app), Stay{}};
        }
        return {std::move(app), Fetch{*entry}};
    } else if (key.is_ctrl(U'r')) {
        if (!e || e->job != model::JobMark::None) return {std::move(app), Stay{}};
        if (!e->installed) {
            app.status = "아직 받지 않았습니다";
            return {std::move(app), Stay{}};
        }
        return {std::move(app), Update{*entry}};
    } else if (key.is_ctrl(U'd')) {
        if (!e) return {std::move(app), Stay{}};
        if (!e->installed) app.status = "받아 둔 것이 없습니다";
        // Removing under a running script would leave half a plugin behind.
        else if (e->job == model::JobMark::None) app.pending_removal = *entry;
    } else if (key.is_ctrl(U'l')) {
        return {std::move(app), Reread{}};
    } else if (const ui::ListKey shared = ui::handle_list_key(app, key); shared == ui::ListKey::Leave) {
        return {std::move(app), Quit{}};
    } else if (shared == ui::ListKey::Filter) {
        filter(app);
    }
    return {std::move(app), Stay{}};
}

}  // namespace vesk::plugin::app

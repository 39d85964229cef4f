// The doctor screen's state and key handling: pure functions over App, no checks, fixes or terminal.
#include <algorithm>

#include "doctor/app.hpp"
#include "ui/screen_width.hpp"

namespace vesk::doctor::app {

namespace {

int problem_rank(Severity severity) {
    switch (severity) {
    case Severity::Error: return 0;
    case Severity::Warn: return 1;
    default: return 2;
    }
}


Step list_key(App app, const ui::Key& key) {
    using ui::KeyCode;
    // j and k move as Down and Up do.
    ui::Key move = key;
    if (key.is_plain_char() && key.ch == U'j') move = ui::Key::of(KeyCode::Down);
    if (key.is_plain_char() && key.ch == U'k') move = ui::Key::of(KeyCode::Up);
    if (ui::move_selection(app, move, app.rows.size(), [&](std::size_t i) { return app.rows[i].selectable(); }))
        return {std::move(app), Stay{}};
    if (key.code == KeyCode::Enter) {
        if (const Row* row = app.selected_row()) {
            if (row->kind == Row::Kind::Check) {
                app.mode = Detail{std::string(app.report.checks[row->index].id)};
            } else if (row->kind == Row::Kind::Group) {
                app.expanded.insert(std::string(row->group));
                relayout(app);
            }
        }
    } else if (key.is_plain_char() && key.ch == U'a') {
        app.show_all = !app.show_all;
        if (!app.show_all) app.expanded.clear();
        relayout(app);
    } else if (key.is_ctrl(U'r')) {
        return {std::move(app), Reread{}};
    } else if (key.is_ctrl(U'c') || key.code == KeyCode::Esc || (key.is_plain_char() && key.ch == U'q')) {
        return {std::move(app), Quit{}};
    }
    return {std::move(app), Stay{}};
}

}  // namespace

bool is_problem(Severity severity) { return severity == Severity::Warn || severity == Severity::Error; }

std::optional<Action> runnable_fix(const App& app, std::string_view id) {
    const Check* check = app.report.find(id);
    if (!check || !is_problem(check->severity) || !check->remedy) return std::nullopt;
    if (std::holds_alternative<NoAction>(check->remedy->action.what)) return std::nullopt;
    return check->remedy->action;
}

std::vector<Row> build_rows(const Report& report, const std::set<std::string, std::less<>>& expanded, bool show_all) {
    std::vector<std::size_t> problems;
    for (std::size_t i = 0; i < report.checks.size(); ++i)
        if (report.checks[i].severity != Severity::Ok) problems.push_back(i);
    std::stable_sort(problems.begin(), problems.end(), [&](std::size_t a, std::size_t b) {
        return problem_rank(report.checks[a].severity) < problem_rank(report.checks[b].severity);
    });
    std::vector<Row> rows;
    for (std::size_t i : problems) rows.push_back(Row::check(i));

    std::vector<Row> passing;
    for (std::string_view group : report.groups()) {
        std::vector<std::size_t> ok;
        for (std::size_t i = 0; i < report.checks.size(); ++i)
            if (report.checks[i].group == group && report.checks[i].severity == Severity::Ok) ok.push_back(i);
        if (ok.empty()) continue;
        if (show_all || expanded.contains(group)) {
            for (std::size_t i : ok) passing.push_back(Row::check(i));
        } else {
            passing.push_back(Row::folded(group, ok.size()));
        }
    }
    if (!rows.empty() && !passing.empty()) rows.push_back(Row::blank());
    rows.insert(rows.end(), passing.begin(), passing.end());
    return rows;
}

App make_app(Report report) {
    App app;
    set_report(app, std::move(report));
    return app;
}

void relayout(App& app) { ui::replace_rows(app, build_rows(app.report, app.expanded, app.show_all)); }

void set_report(App& app, Report report) {
    app.report = std::move(report);
    const ColumnWidths widths = column_widths(app.report);
    app.id_width = widths.id;
    app.summary_width = widths.summary;
    relayout(app);
}

bool running(const App& app) { return std::holds_alternative<Running>(app.mode); }

Step handle(App app, const ui::Key& key) {
    using ui::KeyCode;
    if (key.is_ctrl(U'c') && !std::holds_alternative<List>(app.mode)) return {std::move(app), Quit{}};
    if (std::holds_alternative<List>(app.mode)) return list_key(std::move(app), key);
    // A running fix takes no key but Ctrl-C.
    if (running(app)) return {std::move(app), Stay{}};
    const bool back = key.code == KeyCode::Esc || (key.is_plain_char() && key.ch == U'q');
    if (back || (key.code == KeyCode::Enter && std::holds_alternative<Done>(app.mode))) {
        app.mode = List{};
    } else if (key.code == KeyCode::Enter) {
        const std::string id = std::get<Detail>(app.mode).id;
        if (std::optional<Action> action = runnable_fix(app, id)) return {std::move(app), Fix{id, std::move(*action)}};
    }
    return {std::move(app), Stay{}};
}

}  // namespace vesk::doctor::app

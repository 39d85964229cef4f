// A change made on the key-binding screen goes to keybindings.conf and into the running tmux
// before the next key is read.
#include <algorithm>

#include "core/error.hpp"
#include "keybind/app.hpp"
#include "keybind/live.hpp"

namespace vesk::keybind::app {

namespace {

// A key the distribution binds by default belongs to its fragments: they unbind it before binding
// it, and a restart leaves it free once its binding has moved. Any other key an entry lets go of
// was tmux's own before the entry took it, and a restart would give tmux's binding back.
bool owned_by_distribution(const model::EditSession& session, const std::string& table, const std::string& key) {
    return std::any_of(session.entries.begin(), session.entries.end(), [&](const model::Entry& e) {
        return e.info.default_table == table && e.info.default_key == key;
    });
}

}  // namespace

void commit(App& app, std::size_t entry, const std::optional<std::string>& previous_key,
            model::EditSession before) {
    if (entry >= app.session.entries.size()) return;
    try {
        model::save_session(app.config_path, app.session);
    } catch (const std::exception& e) {
        // Nothing of the change holds: the list shows again what the file and tmux still have.
        app.session = std::move(before);
        app.status = "저장하지 못했습니다: " + error_one_line(e);
        return;
    }
    app.status.reset();
    const model::Entry& now = app.session.entries[entry];
    live::Change change{now.table, previous_key, std::nullopt, std::nullopt};
    if (now.current_key) change.bind = std::make_pair(*now.current_key, now.info.command);
    if (previous_key && previous_key != now.current_key &&
        !owned_by_distribution(app.session, now.table, *previous_key))
        change.restore = live::tmux_default_binding(now.table, *previous_key);
    try {
        live::apply_all({change});
    } catch (const std::exception& e) {
        app.status = "tmux에 걸지 못했습니다: " + error_one_line(e);
    }
}

}  // namespace vesk::keybind::app

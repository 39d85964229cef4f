// A change made on the key-binding screen goes to keybindings.conf and into the running tmux
// before the next key is read.
#include "core/error.hpp"
#include "keybind/app.hpp"
#include "keybind/live.hpp"

namespace vesk::keybind::app {

void commit(App& app, std::size_t entry, const std::optional<std::string>& previous_key) {
    if (entry >= app.session.entries.size()) return;
    try {
        model::save_session(app.config_path, app.session);
        app.status.reset();
    } catch (const std::exception& e) {
        app.status = "저장하지 못했습니다: " + error_one_line(e);
    }
    const model::Entry& now = app.session.entries[entry];
    live::Change change{now.table, previous_key, std::nullopt};
    if (now.current_key) change.bind = std::make_pair(*now.current_key, now.info.command);
    try {
        live::apply_all({change});
    } catch (const std::exception& e) {
        app.status = "tmux에 걸지 못했습니다: " + error_one_line(e);
    }
}

}  // namespace vesk::keybind::app

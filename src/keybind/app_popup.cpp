// `config keybindings-popup`: the key-binding screen in a floating pane as large as its list
// wants, within three quarters of the client.
#include <algorithm>

#include "keybind/app.hpp"
#include "ui/screen_width.hpp"

namespace vesk::keybind::app {

int natural_width(const model::EditSession& session) {
    if (session.entries.empty()) return 56;
    std::size_t k = 0;
    std::size_t d = 0;
    for (const model::Entry& e : session.entries) {
        k = std::max(k, ui::screen_width(e.current_key ? *e.current_key : std::string("—")));
        d = std::max(d, ui::screen_width(e.info.description));
    }
    return static_cast<int>(std::min<std::size_t>(std::max<std::size_t>(k, 12), 18) +
                            std::min<std::size_t>(std::max<std::size_t>(d, 16), 44) + 28);
}

PopupGeometry popup_geometry(const model::EditSession& session, int client_width, int client_height) {
    return vesk::popup_geometry(natural_width(session), session.entries.size(), client_width, client_height);
}

}  // namespace vesk::keybind::app

namespace vesk::keybind {

void config_keybindings_popup() {
    const config::Places places = config::Places::resolve();
    open_screen_popup([&](int cw, int ch) { return app::popup_geometry(model::load_session(places), cw, ch); },
                      "config keybindings");
}

}  // namespace vesk::keybind

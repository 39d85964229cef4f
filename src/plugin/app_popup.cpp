// `config plugins-popup`: the plugin screen in a floating pane as large as its list wants, within
// three quarters of the client.
#include <algorithm>

#include "plugin/app.hpp"
#include "plugin/load_catalog.hpp"
#include "ui/screen_width.hpp"

namespace vesk::plugin::app {

int natural_width(const model::Catalog& catalog) {
    if (catalog.size() == 0) return 76;
    std::size_t r = 0;
    std::size_t d = 0;
    for (const model::Entry& e : catalog.entries()) {
        r = std::max(r, ui::screen_width(e.declaration.repo));
        d = std::max(d, ui::screen_width(e.declaration.description));
    }
    return static_cast<int>(std::min<std::size_t>(r, 30) + std::min<std::size_t>(std::max<std::size_t>(d, 16), 40) + 30);
}

PopupGeometry popup_geometry(const model::Catalog& catalog, int client_width, int client_height) {
    return vesk::popup_geometry(natural_width(catalog), catalog.size(), client_width, client_height);
}

}  // namespace vesk::plugin::app

namespace vesk::plugin {

void config_plugins_popup() {
    const config::Places places = config::Places::resolve();
    open_screen_popup([&](int cw, int ch) { return app::popup_geometry(app::load_catalog(places), cw, ch); },
                      "config plugins");
}

}  // namespace vesk::plugin

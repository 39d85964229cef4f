// `config plugins-popup`: the plugin screen in a floating pane as large as its list wants, within
// three quarters of the client.
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "core/error.hpp"
#include "core/quote.hpp"
#include "core/require_tmux.hpp"
#include "core/text.hpp"
#include "plugin/app.hpp"
#include "tmux/tmux.hpp"
#include "ui/text_width.hpp"

namespace vesk::plugin::app {

int natural_width(const model::Catalog& catalog) {
    if (catalog.size() == 0) return 76;
    std::size_t r = 0;
    std::size_t d = 0;
    for (const model::Entry& e : catalog.entries()) {
        r = std::max(r, ui::text_width(e.declaration.repo));
        d = std::max(d, ui::text_width(e.declaration.description));
    }
    return static_cast<int>(std::min<std::size_t>(r, 30) + std::min<std::size_t>(std::max<std::size_t>(d, 16), 40) + 30);
}

PopupGeometry popup_geometry(const model::Catalog& catalog, int client_width, int client_height) {
    const long cw = std::max(1, client_width);
    const long ch = std::max(1, client_height);
    const long entries = static_cast<long>(catalog.size());
    PopupGeometry g;
    g.width = static_cast<int>(std::min(std::max(1L, cw * 77 / 100), static_cast<long>(natural_width(catalog))));
    g.height = static_cast<int>(std::min({std::max(1L, ch * 75 / 100), ch, std::max(10L, entries + 8)}));
    g.x = static_cast<int>(std::max(0L, cw - g.width) / 2);
    g.y = static_cast<int>((ch - g.height) / 2);
    return g;
}

}  // namespace vesk::plugin::app

namespace vesk::plugin {

namespace {

int client_size(const Tmux& tmux, const char* format, int fallback) {
    try {
        return parse_i32(tmux.display(std::nullopt, format), fallback);
    } catch (const std::exception&) {
        return fallback;
    }
}

// The program that is running now, so the pane opens the same build.
std::string own_program() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) throw Error("실행 중인 프로그램의 경로를 알 수 없습니다");
    return path_text(self);
}

}  // namespace

void config_plugins_popup() {
    require_tmux("tmux 세션 안에서만 실행 가능합니다.");
    Tmux tmux;
    const int cw = client_size(tmux, "#{client_width}", 80);
    const int ch = client_size(tmux, "#{client_height}", 24);
    const app::PopupGeometry g = app::popup_geometry(app::load_catalog(), cw, ch);
    FloatingPane pane{std::to_string(g.width), std::to_string(g.height), std::to_string(g.x), std::to_string(g.y),
                      std::nullopt};
    tmux.open_floating_pane(pane, shell_quote(own_program()) + " config plugins");
}

}  // namespace vesk::plugin

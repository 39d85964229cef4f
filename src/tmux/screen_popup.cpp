#include "tmux/screen_popup.hpp"

#include <algorithm>
#include <filesystem>
#include <string>

#include "core/command.hpp"
#include "core/error.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk {

PopupGeometry popup_geometry(int natural_width, std::size_t entries, int client_width, int client_height) {
    const long cw = std::max(1, client_width);
    const long ch = std::max(1, client_height);
    const long rows = static_cast<long>(entries);
    PopupGeometry g;
    g.width = static_cast<int>(std::min(std::max(1L, cw * 77 / 100), static_cast<long>(natural_width)));
    g.height = static_cast<int>(std::min({std::max(1L, ch * 75 / 100), ch, std::max(10L, rows + 8)}));
    g.x = static_cast<int>(std::max(0L, cw - g.width) / 2);
    g.y = static_cast<int>((ch - g.height) / 2);
    return g;
}

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
    const std::filesystem::path self = current_exe(ec);
    if (ec) throw Error("실행 중인 프로그램의 경로를 알 수 없습니다");
    return path_text(self);
}

}  // namespace

void open_screen_popup(const std::function<PopupGeometry(int client_width, int client_height)>& geometry,
                       std::string_view arguments) {
    require_tmux("tmux 세션 안에서만 실행 가능합니다.");
    Tmux tmux;
    const int cw = client_size(tmux, "#{client_width}", 80);
    const int ch = client_size(tmux, "#{client_height}", 24);
    const PopupGeometry g = geometry(cw, ch);
    FloatingPane pane{std::to_string(g.width), std::to_string(g.height), std::to_string(g.x), std::to_string(g.y),
                      std::nullopt};
    tmux.open_floating_pane(pane, shell_quote(own_program()) + " " + std::string(arguments));
}

}  // namespace vesk

// `vesk doctor popup`: the doctor screen over the current pane.
#include <algorithm>
#include <string>

#include "core/quote.hpp"
#include "core/text.hpp"
#include "doctor/app.hpp"
#include "doctor/checks.hpp"
#include "doctor/doctor.hpp"
#include "tmux/tmux.hpp"

namespace vesk::doctor {

PopupGeometry doctor_popup_geometry(int client_width, int client_height, std::size_t natural) {
    const long w = std::max(client_width, 1), h = std::max(client_height, 1);
    const long wanted = static_cast<long>(std::max<std::size_t>(natural, 40));
    PopupGeometry g;
    g.width = static_cast<int>(std::min(std::max(w * 77 / 100, 1L), wanted));
    g.height = static_cast<int>(std::min(h, std::max(h * 50 / 100, 10L)));
    g.x = static_cast<int>(std::max(w - g.width, 0L) / 2);
    g.y = static_cast<int>((h - g.height) / 2);
    return g;
}

void doctor_popup() {
    require_tmux("tmux 세션 안에서만 실행 가능합니다.");
    const Tmux tmux;
    // A query that fails reads as no answer: the default size applies.
    const auto client = [&](const char* format, int fallback) {
        std::string answer;
        try {
            answer = tmux.display(std::nullopt, format);
        } catch (const std::exception&) {
        }
        return parse_i32(answer, fallback);
    };
    const int width = client("#{client_width}", 80), height = client("#{client_height}", 24);
    const PopupGeometry g = doctor_popup_geometry(width, height, natural_width(collect(config::Places::resolve())));
    const std::string command = shell_quote(vesk_bin(tmux)) + " doctor";
    tmux.open_floating_pane(FloatingPane{std::to_string(g.width), std::to_string(g.height), std::to_string(g.x),
                                         std::to_string(g.y), std::nullopt},
                            command);
}

}  // namespace vesk::doctor

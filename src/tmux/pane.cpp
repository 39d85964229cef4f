#include "tmux/pane.hpp"

#include "tmux/tmux.hpp"

namespace vesk {

void pane_zoom_toggle() {
    require_tmux("tmux 세션에서만 사용할 수 있습니다.");
    Tmux tmux;
    std::string pane = current_pane(tmux);
    tmux.run({"resize-pane", "-Z", "-t", pane});
}

}  // namespace vesk

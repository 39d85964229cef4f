// `pane zoom-toggle`: zooms the current pane in or out.
#pragma once

namespace vesk {

// resize-pane -Z on the current pane; outside tmux a message and status 1.
void pane_zoom_toggle();

}  // namespace vesk

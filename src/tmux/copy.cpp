#include "tmux/copy.hpp"

#include "core/error.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk {

void copy_cut_selection(const CopyCutSelectionArgs& args) {
    Tmux tmux;
    std::string pane;
    if (args.target_pane && !args.target_pane->empty()) {
        pane = *args.target_pane;
    } else {
        pane = tmux.output({"display-message", "-p", "#{pane_id}"});
        if (pane.empty()) throw Error("target pane is missing");
    }

    // No buffer (or no server) makes save-buffer fail: then there is nothing to cut.
    std::string copied = tmux.capture({"save-buffer", "-"}).out;
    std::size_t count = decode_utf8(copied).size();
    if (count > 0) tmux.run({"send-keys", "-t", pane, "-N", std::to_string(count), "BSpace"});
}

}  // namespace vesk

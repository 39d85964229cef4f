#include "rebuild/reload.hpp"

#include <vector>

#include "tmux/tmux.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "tmux/popup_message.hpp"

namespace vesk::rebuild {

namespace fs = std::filesystem;

namespace {

// The path's words: "." and the empty words of repeated or trailing "/" say nothing, so
// "$HOME/./.tmux.conf.local" and "$HOME//.tmux.conf.local" name the file the running tmux reads.
// ".." stays: after a link it need not lead back where it came from.
std::vector<fs::path> components(const fs::path& path) {
    std::vector<fs::path> out;
    for (const fs::path& part : path) {
        if (!part.empty() && part != ".") out.push_back(part);
    }
    return out;
}

}  // namespace

ReloadOutcome reload(const std::optional<fs::path>& home, const fs::path& output) {
    if (!home || !inside_tmux()) return {};
    if (components(output) != components(*home / ".tmux.conf.local")) return {};

    // The reload goes to the tmux the user runs, not to $TMUX_BIN.
    const fs::path conf = *home / ".tmux.conf";
    const Tmux tmux = Tmux::named();
    // source-file reads its argument as a glob pattern: a HOME holding [ or * would match nothing.
    Output result;
    try {
        result = tmux.capture({"source-file", tmux_source_path(conf.string())});
    } catch (const std::exception& e) {
        return {ReloadOutcome::Kind::Failed, e.what()};
    }
    if (!result.status.success()) {
        // tmux prints the errors of a sourced file on standard output, not standard error.
        std::string why(trim(lossy_utf8(result.err)));
        if (why.empty()) why = trim(lossy_utf8(result.out));
        return {ReloadOutcome::Kind::Failed, why};
    }

    const std::string message = "Vesk 설정을 다시 읽었습니다: " + path_text(conf);
    try {
        popup_message_text("popup", message);
    } catch (...) {
        try {
            tmux.capture({"display-message", tmux_format_escape(message)});
        } catch (const std::exception&) {
        }
    }
    return {ReloadOutcome::Kind::Reloaded, {}};
}

}  // namespace vesk::rebuild

#include "keybind/live.hpp"

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "keybind/keys.hpp"
#include "keybind/overrides.hpp"
#include "tmux/tmux.hpp"

namespace vesk::keybind::live {

std::string script(const Change& change) {
    const std::string option = overrides::table_option(change.table);
    std::string text;
    if (change.unbind) text += "unbind" + option + " " + keys::quote_key(*change.unbind) + "\n";
    if (change.bind) {
        text += "bind-key" + option + " " + keys::quote_key(change.bind->first) + " " + change.bind->second + "\n";
    }
    return text;
}

void apply_all(const std::vector<Change>& changes) {
    if (!inside_tmux() || changes.empty()) return;
    std::string text;
    for (const Change& change : changes) text += script(change);
    if (text.empty()) return;

    TempFile file(text);
    // tmux's complaints are captured rather than shown: the key-binding screen owns the terminal.
    // source-file reads its argument as a glob pattern, and TMPDIR may hold [ or *.
    Output result = Tmux().capture({"source-file", tmux_source_path(file.path().string())});
    if (result.status.success()) return;

    const std::string message = "tmux가 단축키를 받아들이지 않았습니다: " + result.status.describe();
    std::string said(trim(lossy_utf8(result.err + result.out)));
    if (said.empty()) throw Error(message);
    try {
        throw Error(said);
    } catch (...) {
        rethrow_with_context(message);
    }
}

}  // namespace vesk::keybind::live

#include "keybind/live.hpp"

#include <unistd.h>

#include <filesystem>

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
    if (change.restore) text += *change.restore + "\n";
    if (change.bind) {
        text += "bind-key" + option + " " + keys::quote_key(change.bind->first) + " " + change.bind->second + "\n";
    }
    return text;
}

std::optional<std::string> tmux_default_binding(const std::string& table, const std::string& key) {
    if (!inside_tmux()) return std::nullopt;
    static unsigned asked = 0;
    const std::string socket = "vesk-defaults-" + std::to_string(::getpid()) + "-" + std::to_string(++asked);
    const Tmux pristine = Tmux::private_server(Tmux().bin, socket);
    // On tmux's command line a word ending in ";" ends the command unless the ";" is escaped.
    std::string word = key;
    if (word.ends_with(';')) word.insert(word.size() - 1, "\\");
    Output said;
    try {
        // The server ends by itself, having no session; asking for its socket lets us remove the
        // file it leaves behind.
        said = pristine.capture(
            {"start-server", ";", "display", "-p", "#{socket_path}", ";", "list-keys", "-T", table, word});
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const std::vector<std::string> lines = split_lines(lossy_utf8(said.out));
    if (!lines.empty() && std::filesystem::path(lines[0]).filename() == socket) {
        std::error_code ignored;
        std::filesystem::remove(lines[0], ignored);
    }
    if (!said.status.success() || lines.size() != 2 || trim(lines[1]).empty()) return std::nullopt;
    return lines[1];
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

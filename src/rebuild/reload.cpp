#include "rebuild/reload.hpp"

#include <cstdlib>

#include "core/process.hpp"
#include "core/text.hpp"
#include "ui/message_popup.hpp"

namespace vesk::rebuild {

namespace fs = std::filesystem;

namespace {

// display-message expands formats: a # in a path must reach tmux doubled.
std::string escape_format(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '#') out += '#';
    }
    return out;
}

}  // namespace

ReloadOutcome reload(const fs::path& output) {
    const char* home = std::getenv("HOME");
    const char* tmux = std::getenv("TMUX");
    // An empty TMUX counts as outside tmux, as it does for every command that needs a client.
    if (home == nullptr || tmux == nullptr || *tmux == '\0') return {};
    if (output != fs::path(home) / ".tmux.conf.local") return {};

    // The reload goes to the tmux the user runs, not to $TMUX_BIN.
    const fs::path conf = fs::path(home) / ".tmux.conf";
    ChildCommand source("tmux", {"source-file", conf.string()});
    source.stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe);
    Output result;
    try {
        result = run_child(source);
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
        ChildCommand display("tmux", {"display-message", escape_format(message)});
        display.stdin_(Stdio::Null).stdout_(Stdio::Null).stderr_(Stdio::Null);
        try {
            run_child(display);
        } catch (const std::exception&) {
        }
    }
    return {ReloadOutcome::Kind::Reloaded, {}};
}

}  // namespace vesk::rebuild

#include "small_commands.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/require_tmux.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"
#include "ui/wait_for_key.hpp"

namespace vesk {

namespace fs = std::filesystem;

namespace {

void write_stdout(std::string_view text) {
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) throw_errno();
}

}  // namespace

std::chrono::milliseconds display_panes_wait(const std::optional<std::string>& option) {
    constexpr std::chrono::milliseconds fallback{1000};
    if (!option) return fallback;
    std::string_view text = trim(*option);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return fallback;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return fallback;
        std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return fallback;
        value = value * 10 + digit;
    }
    // Keep the wait representable; nobody waits for a popup longer than a day anyway.
    constexpr std::uint64_t longest = 24ULL * 60 * 60 * 1000;
    if (value > longest) value = longest;
    return std::chrono::milliseconds(std::max<std::uint64_t>(value, 1));
}

void popup_message_render(const PopupMessageRenderArgs& args) {
    try {
        ChildCommand civis("tput", {"civis"});
        Child::spawn(civis).wait();
    } catch (const std::exception&) {
        // Without tput the cursor just stays visible.
    }

    std::error_code ec;
    if (fs::is_regular_file(args.file, ec)) {
        std::string text = read_file(args.file);
        write_stdout(text);
        fs::remove(args.file, ec);
    } else {
        write_stdout("메시지가 없습니다.\n");
    }
    if (std::fflush(stdout) != 0) throw_errno();

    if (args.mode == "modal") {
        wait_for_key(std::nullopt);
    } else {
        wait_for_key(display_panes_wait(Tmux().option("display-panes-time")));
    }
}

void copy_cut_selection(const CopyCutSelectionArgs& args) {
    Tmux tmux;
    std::string pane;
    if (args.target_pane && !args.target_pane->empty()) {
        pane = *args.target_pane;
    } else {
        pane = tmux.output({"display-message", "-p", "#{pane_id}"});
        if (pane.empty()) throw Error("target pane is missing");
    }

    ChildCommand save(tmux.bin, {"save-buffer", "-"});
    save.in = Stdio::Null;
    save.out = Stdio::Pipe;
    save.err = Stdio::Null;
    // No buffer (or no server) makes save-buffer fail: then there is nothing to cut.
    std::string copied = run_child(save).out;
    std::size_t count = decode_utf8(copied).size();
    if (count > 0) tmux.run({"send-keys", "-t", pane, "-N", std::to_string(count), "BSpace"});
}

void pane_zoom_toggle() {
    require_tmux("tmux 세션에서만 사용할 수 있습니다.");
    Tmux tmux;
    std::string pane = current_pane(tmux);
    tmux.run({"resize-pane", "-Z", "-t", pane});
}

}  // namespace vesk

#include "keybind/postlude.hpp"

#include <thread>

#include "core/text.hpp"
#include "keybind/bindings.hpp"
#include "tmux/tmux.hpp"

namespace vesk::keybind {

void config_apply_keybindings(const std::optional<std::string>& zeltdir) {
    std::optional<std::filesystem::path> root;
    if (zeltdir) root = *zeltdir;
    const config::Places places = config::Places::resolve(root);
    places.require_home();
    postlude::run(places, default_profile());
}

}  // namespace vesk::keybind

namespace vesk::keybind::postlude {

namespace {

constexpr std::size_t kPhase1Limit = 79;   // n > 79: 81 polls, 80 sleeps
constexpr std::size_t kPhase2Limit = 599;  // n > 599: 601 polls after the first "true"

bool poll_apply_plugins(const Tmux& tmux) {
    try {
        return trim(lossy_utf8(tmux.capture({"show", "-sqv", "@__apply_plugins"}).out)) == "true";
    } catch (const std::exception&) {
        return false;  // tmux could not be started: a poll that did not answer "true"
    }
}

}  // namespace

Clock system_clock() {
    return Clock{[tmux = Tmux()] { return poll_apply_plugins(tmux); },
                 [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); }};
}

std::size_t wait_for_plugins(const Clock& clock) {
    // Phase 1: the plugin loading has not been seen yet. Phase 2: it is under way.
    int phase = 1;
    std::size_t n = 0;
    std::size_t polls = 0;
    while (true) {
        const bool applying = clock.plugins_applying();
        ++polls;
        int next;
        if (phase == 1) {
            if (applying) {
                next = 2;
            } else if (n > kPhase1Limit) {
                break;
            } else {
                next = 1;
            }
        } else {
            if (!applying || n > kPhase2Limit) break;
            next = 2;
        }
        clock.sleep(kPollInterval);
        n = next == phase ? n + 1 : 0;
        phase = next;
    }
    return polls;
}

std::vector<live::Change> to_reapply(const std::vector<overrides::Resolved>& resolved) {
    std::vector<live::Change> changes;
    for (const overrides::Resolved& r : resolved) {
        if (!r.rebound()) continue;
        changes.push_back(live::Change{r.binding.table, std::nullopt,
                                       std::make_pair(*r.current_key, r.binding.command)});
    }
    return changes;
}

void run(const config::Places& places, ConfigProfile profile) { run(places, profile, system_clock()); }

void run(const config::Places& places, ConfigProfile profile, const Clock& clock) {
    if (!inside_tmux()) return;
    const std::vector<live::Change> changes = to_reapply(resolved_bindings(places, profile));
    if (changes.empty()) return;
    wait_for_plugins(clock);
    live::apply_all(changes);
}

}  // namespace vesk::keybind::postlude

#include "keybind/postlude.hpp"

#include <cstdlib>
#include <thread>

#include "core/process.hpp"
#include "core/text.hpp"
#include "rebuild/bindings.hpp"
#include "rebuild/command.hpp"
#include "tmux/tmux.hpp"

namespace vesk::keybind {

void config_apply_keybindings(const std::optional<std::string>& zeltdir) {
    std::optional<std::filesystem::path> root;
    if (zeltdir) root = *zeltdir;
    const rebuild::Places places = rebuild::Places::resolve(root, std::nullopt);
    postlude::run(places, rebuild::default_profile());
}

}  // namespace vesk::keybind

namespace vesk::keybind::postlude {

namespace {

constexpr std::size_t kPhase1Limit = 79;   // n > 79: 81 polls, 80 sleeps
constexpr std::size_t kPhase2Limit = 599;  // n > 599: 601 polls after the first "true"

bool inside_tmux() {
    const char* tmux = std::getenv("TMUX");
    return tmux && *tmux;
}

bool poll_apply_plugins(const std::string& program) {
    ChildCommand show(program, {"show", "-sqv", "@__apply_plugins"});
    show.stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Null);
    try {
        return trim(lossy_utf8(run_child(show).out)) == "true";
    } catch (const std::exception&) {
        return false;  // tmux could not be started: a poll that did not answer "true"
    }
}

}  // namespace

Clock system_clock() {
    std::string program = Tmux().bin;
    return Clock{[program] { return poll_apply_plugins(program); },
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

void run(const rebuild::Places& places, RebuildProfile profile) { run(places, profile, system_clock()); }

void run(const rebuild::Places& places, RebuildProfile profile, const Clock& clock) {
    if (!inside_tmux()) return;
    const std::vector<live::Change> changes = to_reapply(rebuild::resolved_bindings(places, profile));
    if (changes.empty()) return;
    wait_for_plugins(clock);
    live::apply_all(changes);
}

}  // namespace vesk::keybind::postlude

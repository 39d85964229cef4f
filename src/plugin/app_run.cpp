// The plugin screen on the terminal: keys as they come and, while jobs run, a look at them at
// least every 200 ms.
#include "core/error.hpp"
#include "plugin/app.hpp"
#include "plugin/load_catalog.hpp"
#include "ui/screen.hpp"

namespace vesk::plugin::app {

void run(const config::Places& places) {
    // Jobs still running are dropped with the state: that neither waits for nor stops their
    // scripts.
    ui::run_full_screen([&](ui::Screen& screen) {
        std::optional<std::filesystem::path> path = places.plugins_conf();
        if (!path) throw Error("설정 파일을 둘 자리를 찾지 못했습니다");
        App app = make_app(load_catalog(places), *path);
        const auto on_key = [&](const ui::Key& key) {
            Step step = handle(std::move(app), key);
            app = std::move(step.app);
            if (std::holds_alternative<Quit>(step.effect)) return false;
            if (!std::holds_alternative<Stay>(step.effect)) carry_out(app, step.effect, places.plugins_dir);
            return true;
        };
        const auto poll_running = [&] {
            if (!app.jobs.empty()) poll_jobs(app, places.plugins_dir);
        };
        ui::run_list_loop(screen, {.draw = [&](ui::Buffer& buffer) { draw(app, buffer); },
                                   .key = on_key,
                                   .busy = [&] { return has_jobs(app); },
                                   .poll = poll_running});
    });
}

}  // namespace vesk::plugin::app

namespace vesk::plugin {

void config_plugins() { app::run(config::Places::resolve()); }

}  // namespace vesk::plugin

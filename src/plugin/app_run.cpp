// The plugin screen on the terminal: draw, wait for a key (or, while jobs run, at most 200 ms),
// handle it, carry out its effect, then look at the jobs.
#include <chrono>

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

        while (true) {
            screen.draw([&](ui::Buffer& buffer) { draw(app, buffer); });
            std::optional<std::chrono::milliseconds> timeout;
            if (has_jobs(app)) timeout = std::chrono::milliseconds(200);
            std::optional<ui::Event> event = screen.next_event(timeout);
            if (event && event->type == ui::Event::Type::Key) {
                Step step = handle(std::move(app), event->key);
                app = std::move(step.app);
                if (std::holds_alternative<Quit>(step.effect)) break;
                if (!std::holds_alternative<Stay>(step.effect))
                    carry_out(app, step.effect, places.plugins_dir);
            }
            if (!app.jobs.empty()) poll_jobs(app, places.plugins_dir);
        }
    });
}

}  // namespace vesk::plugin::app

namespace vesk::plugin {

void config_plugins() { app::run(config::Places::resolve()); }

}  // namespace vesk::plugin

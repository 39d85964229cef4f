// The key-binding screen on the terminal: draw, read a key, handle it, carry out its effect.
#include "core/error.hpp"
#include "keybind/app.hpp"
#include "ui/screen.hpp"

namespace vesk::keybind::app {

void run(const config::Places& places) {
    ui::run_full_screen([&](ui::Screen& screen) {
        std::optional<std::filesystem::path> path = places.keybindings_conf();
        if (!path) throw Error("설정 파일을 둘 자리를 찾지 못했습니다");
        App app = make_app(model::load_session(places), *path);

        while (true) {
            screen.draw([&](ui::Buffer& buffer) { draw(app, buffer); });
            std::optional<ui::Event> event = screen.next_event();
            if (!event || event->type != ui::Event::Type::Key) continue;
            Step step = handle(std::move(app), event->key);
            app = std::move(step.app);
            if (std::holds_alternative<Quit>(step.effect)) break;
            if (const auto* change = std::get_if<Commit>(&step.effect)) commit(app, change->entry, change->previous_key);
        }
    });
}

}  // namespace vesk::keybind::app

namespace vesk::keybind {

void config_keybindings(const ConfigKeybindingsArgs&) { app::run(config::Places::resolve()); }

}  // namespace vesk::keybind

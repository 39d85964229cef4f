// The key-binding screen on the terminal: every change is committed before the next key is read.
#include "core/error.hpp"
#include "keybind/app.hpp"
#include "ui/screen.hpp"

namespace vesk::keybind::app {

void run(const config::Places& places) {
    ui::run_full_screen([&](ui::Screen& screen) {
        std::optional<std::filesystem::path> path = places.keybindings_conf();
        if (!path) throw Error("설정 파일을 둘 자리를 찾지 못했습니다");
        App app = make_app(model::load_session(places), *path);
        const auto on_key = [&](const ui::Key& key) {
            model::EditSession before = app.session;
            Step step = handle(std::move(app), key);
            app = std::move(step.app);
            if (const auto* change = std::get_if<Commit>(&step.effect))
                commit(app, change->entry, change->previous_key, std::move(before));
            return !std::holds_alternative<Quit>(step.effect);
        };
        ui::run_list_loop(screen, {.draw = [&](ui::Buffer& buffer) { draw(app, buffer); }, .key = on_key});
    });
}

}  // namespace vesk::keybind::app

namespace vesk::keybind {

void config_keybindings(const ConfigKeybindingsArgs&) { app::run(config::Places::resolve()); }

}  // namespace vesk::keybind

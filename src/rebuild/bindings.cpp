#include "rebuild/bindings.hpp"

#include "rebuild/assemble.hpp"

namespace vesk::rebuild {

std::vector<keybind::source::Binding> load_bindings(const Defaults& defaults, RebuildProfile profile) {
    std::vector<keybind::source::Binding> all;
    for (const auto& fragment : fragment_order(profile)) {
        std::string text;
        try {
            text = defaults.asset("confs/" + fragment);
        } catch (const std::exception&) {
            continue;
        }
        auto bindings = keybind::source::parse(text, fragment);
        all.insert(all.end(), std::make_move_iterator(bindings.begin()), std::make_move_iterator(bindings.end()));
    }
    return all;
}

std::vector<keybind::overrides::Resolved> resolved_bindings(const Places& places, RebuildProfile profile) {
    std::vector<keybind::overrides::Override> overrides;
    if (auto path = keybind::overrides::default_path()) overrides = keybind::overrides::load(*path);
    return keybind::overrides::resolve(load_bindings(places.defaults, profile), overrides);
}

}  // namespace vesk::rebuild

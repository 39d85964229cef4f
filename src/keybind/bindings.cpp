#include "keybind/bindings.hpp"

namespace vesk::keybind {

std::vector<source::Binding> load_bindings(const Defaults& defaults, ConfigProfile profile) {
    std::vector<source::Binding> all;
    for (const auto& fragment : fragment_order(profile)) {
        std::string text;
        try {
            text = defaults.asset("confs/" + fragment);
        } catch (const std::exception&) {
            continue;
        }
        auto bindings = source::parse(text, fragment);
        all.insert(all.end(), std::make_move_iterator(bindings.begin()), std::make_move_iterator(bindings.end()));
    }
    return all;
}

std::vector<overrides::Resolved> resolved_bindings(const config::Places& places, ConfigProfile profile) {
    std::vector<overrides::Override> user;
    if (auto path = places.keybindings_conf()) user = overrides::load(*path);
    return overrides::resolve(load_bindings(places.defaults(), profile), user);
}

}  // namespace vesk::keybind

#include "plugin/load_catalog.hpp"

#include "config/config.hpp"
#include "defaults/defaults.hpp"
#include "plugin/overrides.hpp"
#include "plugin/source.hpp"

namespace vesk::plugin::app {

model::Catalog load_catalog() {
    config::Current current = config::current_for(std::nullopt);
    Defaults defaults{current.root, current.embedded};

    std::vector<source::Declaration> declarations;
    try {
        declarations = source::parse(defaults.asset("confs/conf.plugins"), "conf.plugins");
    } catch (const std::exception&) {
        // Without the fragment there is nothing to declare; the screen shows an empty catalog.
    }

    std::vector<std::string> names;
    if (auto dir = source::default_install_dir()) names = source::installed(*dir);

    model::Catalog catalog(std::move(declarations), names);
    if (auto path = overrides::default_path()) catalog = overrides::apply(catalog, overrides::load(*path));
    return catalog;
}

}  // namespace vesk::plugin::app

#include "plugin/load_catalog.hpp"

#include "plugin/overrides.hpp"
#include "plugin/source.hpp"

namespace vesk::plugin::app {

model::Catalog load_catalog(const config::Places& places) {
    const Defaults defaults = places.defaults();

    std::vector<source::Declaration> declarations;
    try {
        declarations = source::parse(defaults.asset("confs/conf.plugins"), "conf.plugins");
    } catch (const std::exception&) {
        // Without the fragment there is nothing to declare; the screen shows an empty catalog.
    }

    std::vector<std::string> names;
    if (places.plugins_dir) names = source::installed(*places.plugins_dir);

    model::Catalog catalog(std::move(declarations), names);
    if (auto path = places.plugins_conf()) catalog = overrides::apply(catalog, overrides::load(*path));
    return catalog;
}

}  // namespace vesk::plugin::app

// The catalog the plugin screen starts with.
#pragma once

#include "config/places.hpp"
#include "plugin/model.hpp"

namespace vesk::plugin::app {

// The declarations of confs/conf.plugins (none when the source cannot be had), the installed
// plugins of the plugins directory, and the user's plugins.conf applied.
model::Catalog load_catalog(const config::Places& places);

}  // namespace vesk::plugin::app

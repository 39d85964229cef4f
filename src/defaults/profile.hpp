// The platform a configuration is assembled for, and the fragments each one takes.
#pragma once

#include <string>
#include <vector>

namespace vesk {

enum class ConfigProfile { Macos, Linux, Window };
using RebuildProfile = ConfigProfile;

// The profile names as the command line and the configuration files write them.
const char* profile_name(ConfigProfile profile);

// The profile of the platform this program is built for.
ConfigProfile default_profile();

// conf.prefix, conf.common, conf.session, conf.window, conf.codex, the platform fragment
// (none for window), conf.lab, conf.plugins.
std::vector<std::string> fragment_order(ConfigProfile profile);

}  // namespace vesk

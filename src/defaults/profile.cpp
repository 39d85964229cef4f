#include "defaults/profile.hpp"

namespace vesk {

const char* profile_name(ConfigProfile profile) {
    switch (profile) {
        case ConfigProfile::Macos: return "macos";
        case ConfigProfile::Linux: return "linux";
        case ConfigProfile::Window: return "window";
    }
    return "macos";
}

ConfigProfile default_profile() {
#ifdef __APPLE__
    return ConfigProfile::Macos;
#else
    return ConfigProfile::Linux;
#endif
}

std::vector<std::string> fragment_order(ConfigProfile profile) {
    std::vector<std::string> order = {"conf.prefix", "conf.common", "conf.session", "conf.window", "conf.codex"};
    if (profile == ConfigProfile::Macos) order.push_back("conf.macos");
    if (profile == ConfigProfile::Linux) order.push_back("conf.linux");
    order.push_back("conf.lab");
    order.push_back("conf.plugins");
    return order;
}

}  // namespace vesk

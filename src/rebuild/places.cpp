#include "rebuild/places.hpp"

#include <cstdlib>

#include "config/config.hpp"
#include "core/error.hpp"

namespace vesk::rebuild {

Places Places::resolve(const std::optional<std::filesystem::path>& zeltdir,
                       const std::optional<std::filesystem::path>& output) {
    const char* home = std::getenv("HOME");
    if (home == nullptr) throw Error("HOME을 찾을 수 없습니다");
    config::Current current = config::current_for(zeltdir);
    Places places;
    places.root = current.root;
    places.output = output ? *output : std::filesystem::path(home) / ".tmux.conf.local";
    places.defaults = Defaults{current.root, current.embedded};
    return places;
}

}  // namespace vesk::rebuild

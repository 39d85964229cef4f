#include "rebuild/command.hpp"

#include <cstdio>
#include <string>

#include <fmt/format.h>

#include "core/text.hpp"
#include "config/places.hpp"
#include "rebuild/reload.hpp"
#include "rebuild/run.hpp"

namespace vesk::rebuild {

void rebuild(const RebuildArgs& args) {
    std::optional<std::filesystem::path> zeltdir;
    if (args.zeltdir) zeltdir = *args.zeltdir;
    const config::Places places = config::Places::resolve(zeltdir);
    places.require_home();
    const std::filesystem::path output = args.output ? std::filesystem::path(*args.output) : places.local_conf();
    run(places, output, args.profile.value_or(default_profile()), !args.no_check);
    const std::string written = path_text(output);

    ReloadOutcome outcome;
    if (!args.no_reload) outcome = reload(places.home, output);
    if (outcome.kind == ReloadOutcome::Kind::Reloaded) {
        fmt::print("설정을 다시 만들고 읽었습니다: {}\n", written);
        return;
    }
    fmt::print("설정을 다시 만들었습니다: {}\n", written);
    if (outcome.kind == ReloadOutcome::Kind::Failed) {
        std::fflush(stdout);
        fmt::print(stderr, "설정을 다시 읽지 못했습니다: {}\n", outcome.text);
    }
}

}  // namespace vesk::rebuild

#include "rebuild/command.hpp"

#include <cstdio>
#include <string>

#include <fmt/format.h>

#include "core/text.hpp"
#include "rebuild/places.hpp"
#include "rebuild/reload.hpp"
#include "rebuild/run.hpp"

namespace vesk::rebuild {

RebuildProfile default_profile() {
#ifdef __APPLE__
    return RebuildProfile::Macos;
#else
    return RebuildProfile::Linux;
#endif
}

void rebuild(const RebuildArgs& args) {
    std::optional<std::filesystem::path> zeltdir, output;
    if (args.zeltdir) zeltdir = *args.zeltdir;
    if (args.output) output = *args.output;
    const Places places = Places::resolve(zeltdir, output);
    const std::string written = path_text(run(places, args.profile.value_or(default_profile()), !args.no_check));

    ReloadOutcome outcome;
    if (!args.no_reload) outcome = reload(places.output);
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

#include "cli/run.hpp"

#include "cli/args.hpp"
#include "core/error.hpp"

namespace vesk {

void run_cli(int, char**) { throw Error("the command tree is not built yet"); }

const char* profile_name(ConfigProfile profile) {
    switch (profile) {
        case ConfigProfile::Macos: return "macos";
        case ConfigProfile::Linux: return "linux";
        case ConfigProfile::Window: return "window";
    }
    return "macos";
}

}  // namespace vesk

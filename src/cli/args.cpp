#include "cli/args.hpp"

namespace vesk {

const char* profile_name(ConfigProfile profile) {
    switch (profile) {
        case ConfigProfile::Macos: return "macos";
        case ConfigProfile::Linux: return "linux";
        case ConfigProfile::Window: return "window";
    }
    return "macos";
}

}  // namespace vesk

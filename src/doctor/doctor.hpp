// `vesk doctor`: checks of the whole installation, reported on a screen, as plain text or as JSON.
#pragma once

namespace vesk::doctor {

struct DoctorArgs {
    bool popup = false;  // the optional subcommand `popup`
    bool json = false;
    bool plain = false;
    bool strict = false;
};

}  // namespace vesk::doctor

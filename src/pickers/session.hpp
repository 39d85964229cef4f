// Sessions (`vesk session`): the session lists, creating and switching, ending one and moving on.
#pragma once

namespace vesk::pickers {

struct SessionKillArgs {
    bool confirmed = false;
};

}  // namespace vesk::pickers

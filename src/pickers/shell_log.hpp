// Shell logging (`vesk log shell-*`) and the log search popup.
#pragma once

#include <optional>
#include <string>

namespace vesk::pickers {

struct LogSearchArgs {
    std::string file;
    std::optional<std::string> query;
};

}  // namespace vesk::pickers

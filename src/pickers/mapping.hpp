// The key-mapping popup (`vesk mapping popup`): the distribution's key map opened in filter-edit.
#pragma once

#include <optional>
#include <string>

namespace vesk::pickers {

struct MappingPopupArgs {
    std::optional<std::string> file;
};

}  // namespace vesk::pickers

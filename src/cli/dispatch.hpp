// The one table from each leaf of the command tree to the handler that carries it out.
#pragma once

#include <string_view>

#include "cli/commands.hpp"

namespace vesk {

// Runs the handler of `commands.leaf`; a handler's failure comes back as its exception.
void dispatch(const Commands& commands);

// True when the table has an entry for `leaf` (the tests hold the tree and the table together).
bool has_handler(std::string_view leaf);

}  // namespace vesk

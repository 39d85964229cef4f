#include "cli/run.hpp"

#include "cli/dispatch.hpp"
#include "cli/tree.hpp"

namespace vesk {

void run_cli(int argc, char** argv) { dispatch(parse_command_line(argc, argv)); }

}  // namespace vesk

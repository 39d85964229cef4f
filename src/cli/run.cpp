#include "cli/run.hpp"

#include "cli/dispatch.hpp"
#include "cli/tree.hpp"

namespace vesk {

int run_cli(int argc, char** argv) {
    std::variant<Commands, int> parsed = parse_command_line(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    dispatch(std::get<Commands>(parsed));
    return 0;
}

}  // namespace vesk

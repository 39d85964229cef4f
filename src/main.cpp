#include <cstdio>

#include "cli/run.hpp"
#include "core/error.hpp"

int main(int argc, char** argv) {
    try {
        return vesk::run_cli(argc, argv);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        if (auto status = vesk::exit_status_in_chain(e)) return *status;
        std::fputs(vesk::format_error(e).c_str(), stderr);
        return 1;
    }
}

#include <cstdio>

#include "cli/run.hpp"
#include "core/error.hpp"

int main(int argc, char** argv) {
    try {
        vesk::run_cli(argc, argv);
        return 0;
    } catch (const std::exception& e) {
        if (vesk::chain_has_exit99(e)) return 99;
        std::fflush(stdout);
        std::fputs(vesk::format_error(e).c_str(), stderr);
        return 1;
    }
}

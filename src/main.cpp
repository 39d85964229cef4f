#include <cstdio>

#include "cli/run.hpp"
#include "core/error.hpp"
#include "tmux/popup_message.hpp"

int main(int argc, char** argv) {
    try {
        return vesk::run_cli(argc, argv);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        if (auto status = vesk::exit_status_in_chain(e)) {
            // A command that ends with status 1 has printed its own message: let it be read.
            if (*status == 1) vesk::hold_popup_after_failure();
            return *status;
        }
        std::fputs(vesk::format_error(e).c_str(), stderr);
        vesk::hold_popup_after_failure();
        return 1;
    }
}

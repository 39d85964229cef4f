#include "rebuild/check.hpp"

#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/quote.hpp"
#include "core/signal_cleanup.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::rebuild {

void check_with_tmux(std::string_view text) {
    const std::string socket = "vesk-rebuild-" + std::to_string(::getpid());
    // tmux leaves the socket behind when its server ends; it goes with the temporary file, also
    // when a signal ends vesk during the check.
    RemoveOnExit socket_file(tmux_socket_path(socket));
    TempFile file(text);
    // The user's tmux program ($TMUX_BIN, else tmux) on a server of its own.
    const Tmux server = Tmux::private_server(Tmux().bin, socket);
    // source-file reads its argument as a glob pattern, and TMPDIR may hold [ or *.
    Output result = server.capture(
        {"start-server", ";", "source-file", "-n", tmux_source_path(file.path().string()), ";", "kill-server"});

    std::string errors(trim(lossy_utf8(result.err)));
    std::string printed(trim(lossy_utf8(result.out)));
    if (!printed.empty()) errors += (errors.empty() ? "" : "\n") + printed;
    if (result.status.success() && errors.empty()) return;

    try {
        server.capture({"kill-server"});
    } catch (const std::exception&) {
    }
    throw Error("tmux가 설정을 받아들이지 않았습니다: " + (errors.empty() ? std::string("알 수 없는 오류") : errors));
}

}  // namespace vesk::rebuild

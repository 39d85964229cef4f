#include "rebuild/check.hpp"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::rebuild {

void check_with_tmux(std::string_view text) {
    TempFile file(text);
    const std::string program = Tmux().bin;  // $TMUX_BIN, else tmux
    const std::string server = "vesk-rebuild-" + std::to_string(::getpid());

    ChildCommand parse(program, {"-L", server, "-f", "/dev/null", "start-server", ";", "source-file", "-n",
                                 file.path().string(), ";", "kill-server"});
    parse.stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe);
    Output result = run_child(parse);

    std::string errors(trim(lossy_utf8(result.err)));
    std::string printed(trim(lossy_utf8(result.out)));
    if (!printed.empty()) errors += (errors.empty() ? "" : "\n") + printed;
    if (result.status.success() && errors.empty()) return;

    ChildCommand kill(program, {"-L", server, "-f", "/dev/null", "kill-server"});
    kill.stdin_(Stdio::Null).stdout_(Stdio::Null).stderr_(Stdio::Null);
    try {
        run_child(kill);
    } catch (const std::exception&) {
    }
    throw Error("tmux가 설정을 받아들이지 않았습니다: " + (errors.empty() ? std::string("알 수 없는 오류") : errors));
}

}  // namespace vesk::rebuild

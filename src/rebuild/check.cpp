#include "rebuild/check.hpp"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/error.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::rebuild {

namespace {

// A file in the system temporary directory that is removed when this goes out of scope.
class TempConfig {
public:
    explicit TempConfig(std::string_view text) {
        const char* tmpdir = std::getenv("TMPDIR");
        std::string pattern = (tmpdir && *tmpdir ? std::string(tmpdir) : std::string("/tmp")) + "/.tmpXXXXXX";
        int fd = mkstemp(pattern.data());
        if (fd < 0) throw_errno();
        path_ = pattern;
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                int code = errno;
                ::close(fd);
                ::unlink(path_.c_str());
                throw SystemError(code);
            }
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    ~TempConfig() { ::unlink(path_.c_str()); }
    TempConfig(const TempConfig&) = delete;
    TempConfig& operator=(const TempConfig&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

void check_with_tmux(std::string_view text) {
    TempConfig file(text);
    const std::string program = Tmux().bin;  // $TMUX_BIN, else tmux
    const std::string server = "vesk-rebuild-" + std::to_string(::getpid());

    ChildCommand parse(program, {"-L", server, "-f", "/dev/null", "start-server", ";", "source-file", "-n",
                                 file.path(), ";", "kill-server"});
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

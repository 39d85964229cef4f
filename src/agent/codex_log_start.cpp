// `log codex-toggle` and `log codex-start`: the agent pane's output goes through pipe-pane into a
// named pipe, and a detached reader cleans it and appends it to the project's log.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <fmt/format.h>

#include "agent/codex_log.hpp"
#include "agent/codex_log_reader.hpp"
#include "core/command.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/git.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/signal_cleanup.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFifoFailed = "Codex log 실패: FIFO 생성에 실패했습니다.";

// The folder of the named pipes: this user's alone, so that nobody else can put a pipe or a file
// of their own where the pane's output goes.
bool private_fifo_folder(const fs::path& dir) {
    fs::create_directories(dir.parent_path());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return false;
    return (st.st_mode & 077) == 0 || ::chmod(dir.c_str(), 0700) == 0;
}

// A named pipe of ours at the path: an existing one is reused, anything else there is replaced.
bool prepare_fifo(const fs::path& fifo) {
    struct stat st;
    if (::lstat(fifo.c_str(), &st) == 0) {
        if (S_ISFIFO(st.st_mode) && st.st_uid == ::getuid()) return true;
        fs::remove(fifo);
    } else if (errno != ENOENT) {
        throw_errno(fifo.native());
    }
    return ::mkfifo(fifo.c_str(), 0600) == 0;
}

// The reader, in a session of its own (no terminal, no pane, its own process group) with nothing
// of this command's streams: run-shell does not wait for it, and it is stopped as a group. The log
// is opened for appending here and handed to it: a link planted at its name is refused, never
// followed.
Child start_reader(const std::string& text, const fs::path& log) {
    int fd = open_for_append(log);
    ChildCommand reader("sh", {"-c", text});
    reader.in = Stdio::Null;
    reader.err = Stdio::Null;
    reader.stdout_to(fd).own_session();
    try {
        Child child = Child::spawn(reader);
        ::close(fd);
        return child;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

// A reader that cannot run (a program missing or failing) ends at once; one that works opens the
// pipe and waits on it. Watched until one or the other is seen, however slowly the machine starts
// the pipeline; where nothing tells whether the pipe is open, a short while without an ending counts.
bool ended_at_once(Child& reader, const fs::path& fifo) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    for (;;) {
        if (reader.try_wait()) return true;
        const std::optional<bool> reading = reader_holds_fifo(reader.pid(), fifo);
        const auto waited = steady_clock::now() - start;
        if (reading.value_or(waited > milliseconds(300))) return reader.try_wait().has_value();
        if (waited > seconds(10)) return false;
        std::this_thread::sleep_for(milliseconds(10));
    }
}

void stop_group(Child& reader) {
    ::kill(-reader.pid(), SIGTERM);
    reader.wait();
}

// With no reader, the pane's pipe (tmux's `cat > FIFO`) waits in its open of the named pipe, and
// would wait there for good, holding the pipe. Opened here for reading, that open goes through;
// its input, the pane, is already cut off, so it ends at once, which the hang-up on this end
// tells. Then the named pipe goes, so that nothing waits on it again.
void release_fifo(const fs::path& fifo) {
    using namespace std::chrono;
    const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        const auto deadline = steady_clock::now() + seconds(2);
        char buffer[4096];
        for (;;) {
            const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
            pollfd watch{fd, POLLIN, 0};
            const int ready = left > 0 ? ::poll(&watch, 1, static_cast<int>(left)) : 0;
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) break;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
        }
        ::close(fd);
    }
    ::unlink(fifo.c_str());
}

}  // namespace

void unset_log_options(const Tmux& tmux, const std::string& pane) {
    for (const char* name : {"@codex_log", "@codex_log_pid", "@codex_fifo"}) unset_pane_option(tmux, pane, name);
}

void log_codex_toggle() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const std::string pane = current_pane(tmux);

    if (pane_option(tmux, pane, "@codex_log")) {
        auto fifo = pane_option(tmux, pane, "@codex_fifo");
        auto pid = pane_option(tmux, pane, "@codex_log_pid");
        tmux.run({"pipe-pane", "-t", pane});
        if (pid) stop_codex_reader(*pid, fifo);
        struct stat st;
        if (fifo && ::lstat(fifo->c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) ::unlink(fifo->c_str());
        unset_log_options(tmux, pane);
        display_message(tmux, "Codex log off");
        return;
    }

    if (pane_piped(tmux, pane)) {
        display_message(tmux, "다른 로그가 활성화되어 있습니다. 먼저 끄세요.");
        return;
    }
    // The job names its pane: run-shell gives it none, and the client's current pane may be
    // another one by the time it runs.
    std::string command = fmt::format("TMUX_PANE={} {} log codex-start", shell_quote(pane), shell_quote(vesk_bin(tmux)));
    tmux.run({"run-shell", "-b", tmux_format_escape(command)});
}

void log_codex_start() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const fs::path root = zelt_path(tmux);
    const std::string pane = current_pane(tmux);
    const CodexLogSwitches switches = codex_log_switches();

    auto marker = pane_option(tmux, pane, "@codex_pane");
    if (!marker) {
        display_message(tmux, "Codex pane 표식이 없습니다. codex-run.sh로 실행 중인지 확인하세요.");
        return;
    }
    if (*marker != "1") {
        display_message(tmux, "Codex log 실패: Codex pane에서만 시작할 수 있습니다.");
        return;
    }
    const fs::path dir = pane_path_or_zelt(tmux, pane);
    if (switches.guard_tail && tmux.display(pane, "#{pane_current_command}") == "tail") {
        display_message(tmux, "Codex log 실패: 같은 pane에서 tail을 실행 중입니다.");
        return;
    }
    if (!switches.allow_chat_dir && path_text(dir).ends_with("/.agent/chat")) {
        display_message(tmux, "Codex log 실패: .agent/chat 폴더에서 실행할 수 없습니다.");
        return;
    }

    const fs::path git_root = git_root_or(dir);
    const fs::path log = codex_log_file(git_root, timestamp_minute());
    const std::string session = tmux.display(pane, "#{session_name}");
    const fs::path fifo_dir = root / "fifo" / "codex";
    const fs::path fifo = fifo_dir / codex_fifo_name(session, pane);
    // The log's folders are the repository's: none of them may be a link leading out of it.
    create_folders_inside(git_root, log.parent_path().lexically_relative(git_root));
    if (!private_fifo_folder(fifo_dir) || !prepare_fifo(fifo)) {
        display_message(tmux, kFifoFailed);
        return;
    }
    // Only a log that starts keeps its named pipe: on every other way out (a link at the log's
    // name, a reader that cannot run, tmux failing, a signal) it goes.
    RemoveOnExit unused_fifo(fifo);

    // A reader left from an earlier start on this pane would share the pipe with the new one.
    if (auto pid = pane_option(tmux, pane, "@codex_log_pid")) stop_codex_reader(*pid, pane_option(tmux, pane, "@codex_fifo"));
    tmux.run({"pipe-pane", "-t", pane});
    Child reader = start_reader(codex_reader_text(fifo, switches.filter_regex, switches.strip_ansi, which("stdbuf").has_value()), log);
    try {
        // pipe-pane expands its command as a format.
        tmux.run({"pipe-pane", "-t", pane, tmux_format_escape("cat > " + shell_quote_path(fifo))});
    } catch (...) {
        stop_group(reader);
        throw;
    }
    if (ended_at_once(reader, fifo)) {
        tmux.run({"pipe-pane", "-t", pane});
        release_fifo(fifo);
        const std::string message = "Codex log 실패: 로그 reader가 바로 끝났습니다.";
        display_message(tmux, message);
        throw Error(fmt::format("{} ({})", message, reader.try_wait()->describe()));
    }

    tmux.run({"set-option", "-p", "-t", pane, "@codex_log", path_text(log)});
    tmux.run({"set-option", "-p", "-t", pane, "@codex_log_pid", std::to_string(reader.pid())});
    tmux.run({"set-option", "-p", "-t", pane, "@codex_fifo", path_text(fifo)});
    unused_fifo.keep();
    display_message(tmux, fmt::format("Codex log on: {} (FIFO ok)", path_text(log)));
}

}  // namespace vesk::agent

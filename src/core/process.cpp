#include "core/process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fmt/format.h>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/text.hpp"

namespace vesk {

bool ExitStatus::success() const { return WIFEXITED(raw) && WEXITSTATUS(raw) == 0; }

std::optional<int> ExitStatus::code() const {
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    return std::nullopt;
}

std::optional<int> ExitStatus::signal() const {
    if (WIFSIGNALED(raw)) return WTERMSIG(raw);
    return std::nullopt;
}

std::string ExitStatus::describe() const {
    if (auto c = code()) return fmt::format("exit status: {}", *c);
    if (auto s = signal()) {
        const char* abbrev = sigabbrev_np(*s);
        std::string text = abbrev ? fmt::format("signal: {} (SIG{})", *s, abbrev) : fmt::format("signal: {}", *s);
        if (WCOREDUMP(raw)) text += " (core dumped)";
        return text;
    }
    return fmt::format("unrecognized wait status: {}", raw);
}

namespace {

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Opens a pipe whose two ends are closed on exec.
void make_pipe(int fds[2]) {
    if (::pipe2(fds, O_CLOEXEC) != 0) throw_errno();
}

// The child's environment: ours with the command's changes applied in order.
std::vector<std::string> child_environment(const ChildCommand& command) {
    std::vector<std::string> entries = environment_entries();
    for (const auto& [name, value] : command.env) {
        const std::string prefix = name + "=";
        std::erase_if(entries, [&](const std::string& entry) { return entry.starts_with(prefix); });
        if (value) entries.push_back(prefix + *value);
    }
    return entries;
}

// What posix_spawn needs, released whatever happens.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
};

// posix_spawnp: the child shares our memory until it execs, so nothing of vesk's address space is
// copied for it (a fork copies the page tables, and every page we touch afterwards is copied
// again). Its PATH search is ours, as execvp's was: no command changes PATH.
int spawn_program(pid_t& pid, const ChildCommand& command, int in, int out, int err) {
    SpawnSetup setup;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    // A fresh child is never a process group leader, so setsid cannot fail for that reason.
    if (command.new_session) flags |= POSIX_SPAWN_SETSID;
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);  // ignored here, as children expect it not to be
    posix_spawnattr_setflags(&setup.attr, flags);
    posix_spawnattr_setsigmask(&setup.attr, &none);
    posix_spawnattr_setsigdefault(&setup.attr, &defaults);
    auto wire = [&](int fd, int target, Stdio mode) {
        if (mode != Stdio::Inherit && fd >= 0) posix_spawn_file_actions_adddup2(&setup.actions, fd, target);
    };
    wire(in, STDIN_FILENO, command.in);
    wire(out, STDOUT_FILENO, command.out);
    wire(err, STDERR_FILENO, command.err);
    if (command.cwd) posix_spawn_file_actions_addchdir_np(&setup.actions, command.cwd->c_str());

    const std::vector<std::string> environment = child_environment(command);
    std::vector<char*> envp;
    for (const auto& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    auto run = [&](const std::string& program, const std::vector<std::string>& words) {
        std::vector<char*> argv;
        for (const auto& word : words) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        return posix_spawnp(&pid, program.c_str(), &setup.actions, &setup.attr, argv.data(), envp.data());
    };
    std::vector<std::string> words = {command.program};
    words.insert(words.end(), command.args.begin(), command.args.end());
    int rc = run(command.program, words);
    if (rc == ENOEXEC) {
        // A script without a #! line: the shell runs it, as execvp would have.
        std::string path = command.program;
        if (path.find('/') == std::string::npos) {
            const std::string search = env_var("PATH").value_or("/bin:/usr/bin");
            for (std::string_view dirs = search;;) {
                const size_t colon = dirs.find(':');
                std::string dir(dirs.substr(0, colon));
                std::string candidate = (dir.empty() ? "." : dir) + "/" + command.program;
                if (::access(candidate.c_str(), X_OK) == 0) {
                    path = candidate;
                    break;
                }
                if (colon == std::string_view::npos) break;
                dirs.remove_prefix(colon + 1);
            }
        }
        words.front() = path;
        words.insert(words.begin(), "/bin/sh");
        rc = run("/bin/sh", words);
    }
    return rc;
}

}  // namespace

Child Child::spawn(const ChildCommand& command) {
    if (command.program.empty()) throw SystemError(ENOENT);
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    int null_fd = -1;
    auto cleanup = [&] {
        for (int* p : {in, out, err}) {
            close_fd(p[0]);
            close_fd(p[1]);
        }
        close_fd(null_fd);
    };
    try {
        if (command.in == Stdio::Null || command.out == Stdio::Null || command.err == Stdio::Null) {
            null_fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
            if (null_fd < 0) throw_errno();
        }
        if (command.in == Stdio::Pipe) make_pipe(in);
        if (command.out == Stdio::Pipe) make_pipe(out);
        if (command.err == Stdio::Pipe) make_pipe(err);
    } catch (...) {
        cleanup();
        throw;
    }
    auto pick = [&](Stdio mode, int pipe_end, int own) {
        return mode == Stdio::Null ? null_fd : mode == Stdio::Pipe ? pipe_end : mode == Stdio::Fd ? own : -1;
    };
    pid_t pid = -1;
    const int rc = spawn_program(pid, command, pick(command.in, in[0], command.in_fd), pick(command.out, out[1], command.out_fd),
                                 pick(command.err, err[1], command.err_fd));
    if (rc != 0) {
        cleanup();
        // The working folder, when it is what failed, is the path the error names.
        if (command.cwd) {
            struct stat st;
            const int e = ::stat(command.cwd->c_str(), &st) != 0 ? errno
                          : !S_ISDIR(st.st_mode)                      ? ENOTDIR
                          : ::access(command.cwd->c_str(), X_OK) != 0 ? errno
                                                                      : 0;
            if (e == rc) throw SystemError(rc, path_text(*command.cwd));
        }
        throw SystemError(rc);
    }
    close_fd(in[0]);
    close_fd(out[1]);
    close_fd(err[1]);
    close_fd(null_fd);
    Child child;
    child.pid_ = pid;
    child.in_ = in[1];
    child.out_ = out[0];
    child.err_ = err[0];
    if (command.stop_on_signal) child.on_signal_ = OnSignal::kill_child(pid);
    else if (command.end_on_signal) child.on_signal_ = OnSignal::end_child(pid);
    return child;
}

Child::Child(Child&& other) noexcept { *this = std::move(other); }

Child& Child::operator=(Child&& other) noexcept {
    if (this != &other) {
        close_all();
        pid_ = std::exchange(other.pid_, -1);
        in_ = std::exchange(other.in_, -1);
        out_ = std::exchange(other.out_, -1);
        err_ = std::exchange(other.err_, -1);
        status_ = std::exchange(other.status_, std::nullopt);
        on_signal_ = std::move(other.on_signal_);
    }
    return *this;
}

Child::~Child() { close_all(); }

void Child::close_all() {
    close_fd(in_);
    close_fd(out_);
    close_fd(err_);
}

void Child::close_stdin() { close_fd(in_); }
void Child::close_stdout() { close_fd(out_); }
void Child::close_stderr() { close_fd(err_); }

std::optional<ExitStatus> Child::try_wait() {
    if (status_ || pid_ < 0) return status_;
    int raw;
    pid_t r = ::waitpid(pid_, &raw, WNOHANG);
    if (r == pid_) {
        status_ = ExitStatus{raw};
        on_signal_.release();
    } else if (r < 0 && errno != EINTR) throw_errno();
    return status_;
}

ExitStatus Child::wait() {
    if (status_) return *status_;
    int raw;
    while (::waitpid(pid_, &raw, 0) < 0) {
        if (errno != EINTR) throw_errno();
    }
    status_ = ExitStatus{raw};
    on_signal_.release();
    return *status_;
}

void Child::kill(int sig) {
    if (!status_ && pid_ > 0) ::kill(pid_, sig);
}

Output run_child(const ChildCommand& command, std::string_view input) {
    Child child = Child::spawn(command);
    return finish_child(child, command, input);
}

Output finish_child(Child& child, const ChildCommand& command, std::string_view input) {
    Output result;
    size_t written = 0;
    if (child.stdin_fd() >= 0) {
        ::fcntl(child.stdin_fd(), F_SETFL, ::fcntl(child.stdin_fd(), F_GETFL) | O_NONBLOCK);
        if (input.empty()) child.close_stdin();
    }
    using Clock = std::chrono::steady_clock;
    const bool limited = command.time_limit.has_value();
    const Clock::time_point deadline = Clock::now() + command.time_limit.value_or(std::chrono::milliseconds(0));
    // Milliseconds poll may wait: forever without a limit, never less than 0.
    auto wait_ms = [&]() -> int {
        if (!limited) return -1;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return left > 0 ? static_cast<int>(std::min<long long>(left, 60000)) : 0;
    };
    auto out_of_time = [&] {
        if (!limited || Clock::now() < deadline) return false;
        // A child in a session of its own leads its process group: the group goes with it, so a
        // grandchild holding our pipes cannot keep us waiting either.
        if (command.new_session) ::kill(-child.pid(), SIGKILL);
        child.kill();
        child.close_stdin();
        child.close_stdout();
        child.close_stderr();
        result.timed_out = true;
        return true;
    };
    char buffer[65536];
    while (child.stdin_fd() >= 0 || child.stdout_fd() >= 0 || child.stderr_fd() >= 0) {
        if (out_of_time()) break;
        pollfd fds[3];
        int count = 0;
        if (child.stdin_fd() >= 0) fds[count++] = {child.stdin_fd(), POLLOUT, 0};
        if (child.stdout_fd() >= 0) fds[count++] = {child.stdout_fd(), POLLIN, 0};
        if (child.stderr_fd() >= 0) fds[count++] = {child.stderr_fd(), POLLIN, 0};
        if (::poll(fds, count, wait_ms()) < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            child.kill();
            child.wait();
            throw SystemError(e);
        }
        for (int i = 0; i < count; ++i) {
            if (!fds[i].revents) continue;
            int fd = fds[i].fd;
            if (fd == child.stdin_fd()) {
                ssize_t n = ::write(fd, input.data() + written, input.size() - written);
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
                if (n < 0) {
                    result.input_errno = errno;
                    child.close_stdin();
                    continue;
                }
                written += static_cast<size_t>(n);
                if (written == input.size()) child.close_stdin();
            } else {
                ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
                std::string& sink = fd == child.stdout_fd() ? result.out : result.err;
                if (n <= 0) {
                    if (fd == child.stdout_fd()) child.close_stdout();
                    else child.close_stderr();
                } else {
                    sink.append(buffer, static_cast<size_t>(n));
                }
            }
        }
    }
    // Without pipes to watch, the limit still holds while the child runs. A child that has just
    // closed its output is usually gone a moment later: look again soon, then less often.
    for (auto pause = std::chrono::microseconds(50); limited && !result.timed_out && !child.try_wait();
         pause = std::min(pause * 2, std::chrono::microseconds(10000))) {
        if (out_of_time()) break;
        std::this_thread::sleep_for(std::min<std::chrono::microseconds>(
            pause, std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now())));
    }
    result.status = child.wait();
    return result;
}

void replace_process(const ChildCommand& command) {
    std::vector<std::string> words = {command.program};
    words.insert(words.end(), command.args.begin(), command.args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    // The program gets the signal dispositions a freshly started one would have.
    ::signal(SIGPIPE, SIG_DFL);
    ::execvp(command.program.c_str(), argv.data());
    int error = errno;
    ::signal(SIGPIPE, SIG_IGN);
    throw SystemError(error);
}

}  // namespace vesk

namespace vesk {
namespace {
// A child that closes its input early must not kill vesk through SIGPIPE while it writes to it:
// the write fails with EPIPE instead and the caller decides what that means.
[[maybe_unused]] const bool sigpipe_ignored = (::signal(SIGPIPE, SIG_IGN), true);
}  // namespace
}  // namespace vesk

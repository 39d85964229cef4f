#include "core/process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fmt/format.h>

#include "core/error.hpp"

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

// Only async-signal-safe work after fork, apart from the environment changes: vesk is
// single-threaded, so setenv in the child cannot meet a lock held by another thread.
[[noreturn]] void exec_child(const ChildCommand& command, int in, int out, int err, int report) {
    auto fail = [&](int code) {
        ssize_t ignored = ::write(report, &code, sizeof code);
        (void)ignored;
        ::_exit(127);
    };
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    // A fresh child is never a process group leader, so setsid cannot fail for that reason.
    if (command.new_session && ::setsid() < 0) fail(errno);
    auto wire = [&](int fd, int target, Stdio mode) {
        if (mode == Stdio::Inherit) return;
        if (fd >= 0 && ::dup2(fd, target) < 0) fail(errno);
    };
    wire(in, STDIN_FILENO, command.in);
    wire(out, STDOUT_FILENO, command.out);
    wire(err, STDERR_FILENO, command.err);
    if (command.cwd && ::chdir(command.cwd->c_str()) != 0) fail(errno);
    for (const auto& [name, value] : command.env) {
        if (value) ::setenv(name.c_str(), value->c_str(), 1);
        else ::unsetenv(name.c_str());
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(command.program.c_str()));
    for (const auto& a : command.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (command.program.empty()) fail(ENOENT);
    ::execvp(command.program.c_str(), argv.data());
    fail(errno);
    ::_exit(127);
}

}  // namespace

Child Child::spawn(const ChildCommand& command) {
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1}, report[2] = {-1, -1};
    int null_fd = -1;
    auto cleanup = [&] {
        for (int* p : {in, out, err, report}) {
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
        make_pipe(report);
    } catch (...) {
        cleanup();
        throw;
    }
    auto pick = [&](Stdio mode, int pipe_end) { return mode == Stdio::Null ? null_fd : mode == Stdio::Pipe ? pipe_end : -1; };
    pid_t pid = ::fork();
    if (pid < 0) {
        int e = errno;
        cleanup();
        throw SystemError(e);
    }
    if (pid == 0) {
        exec_child(command, pick(command.in, in[0]), pick(command.out, out[1]), pick(command.err, err[1]), report[1]);
    }
    close_fd(report[1]);
    int child_errno = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &child_errno, sizeof child_errno);
    } while (n < 0 && errno == EINTR);
    if (n == sizeof child_errno) {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        cleanup();
        throw SystemError(child_errno);
    }
    close_fd(in[0]);
    close_fd(out[1]);
    close_fd(err[1]);
    close_fd(report[0]);
    close_fd(null_fd);
    Child child;
    child.pid_ = pid;
    child.in_ = in[1];
    child.out_ = out[0];
    child.err_ = err[0];
    if (command.stop_on_signal) child.on_signal_ = OnSignal::kill_child(pid);
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
    Output result;
    size_t written = 0;
    if (child.stdin_fd() >= 0) {
        ::fcntl(child.stdin_fd(), F_SETFL, ::fcntl(child.stdin_fd(), F_GETFL) | O_NONBLOCK);
        if (input.empty()) child.close_stdin();
    }
    char buffer[65536];
    while (child.stdin_fd() >= 0 || child.stdout_fd() >= 0 || child.stderr_fd() >= 0) {
        pollfd fds[3];
        int count = 0;
        if (child.stdin_fd() >= 0) fds[count++] = {child.stdin_fd(), POLLOUT, 0};
        if (child.stdout_fd() >= 0) fds[count++] = {child.stdout_fd(), POLLIN, 0};
        if (child.stderr_fd() >= 0) fds[count++] = {child.stderr_fd(), POLLIN, 0};
        if (::poll(fds, count, -1) < 0) {
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
    result.status = child.wait();
    return result;
}

}  // namespace vesk

namespace vesk {
namespace {
// A child that closes its input early must not kill vesk through SIGPIPE while it writes to it:
// the write fails with EPIPE instead and the caller decides what that means.
[[maybe_unused]] const bool sigpipe_ignored = (::signal(SIGPIPE, SIG_IGN), true);
}  // namespace
}  // namespace vesk

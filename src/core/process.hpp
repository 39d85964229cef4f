// The one way vesk starts child processes: a program with separate argument words, never a shell
// unless the caller names one, optional working directory and environment changes, and each
// standard stream inherited, connected to /dev/null, piped or sent to a descriptor the caller holds.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/signal_cleanup.hpp"

namespace vesk {

enum class Stdio { Inherit, Null, Pipe, Fd };

struct ChildCommand {
    std::string program;
    std::vector<std::string> args;
    std::optional<std::string> cwd;
    // Applied in order on top of the parent's environment; nullopt removes the variable.
    std::vector<std::pair<std::string, std::optional<std::string>>> env;
    Stdio in = Stdio::Inherit;
    Stdio out = Stdio::Inherit;
    Stdio err = Stdio::Inherit;
    // The child starts a session of its own (setsid): no controlling terminal, so the hang-up of
    // the terminal or pane it was started from does not reach it.
    bool new_session = false;
    // With Stdio::Fd: what standard input reads and where standard output and standard error go
    // (the caller keeps its descriptor).
    int in_fd = -1;
    int out_fd = -1;
    int err_fd = -1;
    // run_child only: once this much time has passed the child is killed (with its whole process
    // group when it has a session of its own) and run_child returns what it had read so far.
    std::optional<std::chrono::milliseconds> time_limit;
    // When SIGINT, SIGTERM or SIGHUP ends vesk while the child runs, the child is killed first: a
    // tmux client that vesk would have waited for must not go on to start a server alone.
    bool stop_on_signal = false;
    // When SIGINT, SIGTERM or SIGHUP ends vesk while the child runs, the child gets SIGTERM and a
    // moment to end before it is killed: a program drawn on the user's terminal (fzf) puts the
    // terminal back and goes, instead of running on, orphaned, beside the shell that gets the
    // terminal back.
    bool end_on_signal = false;

    ChildCommand() = default;
    explicit ChildCommand(std::string program, std::vector<std::string> args = {})
        : program(std::move(program)), args(std::move(args)) {}

    ChildCommand& arg(std::string a) { args.push_back(std::move(a)); return *this; }
    ChildCommand& set_env(std::string name, std::string value) { env.emplace_back(std::move(name), std::move(value)); return *this; }
    ChildCommand& remove_env(std::string name) { env.emplace_back(std::move(name), std::nullopt); return *this; }
    ChildCommand& dir(std::string d) { cwd = std::move(d); return *this; }
    ChildCommand& stdin_(Stdio s) { in = s; return *this; }
    ChildCommand& stdout_(Stdio s) { out = s; return *this; }
    ChildCommand& stderr_(Stdio s) { err = s; return *this; }
    ChildCommand& own_session() { new_session = true; return *this; }
    ChildCommand& stdin_from(int fd) { in = Stdio::Fd; in_fd = fd; return *this; }
    ChildCommand& stdout_to(int fd) { out = Stdio::Fd; out_fd = fd; return *this; }
    ChildCommand& stderr_to(int fd) { err = Stdio::Fd; err_fd = fd; return *this; }
    ChildCommand& limit(std::chrono::milliseconds d) { time_limit = d; return *this; }
};

// How a child ended: a wait status as waitpid reports it.
struct ExitStatus {
    int raw = 0;
    bool success() const;
    std::optional<int> code() const;    // set when the child exited normally
    std::optional<int> signal() const;  // set when a signal ended it
    // "exit status: 1", or "signal: 9 (SIGKILL)".
    std::string describe() const;
};

struct Output {
    ExitStatus status;
    std::string out;  // captured bytes of standard output (Stdio::Pipe), as they came
    std::string err;  // captured bytes of standard error (Stdio::Pipe)
    int input_errno = 0;  // set when writing the input failed (the child closed its end early)
    bool timed_out = false;  // the time limit ended the child
};

// A started child. Pipes that were asked for are open on this side; the destructor closes them
// but does not wait: call wait() (or try_wait() until it answers) to reap the child.
class Child {
public:
    // Starts the child; a failure to start it (fork, a missing program, a directory that does not
    // exist) throws SystemError with the system's text.
    static Child spawn(const ChildCommand& command);

    Child(Child&& other) noexcept;
    Child& operator=(Child&& other) noexcept;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();

    pid_t pid() const { return pid_; }
    int stdin_fd() const { return in_; }
    int stdout_fd() const { return out_; }
    int stderr_fd() const { return err_; }
    void close_stdin();
    void close_stdout();
    void close_stderr();

    // Never blocks: the status once the child has ended, else nothing.
    std::optional<ExitStatus> try_wait();
    ExitStatus wait();
    void kill(int sig = SIGKILL);

private:
    Child() = default;
    void close_all();
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    std::optional<ExitStatus> status_;
    OnSignal on_signal_;
};

// Runs the child to its end. With Stdio::Pipe for standard input, `input` is written and the pipe
// closed; piped output streams are read at the same time, so inputs and outputs of any size pass.
// With a time limit, a child that outlives it is killed and reaped, and `timed_out` is set.
Output run_child(const ChildCommand& command, std::string_view input = {});
// What run_child does once the child is started, for a caller that had other work to do while it
// started: `child` was spawned from `command`, and is waited for.
Output finish_child(Child& child, const ChildCommand& command, std::string_view input = {});

// Replaces this process with the program (searched on PATH) and its arguments; the other fields of
// the command are not used. Standard output is flushed first. Returns only by throwing
// SystemError when the program cannot be started; no destructor of the caller runs otherwise.
[[noreturn]] void replace_process(const ChildCommand& command);

}  // namespace vesk

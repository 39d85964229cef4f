// Errors travel as exceptions. A context is added by catching and rethrowing with
// std::throw_with_nested, so the chain reads from the outermost context to the first failure.
#pragma once

#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// Ends the process with `status` once it has travelled up to main, so that every destructor on
// the way runs (temporary files are removed, the terminal is given back). Whatever the user should
// read has been printed before it is thrown.
struct ExitCode : std::exception {
    explicit ExitCode(int status) : status(status) {}
    const char* what() const noexcept override { return "exit"; }
    int status;
};

// Ends the process quietly with status 99: a needed tmux option (or HOME, or a pane) is missing,
// or a tool has already shown its own message.
struct Exit99 : ExitCode {
    Exit99() : ExitCode(99) {}
    const char* what() const noexcept override { return "required tmux option is missing"; }
};

// An error with a message of its own (mostly Korean, shown to the user as it stands).
struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A failed system call: its text is the system's own, e.g. "No such file or directory (os error 2)".
struct SystemError : std::runtime_error {
    explicit SystemError(int code);
    SystemError(int code, std::string_view path);  // adds the path in parentheses, as the callers want
    int code;
};

// Throws SystemError(errno).
[[noreturn]] void throw_errno();
[[noreturn]] void throw_errno(std::string_view path);

// Throws Error(message) with the exception being handled as its cause. Call it inside a catch block.
[[noreturn]] void rethrow_with_context(std::string message);

// Runs f; whatever it throws comes back with `message` as the outer context.
template <class F>
auto with_context(std::string_view message, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (...) {
        rethrow_with_context(std::string(message));
    }
}

// The messages of the chain, outermost first. A std::filesystem::filesystem_error reads as a
// SystemError does: "Permission denied (os error 13) (<path>)".
std::vector<std::string> error_chain(const std::exception& e);
// The chain joined with ": ", line breaks and tabs made blanks: for a status line with room for one.
std::string error_one_line(const std::exception& e);

// The status of the first ExitCode (Exit99 included) anywhere in the chain, else nothing: a
// context added around an exit must not turn it into a printed error.
std::optional<int> exit_status_in_chain(const std::exception& e);

// "Error: <message>" and, with causes, a blank line, "Caused by:" and the causes.
std::string format_error(const std::exception& e);

}  // namespace vesk

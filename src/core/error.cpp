#include "core/error.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include <fmt/format.h>

#include "core/text.hpp"

namespace vesk {

namespace {

std::string system_text(int code) {
    return fmt::format("{} (os error {})", std::strerror(code), code);
}

// Walks the nested exceptions of `e`, calling visit(const std::exception*) for each;
// a nested value that is no std::exception is reported as nullptr.
template <class Visit>
void walk(const std::exception& e, Visit&& visit) {
    visit(&e);
    try {
        std::rethrow_if_nested(e);
    } catch (const std::exception& inner) {
        walk(inner, visit);
    } catch (...) {
        visit(nullptr);
    }
}

// The text the user reads for one error of the chain. The C++ library words a failed file-system
// call its own way ("filesystem error: cannot create directories: Permission denied [/p]"); it is
// told as every other system error is: the system's text, the number and the path.
std::string message_of(const std::exception& e) {
    // The one failure the library words for programmers ("std::bad_alloc"): the memory asked for
    // was refused.
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "메모리가 부족합니다";
    const auto* fs_error = dynamic_cast<const std::filesystem::filesystem_error*>(&e);
    if (!fs_error) return e.what();
    const std::error_code& code = fs_error->code();
    if (code.category() != std::generic_category() && code.category() != std::system_category()) return e.what();
    std::string paths = path_text(fs_error->path1());
    if (!fs_error->path2().empty()) paths += ", " + path_text(fs_error->path2());
    if (paths.empty()) return system_text(code.value());
    return fmt::format("{} ({})", system_text(code.value()), paths);
}

void append_indented(std::string& out, std::string_view text, std::string_view first_prefix,
                     std::string_view rest_prefix) {
    bool first = true;
    size_t start = 0;
    while (true) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? text.npos : end - start);
        out += first ? first_prefix : rest_prefix;
        out += line;
        out += '\n';
        first = false;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
}

}  // namespace

SystemError::SystemError(int code) : std::runtime_error(system_text(code)), code(code) {}

SystemError::SystemError(int code, std::string_view path)
    : std::runtime_error(fmt::format("{} ({})", system_text(code), path)), code(code) {}

void throw_errno() { throw SystemError(errno); }

void throw_errno(std::string_view path) { throw SystemError(errno, path); }

void rethrow_with_context(std::string message) { std::throw_with_nested(Error(std::move(message))); }

std::vector<std::string> error_chain(const std::exception& e) {
    std::vector<std::string> chain;
    walk(e, [&](const std::exception* x) { chain.push_back(x ? message_of(*x) : "unknown error"); });
    return chain;
}

std::string error_one_line(const std::exception& e) {
    std::string out;
    for (const std::string& message : error_chain(e)) {
        if (!out.empty()) out += ": ";
        out += message;
    }
    for (char& c : out)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    return out;
}

std::optional<int> exit_status_in_chain(const std::exception& e) {
    std::optional<int> status;
    walk(e, [&](const std::exception* x) {
        if (status) return;
        if (const auto* exit = x ? dynamic_cast<const ExitCode*>(x) : nullptr) status = exit->status;
    });
    return status;
}

std::string format_error(const std::exception& e) {
    std::vector<std::string> chain = error_chain(e);
    std::string out;
    append_indented(out, chain.front(), "Error: ", "");
    if (chain.size() == 1) return out;
    out += "\nCaused by:\n";
    if (chain.size() == 2) {
        append_indented(out, chain[1], "    ", "    ");
        return out;
    }
    for (size_t i = 1; i < chain.size(); ++i) {
        append_indented(out, chain[i], fmt::format("{:>5}: ", i - 1), "       ");
    }
    return out;
}

}  // namespace vesk

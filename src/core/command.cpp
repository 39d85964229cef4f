#include "core/command.hpp"

#include <sys/stat.h>

#include <cstdlib>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk {

namespace {

Output capture(const ChildCommand& command) {
    ChildCommand c = command;
    c.in = Stdio::Null;
    c.out = Stdio::Pipe;
    c.err = Stdio::Pipe;
    return run_child(c);
}

}  // namespace

std::string command_output(const ChildCommand& command) {
    Output out = capture(command);
    if (!out.status.success()) throw Error("command failed");
    return std::string(trim(lossy_utf8(out.out)));
}

std::optional<std::filesystem::path> which(std::string_view program) {
    const std::optional<std::string> path = env_var("PATH");
    if (!path) return std::nullopt;
    std::string_view rest(*path);
    while (true) {
        size_t colon = rest.find(':');
        std::string_view entry = rest.substr(0, colon);
        // An empty entry is the working directory: the bare name, relative to it.
        std::filesystem::path candidate = std::filesystem::path(entry) / program;
        if (regular_file_at(candidate)) return candidate;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return std::nullopt;
}

void require_command(std::string_view program, const std::string& message) {
    if (which(program) || regular_file_at(std::filesystem::path(program))) return;
    throw Error(message);
}

std::filesystem::path current_exe(std::error_code& ec) { return std::filesystem::read_symlink("/proc/self/exe", ec); }

}  // namespace vesk

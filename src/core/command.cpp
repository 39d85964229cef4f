#include "core/command.hpp"

#include <sys/stat.h>

#include <cstdlib>

#include <fmt/format.h>

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

std::string command_output_allow_failure(const ChildCommand& command) { return lossy_utf8(capture(command).out); }

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

void prepend_tool_path() {
    const std::optional<std::string> old = env_var("PATH");
    std::string previous = old && is_valid_utf8(*old) ? *old : "";
    std::string value = "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:" + previous;
    ::setenv("PATH", value.c_str(), 1);
}

std::string move_aside_failed(const std::filesystem::path& from, const std::filesystem::path& to) {
    return fmt::format("{} 파일을 {}로 이동하지 못했습니다.", path_text(from), path_text(to));
}

std::string symlink_failed(const std::filesystem::path& link, const std::filesystem::path& target) {
    return fmt::format("{} -> {} symlink를 생성하지 못했습니다.", path_text(link), path_text(target));
}

std::string copy_failed(const std::filesystem::path& from, const std::filesystem::path& to) {
    return fmt::format("{} 파일을 {}로 복사하지 못했습니다.", path_text(from), path_text(to));
}

}  // namespace vesk

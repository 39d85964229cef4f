#include "pickers/tools.hpp"

#include <cstdlib>

#include "core/command.hpp"
#include "core/env.hpp"
#include "core/text.hpp"

namespace vesk {

void prepend_tool_path() {
    const std::optional<std::string> old = env_var("PATH");
    std::string previous = old && is_valid_utf8(*old) ? *old : "";
    std::string value = "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:" + previous;
    ::setenv("PATH", value.c_str(), 1);
}

std::string command_output_allow_failure(const ChildCommand& command) {
    ChildCommand c = command;
    c.in = Stdio::Null;
    c.out = Stdio::Pipe;
    c.err = Stdio::Pipe;
    return lossy_utf8(run_child(c).out);
}

std::string file_argument(std::string_view name) {
    if (name.starts_with('-') || name.starts_with('+')) return "./" + std::string(name);
    return std::string(name);
}

std::optional<std::filesystem::path> which_first(std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
        if (auto found = which(name)) return found;
    }
    return std::nullopt;
}

}  // namespace vesk

#include "pickers/state_files.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <exception>

#include <fmt/format.h>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk {

std::filesystem::path temp_state_file(std::string_view prefix, std::string_view contents) {
    std::filesystem::path path = std::filesystem::temp_directory_path() / fmt::format("{}-{}", prefix, ::getpid());
    // The name is predictable and the directory shared: never follow a link, open a FIFO or a
    // device someone else put there, and keep the state (queries, modes) to ourselves.
    int fd = open_for_rewrite(path, 0600);
    try {
        write_and_close(fd, contents);
    } catch (const SystemError& e) {
        throw SystemError(e.code, path_text(path));
    }
    return path;
}

namespace {

std::filesystem::path make_private_state_file(std::string_view prefix, std::string_view contents) {
    std::string name =
        (std::filesystem::temp_directory_path() / fmt::format("{}-{}-XXXXXX", prefix, ::getpid())).native();
    int fd = ::mkstemp(name.data());
    if (fd < 0) throw_errno(name);
    try {
        write_and_close(fd, contents);
    } catch (...) {
        ::unlink(name.c_str());
        throw;
    }
    return name;
}

}  // namespace

PrivateStateFile::PrivateStateFile(std::string_view prefix, std::string_view contents)
    : file_(make_private_state_file(prefix, contents)) {}

std::string read_note_mode(const std::filesystem::path& path) {
    try {
        return read_mode_file(path);
    } catch (const std::exception&) {
        return "filename";
    }
}

}  // namespace vesk

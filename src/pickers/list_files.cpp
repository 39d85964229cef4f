#include "pickers/list_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk {

void touch(const std::filesystem::path& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return;
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) throw_errno();
    ::close(fd);
}

void move_line_to_bottom(const std::filesystem::path& path, std::string_view line) {
    std::string out;
    for (const auto& l : split_lines(read_file(path))) {
        if (l == line) continue;
        out += l;
        out += '\n';
    }
    out += line;
    out += '\n';
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw_errno();
    write_and_close(fd, out);
}

}  // namespace vesk

#include "pickers/list_files.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <system_error>

#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk {

namespace fs = std::filesystem;

void touch(const fs::path& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return;
    // The user's own lists: a link kept by a dotfile manager is followed.
    ::close(open_for_append(path, Links::Followed));
}

void move_line_to_bottom(const fs::path& path, std::string_view line) {
    const std::string_view wanted = trim(line);
    std::string out;
    for (const auto& l : split_lines(read_file(path))) {
        if (trim(l) == wanted) continue;
        out += l;
        out += '\n';
    }
    out += wanted;
    out += '\n';
    write_file_atomically(path, out, Links::Followed);
}

std::string list_editor() {
    if (auto visual = env_non_empty("VISUAL")) return *visual;
    if (auto editor = env_non_empty("EDITOR")) return *editor;
    return "vim";
}

ExitStatus edit_list(const fs::path& path) {
    return Child::spawn(ChildCommand(list_editor(), {path_text(path)})).wait();
}

}  // namespace vesk

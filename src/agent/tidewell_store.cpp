#include "agent/tidewell_store.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <fmt/format.h>

#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRequireScan = "require_scan";

std::string last_project_option(std::string_view session_id) {
    return fmt::format("@tidewell_last_project_{}", session_id);
}

// Removes the file unless it has been released: the temporary copy a question is linked from.
struct Unlinked {
    std::string path;
    ~Unlinked() {
        if (!path.empty()) ::unlink(path.c_str());
    }
};

}  // namespace

fs::path staging_root(const std::optional<std::string>& home) {
    return fs::path(home.value_or("/")) / ".tidewell";
}

fs::path project_folder(const fs::path& staging, std::string_view project) { return staging / std::string(project); }

fs::path session_history_file(const fs::path& staging, std::string_view session_id) {
    return staging / "project" / std::string(session_id);
}

std::string safe_project_name(std::string_view name) {
    std::string mapped;
    for (char32_t c : decode_utf8(name)) {
        if (c == '/' || c == '\\' || c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0)) c = '-';
        append_utf8(mapped, c);
    }
    std::string_view kept = trim(mapped);
    while (!kept.empty() && (kept.front() == '.' || kept.front() == '-')) kept = trim(kept.substr(1));
    if (kept.empty()) return "inbox";
    return std::string(kept);
}

std::vector<std::string> read_history(const fs::path& file) {
    std::vector<std::string> names;
    auto text = read_text_if_any(file);
    if (!text) return names;
    for (const auto& line : split_lines(*text)) {
        std::string_view name = trim(line);
        if (!name.empty()) names.emplace_back(name);
    }
    return names;
}

void remember_in_history(const fs::path& file, std::string_view project) {
    fs::create_directories(file.parent_path());
    std::string text;
    if (fs::exists(file)) text = read_file(file);
    for (const auto& line : split_lines(text)) {
        if (line == project) return;
    }
    // A last line without its line end must not run into the new name.
    std::string line = !text.empty() && text.back() != '\n' ? "\n" : "";
    line += project;
    line += '\n';
    append_to_file(file, line, Links::Followed);
}

std::optional<std::string> remembered_project(const Tmux& tmux, std::string_view session_id) {
    auto value = tmux.option(last_project_option(session_id));
    if (!value || *value == kRequireScan) return std::nullopt;
    return value;
}

void remember_project(const Tmux& tmux, std::string_view session_id, std::string_view project) {
    tmux.run({"set-option", "-gq", last_project_option(session_id), std::string(project)});
}

fs::path save_question(const fs::path& folder, std::string_view stamp, std::string_view text) {
    // The text goes to a private temporary file first, which is then linked under the first free
    // name: link() never replaces an existing file, and the name only appears once the text is
    // complete.
    std::string pattern = (folder / ".tmpXXXXXX").native();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) throw_errno(folder.native());
    Unlinked temporary{pattern};
    // The question is the user's file, made as a plain write would make it, not private.
    if (::fchmod(fd, new_file_mode()) != 0) {
        const int err = errno;
        ::close(fd);
        throw SystemError(err, pattern);
    }
    write_and_close(fd, text);
    for (int n = 1;; ++n) {
        fs::path target = folder / (n == 1 ? fmt::format("{}.md", stamp) : fmt::format("{}_{}.md", stamp, n));
        if (::link(pattern.c_str(), target.c_str()) == 0) return target;
        if (errno != EEXIST) throw_errno(target.native());
    }
}

Ending vim_ending(std::string_view sentinel, bool written) {
    if (sentinel.find("send") != std::string_view::npos) return Ending::Send;
    if (sentinel.find("save") != std::string_view::npos) return Ending::Save;
    return written ? Ending::Save : Ending::Drop;
}

}  // namespace vesk::agent

#include "pickers/walkers.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "core/error.hpp"
#include "core/folder_walk.hpp"
#include "core/process.hpp"
#include "core/text.hpp"

namespace vesk {

namespace fs = std::filesystem;

namespace {

bool directory_at(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string relative_text(const fs::path& root, const fs::path& path) {
    std::string_view text = path.native();
    std::string_view prefix = root.native();
    if (text.starts_with(prefix)) text.remove_prefix(prefix.size());
    while (text.starts_with('/')) text.remove_prefix(1);
    return lossy_utf8(text);
}

}  // namespace

bool rg_files_each(const fs::path& dir, const std::function<void(std::string_view)>& visit) {
    // A directory rg cannot be started in is an unsuccessful run like any other: no files.
    if (!directory_at(dir) || ::access(dir.c_str(), X_OK) != 0) return false;
    // NUL after each path, taken as bytes: a name holding a line feed or bytes that are not UTF-8
    // still names its file.
    ChildCommand command("rg", {"--files", "--max-depth", "5", "--null"});
    command.cwd = dir.native();
    command.in = Stdio::Null;
    command.out = Stdio::Pipe;
    command.err = Stdio::Null;
    Child rg = Child::spawn(command);
    try {
        // The names are handed on as they come: a tree of a hundred thousand files is never held
        // whole, and the first lines reach the reader while rg still walks.
        std::string pending;
        char chunk[1 << 16];
        for (;;) {
            ssize_t n = ::read(rg.stdout_fd(), chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw_errno();
            if (n == 0) break;
            std::string_view data(chunk, static_cast<std::size_t>(n));
            if (!pending.empty()) {
                std::size_t end = data.find('\0');
                if (end == std::string_view::npos) {
                    pending.append(data);
                    continue;
                }
                pending.append(data.substr(0, end));
                visit(pending);
                pending.clear();
                data.remove_prefix(end + 1);
            }
            for (std::size_t end; (end = data.find('\0')) != std::string_view::npos; data.remove_prefix(end + 1)) {
                if (end > 0) visit(data.substr(0, end));
            }
            pending.assign(data);
        }
        if (!pending.empty()) visit(pending);
    } catch (...) {
        rg.kill();
        rg.wait();
        throw;
    }
    return rg.wait().success();
}

std::vector<fs::path> rg_files(const fs::path& dir) {
    std::vector<fs::path> files;
    bool ok = rg_files_each(dir, [&](std::string_view name) { files.push_back(dir / std::string(name)); });
    if (!ok) files.clear();
    return files;
}

void visit_dirs(const fs::path& root, const fs::path& dir, std::vector<std::string>& out) {
    FolderWalk walk(dir);
    while (walk.next()) {
        if (walk.kind() != FolderWalk::Kind::Folder) continue;
        std::string rel = relative_text(root, walk.entry_path());
        const fs::path parts(rel);
        if (std::any_of(parts.begin(), parts.end(), [](const fs::path& part) { return part.native().starts_with('.'); }))
            continue;
        out.push_back(std::move(rel));
        walk.enter();
    }
}

void visit_files(const fs::path& dir, const FileCollector& collector) {
    FolderWalk walk(dir);
    while (walk.next()) {
        switch (walk.kind()) {
            case FolderWalk::Kind::Folder:
                walk.enter_if_readable();  // unreadable: what it holds is left out, the rest comes
                break;
            case FolderWalk::Kind::KernelLink:
                break;
            case FolderWalk::Kind::File:
            case FolderWalk::Kind::Other:
                collector(fs::path(walk.entry_path()));
                break;
        }
    }
}

FileCollector find_md_files(std::vector<fs::path>& out) {
    return [&out](const fs::path& path) {
        if (path.extension() == ".md") out.push_back(path);
    };
}

FileCollector matching_files(std::vector<fs::path>& out) {
    return [&out](const fs::path& path) { out.push_back(path); };
}

void walk_tree(const fs::path& dir, const TreeVisitor& visit) {
    FolderWalk walk(dir);
    while (walk.next()) {
        if (walk.kind() == FolderWalk::Kind::KernelLink) continue;
        const bool is_dir = walk.kind() == FolderWalk::Kind::Folder;
        // Unreadable: what it holds is simply not offered.
        if (visit(fs::path(walk.entry_path()), is_dir) && is_dir) walk.enter_if_readable();
    }
}

void collect_dirs(const fs::path& root, const fs::path& dir, std::vector<std::string>& out) {
    walk_tree(dir, [&](const fs::path& path, bool is_dir) {
        if (!is_dir) return false;
        for (const auto& part : path) {
            if (part == ".git") return false;
        }
        out.push_back(relative_text(root, path));
        return true;
    });
}

}  // namespace vesk

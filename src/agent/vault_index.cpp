#include "agent/vault_index.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include <fmt/format.h>

#include "agent/vault_ignore.hpp"
#include "agent/vault_root.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTitleLines = 20;
constexpr std::size_t kTitleChars = 100;

std::uint64_t seconds_of(const struct stat& st) {
    return st.st_mtim.tv_sec < 0 ? 0 : static_cast<std::uint64_t>(st.st_mtim.tv_sec);
}

bool has_line_break(std::string_view text) { return text.find_first_of("\n\r") != std::string_view::npos; }

// The first `count` characters (code points) of valid UTF-8 text.
std::string_view first_chars(std::string_view text, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t n = 0; i < text.size() && n < count; ++n) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    }
    return text.substr(0, i);
}

// Reads the whole descriptor; nothing when reading fails (a directory, say).
std::optional<std::string> read_fd(int fd) {
    std::string out;
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return out;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

// The title and the mtime of the file `name` in the folder `dirfd`. Unreadable contents give the
// empty title; unreadable metadata is the error.
QuillboxIndexEntry read_entry(int dirfd, const char* name, const fs::path& shown_path) {
    QuillboxIndexEntry entry;
    struct stat st;
    int fd = ::openat(dirfd, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        std::optional<std::string> text;
        int stat_result = ::fstat(fd, &st);
        int stat_errno = errno;
        if (stat_result == 0 && S_ISREG(st.st_mode)) text = read_fd(fd);
        ::close(fd);
        if (stat_result != 0) throw SystemError(stat_errno, path_text(shown_path));
        entry.title = quillbox_title(text);
    } else {
        entry.title = quillbox_title(std::nullopt);
        if (::fstatat(dirfd, name, &st, 0) != 0) throw_errno(path_text(shown_path));
    }
    entry.mtime = seconds_of(st);
    return entry;
}

using DirId = std::pair<dev_t, ino_t>;

struct Walk {
    const std::vector<std::string>& patterns;
    std::vector<QuillboxIndexEntry>& entries;
    std::vector<DirId> chain;  // folders being walked: a link back to one of them is not followed
};

bool ignored(const Walk& walk, std::string_view name, bool name_is_text, std::string_view rel) {
    for (const std::string& pattern : walk.patterns) {
        if (wildcard_match(pattern, name_is_text ? name : std::string_view()) || wildcard_match(pattern, rel))
            return true;
    }
    return false;
}

class DirHandle {
public:
    explicit DirHandle(DIR* dir) : dir_(dir) {}
    ~DirHandle() {
        if (dir_) ::closedir(dir_);
    }
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;
    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

// Walks the open folder `fd` (taken over), whose path is `path` and whose path relative to the
// root is `rel_dir` ("" for the root itself).
void walk_folder(Walk& walk, int fd, const fs::path& path, const std::string& rel_dir) {
    DIR* raw = ::fdopendir(fd);
    if (!raw) {
        int e = errno;
        ::close(fd);
        throw SystemError(e, path_text(path));
    }
    DirHandle dir(raw);
    const int dirfd = ::dirfd(dir.get());
    for (;;) {
        errno = 0;
        struct dirent* ent = ::readdir(dir.get());
        if (!ent) {
            if (errno) throw_errno(path_text(path));
            break;
        }
        const std::string_view raw_name = ent->d_name;
        if (raw_name.starts_with('.')) continue;  // also . and .., .index and .recent
        if (raw_name == "quillbox-ignore.list") continue;
        const bool name_is_text = is_valid_utf8(raw_name);
        const std::string name = name_is_text ? std::string(raw_name) : lossy_utf8(raw_name);
        const std::string rel = rel_dir.empty() ? name : rel_dir + "/" + name;
        if (ignored(walk, raw_name, name_is_text, rel)) continue;

        unsigned char type = ent->d_type;
        struct stat st;
        bool have_stat = false;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            if (::fstatat(dirfd, ent->d_name, &st, 0) != 0) continue;  // a dangling link
            have_stat = true;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            int child = ::openat(dirfd, ent->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (child < 0) throw_errno(path_text(path / ent->d_name));
            if (!have_stat && ::fstat(child, &st) != 0) {
                int e = errno;
                ::close(child);
                throw SystemError(e, path_text(path / ent->d_name));
            }
            DirId id{st.st_dev, st.st_ino};
            if (std::find(walk.chain.begin(), walk.chain.end(), id) != walk.chain.end()) {
                ::close(child);
                continue;
            }
            walk.chain.push_back(id);
            walk_folder(walk, child, path / ent->d_name, rel);
            walk.chain.pop_back();
        } else if (type == DT_REG) {
            if (!name_is_text || has_line_break(rel)) continue;
            QuillboxIndexEntry entry = read_entry(dirfd, ent->d_name, path / ent->d_name);
            entry.dir = rel_dir;
            entry.name = name;
            walk.entries.push_back(std::move(entry));
        }
    }
}

// The path of `path` relative to `root`, component by component; an error when it is not under it.
fs::path relative_under(const fs::path& root, const fs::path& path) {
    std::optional<fs::path> rel = path_below(path, root);
    if (!rel) throw Error(fmt::format("prefix not found: {} does not lie under {}", path_text(path), path_text(root)));
    return *rel;
}

}  // namespace

std::string QuillboxIndexEntry::line() const { return fmt::format("{} | {} | {} | {}", dir, name, title, mtime); }

std::string quillbox_title(const std::optional<std::string>& text) {
    if (!text || !is_valid_utf8(*text)) return "(empty)";
    std::string_view rest = *text;
    for (std::size_t n = 0; n < kTitleLines && !rest.empty(); ++n) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        std::string_view trimmed = trim(line);
        if (trimmed.empty()) continue;
        std::string title(first_chars(trimmed, kTitleChars));
        std::replace(title.begin(), title.end(), '|', ' ');
        return title;
    }
    return "(empty)";
}

std::optional<QuillboxIndexEntry> quillbox_index_entry(const fs::path& root, const fs::path& file) {
    const std::string file_name = file.filename().native();
    if (is_valid_utf8(file_name) && file_name.starts_with('.')) return std::nullopt;
    const fs::path rel = relative_under(root, file);
    if (rel.empty()) return std::nullopt;
    const std::string name = rel.filename().native();
    if (!is_valid_utf8(name)) return std::nullopt;
    std::string dir = rel.has_parent_path() ? path_text(rel.parent_path()) : std::string();
    if (has_line_break(name) || has_line_break(dir)) return std::nullopt;

    QuillboxIndexEntry entry = read_entry(AT_FDCWD, file.c_str(), file);
    entry.dir = std::move(dir);
    entry.name = name;
    return entry;
}

void collect_quillbox_index_entries(const fs::path& root, const fs::path& folder,
                                    const std::vector<std::string>& patterns,
                                    std::vector<QuillboxIndexEntry>& entries) {
    Walk walk{patterns, entries, {}};
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw_errno(path_text(folder));
    struct stat st;
    if (::fstat(fd, &st) == 0) walk.chain.emplace_back(st.st_dev, st.st_ino);
    fs::path rel = relative_under(root, folder);
    std::string rel_dir = path_text(rel);
    walk_folder(walk, fd, folder, rel_dir);
}

std::string quillbox_index_text(const std::vector<QuillboxIndexEntry>& entries) {
    std::vector<std::pair<std::uint64_t, std::string>> lines;
    lines.reserve(entries.size());
    std::size_t size = 0;
    for (const QuillboxIndexEntry& entry : entries) {
        lines.emplace_back(entry.mtime, entry.line());
        size += lines.back().second.size() + 1;
    }
    std::sort(lines.begin(), lines.end());
    std::string text;
    text.reserve(size);
    for (const auto& [mtime, line] : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

void sort_index_lines(std::vector<std::string>& lines) {
    std::vector<std::pair<std::uint64_t, std::string>> keyed;
    keyed.reserve(lines.size());
    for (std::string& line : lines) keyed.emplace_back(index_mtime(line), std::move(line));
    std::stable_sort(keyed.begin(), keyed.end());
    lines.clear();
    for (auto& [mtime, line] : keyed) lines.push_back(std::move(line));
}

void append_quillbox_index_entry(const fs::path& root, const fs::path& file) {
    std::optional<QuillboxIndexEntry> entry = quillbox_index_entry(root, file);
    if (!entry) return;
    const std::string line = entry->line() + "\n";
    const fs::path index = root / ".index";
    VaultLock lock(root);
    int fd = ::open(index.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) throw_errno(path_text(index));
    // One write: a reader never sees half a line.
    ssize_t n;
    do {
        n = ::write(fd, line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    int e = errno;
    ::close(fd);
    if (n < 0) throw SystemError(e, path_text(index));
    if (static_cast<std::size_t>(n) != line.size()) throw Error(fmt::format("short write: {}", path_text(index)));
}

std::optional<std::string> parse_index_line_for_path(std::string_view line) {
    std::size_t first = line.find('|');
    if (first == std::string_view::npos) return std::nullopt;
    std::string_view dir = trim(line.substr(0, first));
    std::string_view rest = line.substr(first + 1);
    std::string_view name = trim(rest.substr(0, rest.find('|')));
    if (dir.empty()) return std::string(name);
    return fmt::format("{}/{}", dir, name);
}

std::uint64_t index_mtime(std::string_view line) {
    std::size_t bar = line.rfind('|');
    std::string_view field = trim(bar == std::string_view::npos ? line : line.substr(bar + 1));
    if (field.starts_with('+')) field.remove_prefix(1);
    if (field.empty()) return 0;
    std::uint64_t value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return 0;
        std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return 0;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace vesk::agent

#include "agent/vault_index.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <cerrno>
#include <utility>

#include <fmt/format.h>

#include "agent/preview.hpp"
#include "agent/vault_ignore.hpp"
#include "agent/vault_root.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/folder_walk.hpp"
#include "core/kernel_links.hpp"
#include "core/text.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTitleChars = 100;

std::uint64_t seconds_of(const struct stat& st) {
    return st.st_mtime < 0 ? 0 : static_cast<std::uint64_t>(st.st_mtime);
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

// The title and the mtime of the file `name` in the folder `dirfd`; nothing when the file is no
// longer there. Unreadable contents give the empty title; unreadable metadata is the error
// (`where` names the file for it).
template <class Where>
std::optional<QuillboxIndexEntry> read_entry(int dirfd, const char* name, const Where& where) {
    thread_local std::string buffer;
    QuillboxIndexEntry entry;
    struct stat st;
    // Not through /proc's per-process links: a file reached that way lies outside the vault.
    int fd = open_without_magic_links(dirfd, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        bool text = false;
        int stat_result = ::fstat(fd, &st);
        int stat_errno = errno;
        if (stat_result == 0 && S_ISREG(st.st_mode)) text = read_title_lines(fd, buffer);
        ::close(fd);
        if (stat_result != 0) throw SystemError(stat_errno, path_text(where()));
        entry.title = text ? quillbox_title(std::string_view(buffer)) : quillbox_title(std::nullopt);
    } else {
        entry.title = quillbox_title(std::nullopt);
        if (::fstatat(dirfd, name, &st, 0) != 0) {
            if (errno == ENOENT) return std::nullopt;
            throw_errno(path_text(where()));
        }
    }
    entry.mtime = seconds_of(st);
    return entry;
}

// A file the walk found, read afterwards: folder (its place in FoundFiles::folders) and name.
struct FoundFile {
    std::size_t folder;
    std::string name;
};

// What the walk found: the files, and the folders that hold any (the others need not be kept).
struct FoundFiles {
    std::vector<std::string> folders;      // the folder's path
    std::vector<std::string> folder_rels;  // and its path from the root ("" for the root)
    std::vector<FoundFile> files;
};

// Walks `folder`, whose path from the root is `rel_top`, noting the files to read.
FoundFiles find_files(const fs::path& folder, const std::string& rel_top, const std::vector<std::string>& patterns) {
    FoundFiles found;
    FolderWalk walk(folder);
    std::size_t serial = SIZE_MAX;
    std::string rel_dir;          // of the folder the walk is in
    std::size_t kept = SIZE_MAX;  // its place in found.folders, once it holds a file
    while (walk.next()) {
        if (walk.folder_serial() != serial) {
            serial = walk.folder_serial();
            const std::string_view below = walk.folder_below_top();
            rel_dir = rel_top;
            if (!rel_dir.empty() && !below.empty()) rel_dir += '/';
            rel_dir += is_valid_utf8(below) ? std::string(below) : lossy_utf8(below);
            kept = SIZE_MAX;
        }
        const std::string_view name = walk.name();
        if (name.starts_with('.')) continue;  // also .index and .recent
        if (name == "quillbox-ignore.list") continue;
        const bool name_is_text = is_valid_utf8(name);
        // The path from the root is only needed for patterns; most vaults have none.
        if (!patterns.empty()) {
            std::string rel = name_is_text ? std::string(name) : lossy_utf8(name);
            if (!rel_dir.empty()) rel = rel_dir + "/" + rel;
            if (quillbox_ignored(patterns, name, rel)) continue;
        }
        switch (walk.kind()) {
            case FolderWalk::Kind::Folder:
                walk.enter();
                break;
            case FolderWalk::Kind::File:
                if (!name_is_text || has_line_break(name) || has_line_break(rel_dir)) break;
                if (kept == SIZE_MAX) {
                    kept = found.folders.size();
                    found.folders.push_back(walk.folder_path());
                    found.folder_rels.push_back(rel_dir);
                }
                found.files.push_back({kept, std::string(name)});
                break;
            case FolderWalk::Kind::Other:
            case FolderWalk::Kind::KernelLink:
                break;
        }
    }
    return found;
}

// Reads title and mtime of every file the walk found into its entry (`out`, one per file); `gone`
// marks the files removed since they were listed (an editor's swap file, a sync tool at work).
// Reading thousands of small files is most of a build, and it goes as fast as the disk allows
// only with several reads under way at once: a few threads take the files in turns of 64. The
// first error seen stops them and is thrown.
void read_found_files(const FoundFiles& walk, QuillboxIndexEntry* out, char* gone) {
    const std::size_t count = walk.files.size();
    constexpr std::size_t kTurn = 64;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    std::mutex error_lock;
    auto work = [&] {
        try {
            std::string path;
            for (std::size_t first; !failed && (first = next.fetch_add(kTurn)) < count;) {
                for (std::size_t i = first; i < std::min(first + kTurn, count) && !failed; ++i) {
                    const FoundFile& file = walk.files[i];
                    path = walk.folders[file.folder];
                    path += '/';
                    path += file.name;
                    std::optional<QuillboxIndexEntry> read =
                        read_entry(AT_FDCWD, path.c_str(), [&] { return fs::path(path); });
                    if (!read) {
                        gone[i] = 1;
                        continue;
                    }
                    out[i].title = std::move(read->title);
                    out[i].mtime = read->mtime;
                }
            }
        } catch (...) {
            std::lock_guard<std::mutex> guard(error_lock);
            if (!error) error = std::current_exception();
            failed = true;
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t helpers = count < 4 * kTurn ? 0 : std::min<std::size_t>(cores, 8) - 1;
    std::vector<std::thread> threads;
    for (std::size_t k = 0; k < helpers; ++k) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer helpers, same result
        }
    }
    work();
    for (std::thread& thread : threads) thread.join();
    if (error) std::rethrow_exception(error);
}

// The path of `path` relative to `root`, component by component; an error when it is not under it.
fs::path relative_under(const fs::path& root, const fs::path& path) {
    std::optional<fs::path> rel = path_below(path, root);
    if (!rel) throw Error(fmt::format("prefix not found: {} does not lie under {}", path_text(path), path_text(root)));
    return *rel;
}

}  // namespace

std::string QuillboxIndexEntry::line() const { return fmt::format("{} | {} | {} | {}", dir, name, title, mtime); }

std::string quillbox_title(const std::optional<std::string_view>& text) {
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

    std::optional<QuillboxIndexEntry> entry = read_entry(AT_FDCWD, file.c_str(), [&] { return file; });
    if (!entry) throw SystemError(ENOENT, path_text(file));
    entry->dir = std::move(dir);
    entry->name = name;
    return entry;
}

void collect_quillbox_index_entries(const fs::path& root, const fs::path& folder,
                                    const std::vector<std::string>& patterns,
                                    std::vector<QuillboxIndexEntry>& entries) {
    const FoundFiles walk = find_files(folder, path_text(relative_under(root, folder)), patterns);
    const std::size_t first = entries.size();
    entries.resize(first + walk.files.size());
    for (std::size_t i = 0; i < walk.files.size(); ++i) {
        entries[first + i].dir = walk.folder_rels[walk.files[i].folder];
        entries[first + i].name = walk.files[i].name;
    }
    std::vector<char> gone(walk.files.size(), 0);
    read_found_files(walk, entries.data() + first, gone.data());
    std::size_t kept = first;
    for (std::size_t i = 0; i < walk.files.size(); ++i) {
        if (gone[i]) continue;
        if (kept != first + i) entries[kept] = std::move(entries[first + i]);
        ++kept;
    }
    entries.resize(kept);
}

std::string quillbox_index_text(const std::vector<QuillboxIndexEntry>& entries) {
    // All lines in one buffer, ordered through views into it: a vault has tens of thousands.
    std::string all;
    std::size_t size = 0;
    for (const QuillboxIndexEntry& e : entries) size += e.dir.size() + e.name.size() + e.title.size() + 32;
    all.reserve(size);
    struct Line {
        std::uint64_t mtime;
        std::size_t offset, length;
    };
    std::vector<Line> lines;
    lines.reserve(entries.size());
    for (const QuillboxIndexEntry& e : entries) {
        const std::size_t offset = all.size();
        fmt::format_to(std::back_inserter(all), "{} | {} | {} | {}", e.dir, e.name, e.title, e.mtime);
        lines.push_back({e.mtime, offset, all.size() - offset});
    }
    auto view = [&](const Line& l) { return std::string_view(all).substr(l.offset, l.length); };
    std::sort(lines.begin(), lines.end(), [&](const Line& a, const Line& b) {
        if (a.mtime != b.mtime) return a.mtime < b.mtime;
        return view(a) < view(b);
    });
    std::string text;
    text.reserve(all.size() + lines.size());
    for (const Line& l : lines) {
        text += view(l);
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
    append_to_file(index, line);
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
    return parse_line_number(field).value_or(0);
}

}  // namespace vesk::agent

#include "agent/vault_list.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <unordered_set>
#include <utility>

#include <fmt/format.h>

#include "agent/preview.hpp"
#include "agent/quillbox.hpp"
#include "agent/text.hpp"
#include "agent/vault_ignore.hpp"
#include "agent/vault_index.hpp"
#include "agent/vault_root.hpp"
#include "core/command.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/folder_walk.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "pickers/tools.hpp"
#include "pickers/walkers.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

// The lines of `text` from the last to the first, each without its line end ("\n" or "\r\n").
template <class Visit>
void for_each_line_backwards(std::string_view text, Visit&& visit) {
    std::size_t end = text.size();
    if (end > 0 && text[end - 1] == '\n') --end;  // a final line end starts no empty line
    if (text.empty()) return;
    for (;;) {
        const void* previous = end > 0 ? ::memrchr(text.data(), '\n', end) : nullptr;
        const std::size_t start = previous ? static_cast<const char*>(previous) - text.data() + 1 : 0;
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        visit(line);
        if (start == 0) break;
        end = start - 1;
    }
}

// The first two fields of an index line, trimmed: what names its file.
std::pair<std::string_view, std::string_view> file_fields(std::string_view line) {
    const std::size_t first = line.find('|');
    const std::size_t second = line.find('|', first + 1);
    return {trim(line.substr(0, first)), trim(line.substr(first + 1, second - first - 1))};
}

// The files met so far, as positions of their shown lines: an open-addressing table, so that
// tens of thousands of index lines cost no allocation each.
class SeenFiles {
public:
    SeenFiles(const std::vector<std::string_view>& shown, std::size_t expected) : shown_(shown) {
        std::size_t size = 1024;
        while (size < expected * 2) size *= 2;
        slots_.assign(size, 0);
    }
    // True when no shown line named this file yet; the caller then shows it as line shown.size().
    bool insert(std::pair<std::string_view, std::string_view> file) {
        if ((count_ + 1) * 2 > slots_.size()) grow();
        const std::uint32_t hash = hash_of(file);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const std::uint64_t slot = slots_[i];
            if (slot == 0) {
                slots_[i] = (std::uint64_t(hash) << 32) | (shown_.size() + 1);
                ++count_;
                return true;
            }
            if ((slot >> 32) == hash && file_fields(shown_[(slot & 0xFFFFFFFFu) - 1]) == file) return false;
        }
    }

private:
    static std::uint32_t hash_of(std::pair<std::string_view, std::string_view> file) {
        const std::size_t h = std::hash<std::string_view>()(file.first) * 1000003u ^ std::hash<std::string_view>()(file.second);
        return static_cast<std::uint32_t>(h ^ (h >> 32));
    }
    void grow() {
        std::vector<std::uint64_t> old = std::move(slots_);
        slots_.assign(old.size() * 2, 0);
        const std::size_t mask = slots_.size() - 1;
        for (std::uint64_t slot : old) {
            if (slot == 0) continue;
            std::size_t i = (slot >> 32) & mask;
            while (slots_[i] != 0) i = (i + 1) & mask;
            slots_[i] = slot;
        }
    }
    const std::vector<std::string_view>& shown_;
    std::vector<std::uint64_t> slots_;
    std::size_t count_ = 0;
};

// The lines joined with "\n", as a LineFilter takes them.
template <class Lines>
std::string joined_lines(const Lines& lines) {
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 1;
    std::string text;
    text.reserve(size);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += '\n';
        text += lines[i];
    }
    return text;
}

void print(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// Lines in reverse order.
std::vector<std::string> reversed_lines(std::string_view text) {
    std::vector<std::string> lines = split_lines(text);
    std::reverse(lines.begin(), lines.end());
    return lines;
}

// A glob matching `name` alone, at any depth: its metacharacters escaped.
std::string literal_name_glob(std::string_view name) {
    std::string glob = "!";
    for (const char c : name) {
        if (std::strchr("\\*?[]{}!", c)) glob += '\\';
        glob += c;
    }
    return glob;
}

// A link in the vault may lead anywhere, and rg follows links. Into /proc and /sys it is kept by
// --one-file-system, but /proc's per-process links lie on the vault's own disk (`root ->
// /proc/self/root` leads to every file), and no rg option refuses them. The vault's own walk tells
// them apart; rg is told to pass over every entry of such a name, wherever it meets one (a name
// and not a path: rg may reach the same folder by another way than the walk did).
std::vector<std::string> kernel_link_globs(const fs::path& root) {
    std::set<std::string, std::less<>> names;
    FolderWalk walk(root, FolderWalk::Stay::OnTopFilesystem);
    while (walk.next()) {
        const std::string_view name = walk.name();
        // rg's globs leave git's data out. The ignore patterns do not count here: they come from
        // the vault too, and rg reads them as globs, not as this walk does.
        if (name == ".git") continue;
        switch (walk.kind()) {
            case FolderWalk::Kind::Folder:
                walk.enter_if_readable();  // what rg cannot read either
                break;
            case FolderWalk::Kind::KernelLink:
                names.emplace(name);
                break;
            case FolderWalk::Kind::File:
            case FolderWalk::Kind::Other:
                break;
        }
    }
    std::vector<std::string> globs;
    for (const std::string& name : names) {
        globs.push_back("--glob");
        globs.push_back(literal_name_glob(name));
    }
    return globs;
}

// ripgrep in the vault, standard input on /dev/null (rg would search a piped input instead).
std::string run_rg(const fs::path& root, std::vector<std::string> args) {
    ChildCommand rg("rg", std::move(args));
    rg.cwd = root.string();
    return command_output_allow_failure(rg);
}

// rg's walk keeps to the filesystem where its search starts (kept through links in the one-thread
// walk that --sort makes): a folder linked in from another disk is listed by name from the index,
// not searched here.
constexpr const char* kOwnFilesystem = "--one-file-system";

void add_globs(std::vector<std::string>& args, const fs::path& root, const std::vector<std::string>& patterns) {
    for (const std::string& pattern : patterns) {
        args.push_back("--glob");
        args.push_back("!" + pattern);
    }
    // --hidden would otherwise search the git data and the vault's own index and history.
    for (const char* own : {"!.git", "!/.index", "!/.recent"}) {
        args.push_back("--glob");
        args.push_back(own);
    }
    // Last, as the glob given last wins.
    const std::vector<std::string> kernel_links = kernel_link_globs(root);
    args.insert(args.end(), kernel_links.begin(), kernel_links.end());
}

}  // namespace

std::string list_index_search(const fs::path& root, LineFilter& filter) {
    const fs::path index = root / ".index";
    if (!regular_file_at(index)) return "(Index file not found or empty)\n";
    const FileBytes bytes(index);
    const std::string_view text = bytes.view();
    // The picker reloads this on every keystroke over tens of thousands of lines: the lines stay
    // views into the index, and a file is known by its two trimmed fields.
    std::vector<std::string_view> shown;
    shown.reserve(text.size() / 64);
    SeenFiles seen(shown, text.size() / 64);
    std::string rel;
    for_each_line_backwards(text, [&](std::string_view line) {
        std::size_t first = line.find('|');
        if (first == std::string_view::npos) return;
        std::size_t second = line.find('|', first + 1);
        if (second == std::string_view::npos) return;
        std::size_t third = line.find('|', second + 1);
        const auto [dir, name] = file_fields(line);
        rel.assign(dir);
        if (!dir.empty()) rel += '/';
        rel.append(name);
        if (!stays_in_vault(root, rel) || !seen.insert({dir, name})) return;
        shown.push_back(line.substr(0, third));
    });
    return filter.filter(joined_lines(shown));
}

std::string list_deep_search(const fs::path& root, const std::vector<std::string>& patterns, std::string_view query) {
    if (!which("rg")) return "[Deep Search requires 'ripgrep' (rg). Please install it.]\n";
    if (!query.empty()) {
        // The query goes after -e: one beginning with "-" would otherwise be read as an option.
        std::vector<std::string> args = {"--line-number", "--with-filename", "--no-heading", "--color=never",
                                         "--smart-case",  "--follow",        "--hidden",     "--sort",
                                         "modified",      kOwnFilesystem,    "-e",           std::string(query)};
        add_globs(args, root, patterns);
        return lines_with_newline(reversed_lines(run_rg(root, std::move(args))),
                                  fmt::format("[No matches found for: {}]", query));
    }
    const fs::path index = root / ".index";
    if (regular_file_at(index)) {
        // Paths, not index lines: the picker reads a deep-search line as "path[:line...]".
        std::vector<std::string> paths;
        for (const std::string& line : split_lines(read_file(index))) {
            std::optional<std::string> rel = parse_index_line_for_path(line);
            if (rel && stays_in_vault(root, *rel)) paths.push_back(std::move(*rel));
        }
        return lines_with_newline(paths, "[No files found]");
    }
    std::vector<std::string> args = {"--files", "--hidden", "--follow", "--sort", "modified", kOwnFilesystem};
    add_globs(args, root, patterns);
    return lines_with_newline(reversed_lines(run_rg(root, std::move(args))), "[No files found]");
}

std::string list_recent_search(const fs::path& root, LineFilter& filter) {
    const fs::path recent = root / ".recent";
    if (!regular_file_at(recent)) return "[No recent items yet]\n";
    const std::string text = read_file(recent);
    std::unordered_set<std::string> seen;
    std::vector<std::string> shown;
    for_each_line_backwards(text, [&](std::string_view line) {
        if (line.empty() || !seen.insert(std::string(line)).second) return;
        const fs::path rel{std::string(line)};
        const std::optional<fs::path> file = vault_item_path(root, line);
        if (!file || !regular_file_at(*file)) return;
        std::string dir;
        if (rel.has_parent_path() && is_valid_utf8(rel.parent_path().native())) dir = rel.parent_path().native();
        std::string name = rel.has_filename() ? path_text(rel.filename()) : std::string(line);
        shown.push_back(fmt::format("{} | {} | {}", dir, name, first_non_empty_line(*file).value_or("(empty)")));
    });
    return filter.filter(joined_lines(shown));
}

std::string list_file_move(const fs::path& root, std::string_view query) {
    std::vector<std::string> dirs;
    if (which("find")) {
        ChildCommand find("find", {".", "-mindepth", "1", "-type", "d", "-not", "-path", "*/.*", "-print"});
        find.cwd = root.string();
        for (std::string& line : split_lines(command_output_allow_failure(find))) {
            if (line.starts_with("./")) line.erase(0, 2);
            dirs.push_back(std::move(line));
        }
    } else {
        visit_dirs(root, root, dirs);
    }
    dirs = sort_like_shell(std::move(dirs));
    dirs.insert(dirs.begin(), ".");
    // fzf filters nothing in the picker: the typed query narrows the folders here.
    return filter_lines(lines_with_newline(dirs, ""), query);
}

std::string quillbox_list_vaults(const fs::path& zelt, std::string_view current, std::string_view query) {
    const fs::path list = zelt / "lists" / "quillbox.list";
    struct stat st;
    if (::stat(list.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        write_file_atomically(list, std::string(current) + "\n", Links::Followed);
    std::string text = lossy_utf8(read_file(list));
    if (query.empty()) {
        if (!text.empty() && !text.ends_with('\n')) text += '\n';
        return text;
    }
    const std::string needle = to_lower(query);
    std::vector<std::string> kept;
    for (std::string& line : split_lines(text)) {
        if (to_lower(line).find(needle) != std::string::npos) kept.push_back(std::move(line));
    }
    return lines_with_newline(kept, "[No matching vaults]");
}

void quillbox_list(const QuillboxListArgs& args) {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const std::string query = args.query.value_or("");
    // fzf starts while the root is looked up and the lines are read, and prints what it keeps
    // straight to our standard output: no copy of its output passes through here.
    std::optional<LineFilter> filter;
    if (args.mode == QuillboxListMode::IndexSearch || args.mode == QuillboxListMode::RecentSearch)
        filter.emplace(query, true);
    const fs::path root = qbox_root(tmux);
    std::string out;
    switch (args.mode) {
        case QuillboxListMode::IndexSearch:
            out = list_index_search(root, *filter);
            break;
        case QuillboxListMode::DeepSearch:
            out = list_deep_search(root, quillbox_ignore_patterns(zelt_path(tmux), root), query);
            break;
        case QuillboxListMode::RecentSearch:
            out = list_recent_search(root, *filter);
            break;
        case QuillboxListMode::VaultSelect: {
            const fs::path zelt = zelt_path(tmux);
            out = quillbox_list_vaults(zelt, tmux.option("@zelt/quillbox").value_or("~/.quillbox"), query);
            break;
        }
        case QuillboxListMode::FileMove:
            out = list_file_move(root, query);
            break;
    }
    print(out);
}

}  // namespace vesk::agent

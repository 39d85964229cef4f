// Listing files and directories below a directory for the pickers and the agent tools.
// Results come in the order the directory listings give (no sorting), parents before children.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// `rg --files --max-depth 5` run in `dir`, each path joined onto `dir` as rg printed its bytes
// (a name holding a line feed stays whole). ripgrep's ignore rules apply. An unsuccessful rg run gives an empty list; failing to start rg throws.
std::vector<std::filesystem::path> rg_files(const std::filesystem::path& dir);
// The same listing handed to `visit` name by name (relative to `dir`, as rg printed its bytes) while
// rg runs, so that nothing holds the whole list. Whether rg ended successfully; a directory rg
// cannot start in visits nothing and gives false. Failing to start rg throws; what `visit` throws
// stops rg and comes through.
bool rg_files_each(const std::filesystem::path& dir, const std::function<void(std::string_view)>& visit);

// Directories below `dir` (symbolic links followed) as text relative to `root`, skipping every
// directory with a relative component that starts with '.' and all below it. Start with
// root == dir. An unreadable directory throws SystemError naming it; what was recorded stays in
// `out`. Walks as walk_tree does (each directory once, never the kernel's trees nor a link
// through /proc's per-process links), but a directory reached again is still recorded.
void visit_dirs(const std::filesystem::path& root, const std::filesystem::path& dir, std::vector<std::string>& out);

// Called with the full path of every non-directory entry.
using FileCollector = std::function<void(const std::filesystem::path&)>;

// Every file below `dir`, hidden ones included, handed to the collector. Walks as walk_tree
// does: a directory below `dir` that cannot be read is left out, a link through /proc's
// per-process links is neither followed nor handed over; only an unreadable `dir` throws.
void visit_files(const std::filesystem::path& dir, const FileCollector& collector);

// Collectors: paths with the extension exactly "md", or every path.
FileCollector find_md_files(std::vector<std::filesystem::path>& out);
FileCollector matching_files(std::vector<std::filesystem::path>& out);

// Called with each entry below a walked directory and whether it is a directory (symbolic links
// followed); for a directory, returns whether to walk into it.
using TreeVisitor = std::function<bool(const std::filesystem::path&, bool is_dir)>;

// Every entry below `dir`, depth first, a directory before what it holds, in listing order. Made
// for walks from wherever the user stands (even "/") over trees of any depth: a directory is
// walked into once, so a link loop or a second way to the same place is offered but not walked
// again; a directory below `dir` that cannot be read is skipped; the kernel's generated trees
// (/proc, /sys and the like) are offered but not walked into; a link through /proc's per-process
// links (to /proc/self/root, say), or to a file of those trees, is not offered, nor is an entry
// whose path is too long to open. Only an unreadable `dir` itself throws.
void walk_tree(const std::filesystem::path& dir, const TreeVisitor& visit);

// Directories below `dir` as text relative to `root`, hidden ones included, skipping any
// directory whose full path has a component exactly ".git". Walks as walk_tree does.
void collect_dirs(const std::filesystem::path& root, const std::filesystem::path& dir, std::vector<std::string>& out);

}  // namespace vesk

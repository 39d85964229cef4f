// `quillbox move-item SOURCE_FILE TARGET_DIR INDEX_FILE QBOX_ROOT`.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <fmt/format.h>

#include "agent/quillbox.hpp"
#include "agent/text.hpp"
#include "agent/vault_index.hpp"
#include "agent/vault_root.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

// Renames without ever replacing what is at `to`: EEXIST when something is there.
int rename_no_replace(const fs::path& from, const fs::path& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
    // Where the file system cannot rename without replacing: a second name first (which fails
    // when the destination exists), then the old name goes.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    if (::unlink(from.c_str()) != 0) {
        int e = errno;
        ::unlink(to.c_str());
        return e;
    }
    return 0;
}

}  // namespace

void quillbox_move_item(const QuillboxMoveArgs& args) {
    if (args.source_file.empty() || args.target_dir.empty()) throw Error("Error: Missing arguments");
    const fs::path root = args.qbox_root;
    const fs::path source = normal_form(args.source_file);
    const fs::path target = normal_form(args.target_dir);
    const fs::path src = root / source;
    if (!stays_in_vault(root, source.native()) || !regular_file_at(src) ||
        !resolves_inside(root, src.parent_path(), true))
        throw Error(fmt::format("Error: Source file not found: {}", args.source_file));
    const fs::path tgt = root / target;
    std::error_code ec;
    if (!stays_in_vault(root, target.native(), true) || !fs::is_directory(tgt, ec))
        throw Error(fmt::format("Error: Target directory not found: {}", args.target_dir));
    if (!resolves_inside(root, tgt, true))
        throw Error(fmt::format("Error: Target directory is outside the vault: {}", args.target_dir));

    const std::string name = is_valid_utf8(src.filename().native()) ? src.filename().native() : std::string();
    const fs::path dest = tgt / src.filename();
    const bool to_root = target == ".";
    const std::string moved = to_root ? name : fmt::format("{}/{}", path_text(target), name);
    if (int err = rename_no_replace(src, dest)) {
        if (err == EEXIST) throw Error(fmt::format("Error: Destination file already exists: {}", moved));
        throw SystemError(err, path_text(src));
    }

    std::string parent;
    if (source.has_parent_path() && is_valid_utf8(source.parent_path().native())) parent = source.parent_path().native();
    const std::string head = fmt::format("{} | {} |", parent, path_text(source.filename()));

    // Read, changed and replaced under the vault's lock, so a line appended meanwhile stays.
    VaultLock lock(root);
    std::vector<std::string> lines;
    std::string text;
    try {
        // A link there is not this vault's index: the lines of whatever it points at are not
        // copied into the vault.
        text = lossy_utf8(read_file(args.index_file, kReadLimit, Links::NotFollowed));
    } catch (const std::exception&) {
        // No index yet: it starts with the moved file's line.
    }
    for (std::string& line : split_lines(text))
        if (!line.starts_with(head)) lines.push_back(std::move(line));
    if (std::optional<QuillboxIndexEntry> entry = quillbox_index_entry(root, dest)) lines.push_back(entry->line());
    sort_index_lines(lines);
    write_file_atomically(args.index_file, lines_with_newline(lines, ""));
    const std::string out = moved + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace vesk::agent

// `quillbox build-index` and `quillbox update-index`.
#include <filesystem>

#include "agent/quillbox.hpp"
#include "agent/vault_ignore.hpp"
#include "agent/vault_index.hpp"
#include "agent/vault_root.hpp"
#include "core/files.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNeedsTmux = "tmux 세션에서만 실행할 수 있습니다.";

}  // namespace

void quillbox_build_index() {
    require_tmux(kNeedsTmux);
    Tmux tmux;
    const fs::path zelt = zelt_path(tmux);
    const fs::path root = qbox_root(tmux);
    std::error_code ec;
    if (!fs::is_directory(root, ec)) make_inbox(root);
    const std::vector<std::string> patterns = quillbox_ignore_patterns(zelt, root);
    // Held from the walk to the rename: a line appended meanwhile is then either found by the
    // walk or appended to the new index, never overwritten.
    VaultLock lock(root);
    std::vector<QuillboxIndexEntry> entries;
    collect_quillbox_index_entries(root, root, patterns, entries);
    write_file_atomically(root / ".index", quillbox_index_text(entries));
}

void quillbox_update_index(const QuillboxFileArgs& args) {
    require_tmux(kNeedsTmux);
    Tmux tmux;
    const fs::path root = qbox_root(tmux);
    const fs::path file = fs::absolute(fs::path(args.file));
    if (!regular_file_at(file)) return;
    if (!lies_under(file, root)) return;
    append_quillbox_index_entry(root, file);
}

}  // namespace vesk::agent

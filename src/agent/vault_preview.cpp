// `quillbox preview MODE_FILE SELECTION...`: what fzf's preview window shows for a picker line.
#include <cstdio>
#include <filesystem>

#include <fmt/format.h>

#include "agent/preview.hpp"
#include "agent/quillbox.hpp"
#include "agent/vault_root.hpp"
#include "agent/vault_selection.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kVaultEntriesShown = 20;
constexpr std::uint64_t kLinesBeforeHit = 15;
constexpr std::uint64_t kWindowLines = 30;

void print(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void preview_vault(std::string_view raw) {
    const fs::path folder = expand_home(raw);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        print(fmt::format("Directory does not exist yet: {}\n\nThis vault will be created when you select it.\n", raw));
        return;
    }
    fs::directory_iterator it(folder, ec);
    if (ec) throw SystemError(ec.value(), path_text(folder));
    std::string out;
    for (std::size_t shown = 0; it != fs::directory_iterator() && shown < kVaultEntriesShown; ++shown) {
        out += path_text(it->path().filename());
        out += '\n';
        it.increment(ec);
        if (ec) throw SystemError(ec.value(), path_text(folder));
    }
    print(out);
}

}  // namespace

void quillbox_preview(const QuillboxModeSelectionArgs& args) {
    Tmux tmux;
    const fs::path root = qbox_root(tmux);
    const std::string selection = joined_selection(args);
    std::string mode;
    try {
        mode = read_mode_file(args.mode_file);
    } catch (const std::exception&) {
        print("Preview not available for this mode\n");
        return;
    }
    if (mode == "deep-search") {
        DeepSelection hit = picked_item(root, mode, selection).value_or(DeepSelection{});
        if (!regular_file_at(hit.path)) return;
        if (!hit.line) {
            show_range(hit.path, std::nullopt, std::nullopt);
            return;
        }
        const std::uint64_t line = *hit.line;
        const std::uint64_t first = line > kLinesBeforeHit + 1 ? line - kLinesBeforeHit : 1;
        const std::uint64_t last = first > UINT64_MAX - kWindowLines ? UINT64_MAX : first + kWindowLines - 1;
        show_range(hit.path, static_cast<std::size_t>(line), LineRange{first, last});
    } else if (mode == "index-search" || mode == "recent-search") {
        const fs::path file = picked_item(root, mode, selection).value_or(DeepSelection{}).path;
        if (regular_file_at(file)) show_range(file, std::nullopt, std::nullopt);
    } else if (mode == "vault-select") {
        preview_vault(selection);
    } else {
        print("Preview not available for this mode\n");
    }
}

}  // namespace vesk::agent

// `quillbox import-list`: an indexed item picked with fzf, for the vim script's <leader>o.
#include <cstdio>
#include <filesystem>

#include <fmt/format.h>

#include "agent/quillbox.hpp"
#include "agent/vault_index.hpp"
#include "agent/vault_root.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

// Shows the file an index line names: its first two fields, trimmed, are the folder (empty
// directly in the root) and the name. As much as every preview reads, of a regular file only: cat
// would hang on a FIFO, never end on a device and pour a huge file into fzf.
std::string import_preview(const fs::path& root) {
    const std::string r = shell_quote_path(root);
    const std::string field =
        "printf '%s\\n' \"$line\" | cut -d '|' -f {} | sed 's/^[[:blank:]]*//; s/[[:blank:]]*$//'";
    return fmt::format(
        "line={{}}; dir=$({}); name=$({}); "
        "if [ -n \"$dir\" ]; then f={}/\"$dir\"/\"$name\"; else f={}/\"$name\"; fi; "
        "[ -f \"$f\" ] && head -c {} -- \"$f\" 2>/dev/null || echo '(file not found)'",
        fmt::format(fmt::runtime(field), 1), fmt::format(fmt::runtime(field), 2), r, r, kPreviewBytes);
}

}  // namespace

void quillbox_import_list() {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const fs::path root = qbox_root(tmux);
    const fs::path index = root / ".index";
    if (!regular_file_at(index)) throw ExitCode(1);
    // A line naming a file outside the vault is planted: not offered, nor its file shown.
    std::string lines;
    for (const std::string& line : split_lines(read_file(index))) {
        std::optional<std::string> rel = parse_index_line_for_path(line);
        if (rel && !vault_item_path(root, *rel)) continue;
        lines += line;
        lines += '\n';
    }

    ChildCommand fzf("fzf", {"--prompt=Import> ", "--preview", import_preview(root)});
    fzf.in = Stdio::Pipe;
    fzf.out = Stdio::Pipe;
    fzf.err = Stdio::Inherit;  // fzf draws its screen there
    fzf.end_on_signal = true;  // never left on the terminal without us
    fzf.set_env("SHELL", "/bin/sh");
    Output out = run_child(fzf, lines);
    const std::optional<int> code = out.status.code();
    if (code == 2) throw Error("fzf가 실패했습니다: " + out.status.describe());
    if (code != 0) throw ExitCode(1);
    std::optional<std::string> rel = parse_index_line_for_path(trim_end(lossy_utf8(out.out)));
    std::optional<fs::path> item = rel ? vault_item_path(root, *rel) : std::nullopt;
    if (!item) throw ExitCode(1);
    const std::string text = path_text(*item) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace vesk::agent

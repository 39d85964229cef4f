// One pass of the vault picker (`quillbox run-fzf`) and the fzf command line behind it.
#include "agent/vault_picker.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include <fmt/format.h>

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

constexpr const char* kNoMatchingVaults = "[No matching vaults]";

}  // namespace

std::vector<std::string> quillbox_fzf_args(std::string_view bin_text, const QuillboxRunFzfArgs& files) {
    const std::string bin(bin_text);
    const std::string mode = shell_quote_path(files.mode_file);
    const std::string query = shell_quote_path(files.query_file);
    const std::string source = shell_quote_path(files.source_file);
    const std::string prev = shell_quote_path(files.prev_mode_file);
    // The first line is the header fzf keeps out of the choice; "--" keeps a query or a line
    // that begins with '-' from being read as an option.
    const std::string reload =
        fmt::format("mode=$(cat {0}); echo \"[MODE: $mode]\"; {1} quillbox list \"$mode\" -- {{q}}", mode, bin);
    // Remembers the highlighted line (printf: echo -n would read backslashes in it) and the mode
    // it came from, then lists the folders under the same header and query as every other list.
    const std::string move = fmt::format(
        "execute-silent(printf '%s' {{}} > {0}; cat {1} > {2}; echo file-move > {1})+reload:{3}", source, mode, prev,
        reload);
    return {
        "--phony",
        "--prompt=QuillBox> ",
        "--expect=alt-enter",
        "--header-lines=1",
        "--preview-window=right:50%:wrap",
        "--bind", "start:reload:" + reload,
        "--bind", "change:reload:" + reload,
        "--bind",
        fmt::format("ctrl-t:execute-silent(mode=$(cat {0}); case $mode in index-search) echo deep-search > {0};; "
                    "deep-search) echo index-search > {0};; *) echo index-search > {0};; esac)+reload:{1}",
                    mode, reload),
        "--bind", fmt::format("ctrl-v:execute-silent(echo vault-select > {})+reload:{}", mode, reload),
        "--bind", fmt::format("ctrl-o:execute-silent({} quillbox open-in-finder {} -- {{}})", bin, mode),
        "--bind",
        fmt::format("ctrl-r:execute-silent(echo recent-search > {0})+reload:mode=$(cat {0}); echo \"[MODE: $mode]\"; "
                    "{1} quillbox list \"$mode\" \"\"",
                    mode, bin),
        "--bind", "ctrl-d:clear-query",
        "--bind", fmt::format("{}:execute-silent(echo create-vault > {})+accept", kNewVaultItemKey, mode),
        "--bind", fmt::format("ctrl-n:execute-silent(printf '%s' {{q}} > {}; echo create-named > {})+accept", query, mode),
        "--bind",
        fmt::format("ctrl-u:execute-silent(tmux display-message \"인덱싱 업데이트 중...\"; {} quillbox build-index)+reload:{}",
                    bin, reload),
        "--bind", fmt::format("ctrl-x:execute-silent({} quillbox delete-item {} -- {{}})+reload:{}", bin, mode, reload),
        // fzf 0.38 takes one key per binding: "alt-m,µ:" would stop it before it draws.
        "--bind", "alt-m:" + move,
        "--bind", "µ:" + move,
        "--bind",
        fmt::format("tab:execute-silent(mode=$(cat {}); if [ \"$mode\" = \"vault-select\" ]; then true; else exit 1; fi)",
                    mode),
        "--preview", fmt::format("{} quillbox preview {} -- {{}}", bin, mode),
    };
}

std::optional<QuillboxPass> read_quillbox_pass(std::string_view out, const std::string& mode, const std::string& query) {
    const bool creating = mode == "create-named" || mode == "create-vault";
    if (out.empty() && !creating) return std::nullopt;
    QuillboxPass pass{mode, "", ""};
    std::vector<std::string> lines = split_lines(out);
    if (!lines.empty()) pass.key = lines.front();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (i > 1) pass.selection += '\n';
        pass.selection += lines[i];
    }
    if (mode == "create-named") pass.selection = query;
    if (mode == "create-vault") pass.selection = kNewVaultSelection;
    if (pass.selection.empty() && mode != "create-named") return std::nullopt;
    return pass;
}

std::optional<std::string> quillbox_move_source(std::string_view prev_mode, std::string_view line,
                                                const ItemExists& exists) {
    if (prev_mode == "deep-search") {
        std::string rel = split_deep_line(line, exists).rel;
        return rel.empty() ? std::nullopt : std::optional<std::string>(rel);
    }
    if (prev_mode == "index-search" || prev_mode == "recent-search") return index_line_rel(line, exists);
    std::string text(trim(line));
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

bool is_vault_choice(std::string_view line) { return !trim(line).empty() && line != kNoMatchingVaults; }

std::optional<QuillboxPass> quillbox_run_fzf(const QuillboxRunFzfArgs& files) {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const fs::path root = qbox_root(tmux);
    // A link at the index, planted in a cloned vault, is replaced by the vault's own.
    if (!regular_file_at(root / ".index", Links::NotFollowed)) quillbox_build_index();
    const fs::path recent = root / ".recent";
    ::close(open_for_append(recent));

    ChildCommand fzf("fzf", quillbox_fzf_args(shell_quote(vesk_bin(tmux)), files));
    fzf.in = Stdio::Null;
    fzf.out = Stdio::Pipe;
    fzf.err = Stdio::Inherit;  // fzf draws its screen there
    fzf.end_on_signal = true;  // never left on the terminal without us
    // The bindings are POSIX shell: run them with sh whatever the user's login shell is.
    fzf.set_env("SHELL", "/bin/sh");
    Output out = run_child(fzf);
    const std::optional<int> code = out.status.code();
    // 0 a choice, 1 no match (the create keys accept on an empty list), 130 the user left.
    if (code == 130 || out.status.signal()) return std::nullopt;
    if (code != 0 && code != 1) throw Error("fzf가 실패했습니다: " + out.status.describe());

    std::string mode = "index-search";
    try {
        mode = read_mode_file(files.mode_file);
    } catch (const std::exception&) {
    }
    const std::string query = read_text_if_any(files.query_file).value_or("");
    return read_quillbox_pass(lossy_utf8(out.out), mode, query);
}

void quillbox_run_fzf_command(const QuillboxRunFzfArgs& args) {
    if (std::optional<QuillboxPass> pass = quillbox_run_fzf(args)) {
        const std::string line = fmt::format("{}|{}|{}\n", pass->mode, pass->key, pass->selection);
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
}

}  // namespace vesk::agent

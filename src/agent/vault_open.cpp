// `quillbox open`: the vault picker's state, and the loop that acts on each pass.
#include <filesystem>

#include <fmt/format.h>

#include "agent/quillbox.hpp"
#include "agent/vault_create.hpp"
#include "agent/vault_edit.hpp"
#include "agent/vault_picker.hpp"
#include "agent/vault_root.hpp"
#include "agent/vault_selection.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

// Every later command of this picker (fzf's bindings, the edits, the item run) works in the vault
// `raw` names, its inbox made. A relative root means the directory the picker opened in, for every
// command it starts.
void use_vault(const Tmux& tmux, const std::string& raw) {
    fs::path root = expand_home(raw);
    if (root.is_relative()) root = fs::absolute(root).lexically_normal();
    make_inbox(root);
    set_env_var(kQuillboxRootVar, path_text(root));
    tmux.run({"set-option", "-gq", "@qbox_root", path_text(root)});
}

void write_mode(const QuillboxRunFzfArgs& files, std::string_view mode) {
    write_file_atomically(files.mode_file, std::string(mode) + "\n", 0600);
}

// A child on the picker's terminal: its exit code, 1 when a signal ended it.
int run_on_terminal(const ChildCommand& command) { return Child::spawn(command).wait().code().value_or(1); }

void switch_vault(const Tmux& tmux, const std::string& raw) {
    const fs::path zelt = zelt_path(tmux);
    use_vault(tmux, raw);
    write_file_atomically(zelt / "quillbox", raw + "\n", Links::Followed);
    tmux.run({"set-option", "-gq", "@zelt/quillbox", raw});
    display_message(tmux, fmt::format("Vault switched to: {}", raw));
    display_message(tmux, "인덱싱을 시작합니다... (2000+ files)");
    try {
        quillbox_build_index();
    } catch (const std::exception&) {
        // The next pass builds the index when it is still missing.
    }
}

void create_named(const Tmux& tmux, const fs::path& root, const QuillboxRunFzfArgs& files,
                  const std::string& name) {
    // Known before create-named makes it: an item that was not there and is still empty after
    // vim is taken back.
    std::optional<fs::path> planned;
    try {
        planned = quillbox_named_path(root, {name});
    } catch (const std::exception&) {
        // create-named reports the name it refuses.
    }
    const bool existed = planned && fs::exists(*planned);
    ChildCommand create(vesk_bin(tmux), {"quillbox", "create-named", "--", name});
    create.out = Stdio::Pipe;
    Output out = run_child(create);
    if (!out.status.success()) throw Error(fmt::format("command failed: {}", out.status.describe()));
    const fs::path path(std::string(trim(lossy_utf8(out.out))));
    if (!regular_file_at(path)) {
        display_message(tmux, "File creation failed.");
    } else {
        run_quillbox_vim(path, std::nullopt);
        if (!planned || !existed || path != *planned) discard_untouched_item(root, path);
    }
    write_mode(files, "index-search");
}

void move_item(const Tmux& tmux, const fs::path& root, const QuillboxRunFzfArgs& files, const std::string& folder) {
    const std::string text = read_text_if_any(files.source_file).value_or("");
    std::string prev = "index-search";
    if (auto p = read_text_if_any(files.prev_mode_file)) prev = std::string(trim(*p));
    std::optional<std::string> source = quillbox_move_source(prev, text, item_file_under(root));
    if (!source || source->empty() || folder.empty()) {
        display_message(tmux, "Move cancelled (Missing source or target).");
    } else {
        // "--": an item or folder whose name begins with '-' is a name, not an option.
        ChildCommand move(vesk_bin(tmux), {"quillbox", "move-item", "--", *source, folder, path_text(root / ".index"),
                                           path_text(root)});
        const int code = run_on_terminal(move);
        display_message(tmux, code == 0 ? fmt::format("Moved to: {}", folder) : std::string("Move failed."));
    }
    write_mode(files, prev.empty() ? "index-search" : prev);
}

enum class Next { Pass, Done };

Next edit_then(const fs::path& path, std::optional<std::uint64_t> line) {
    return run_quillbox_vim(path, line) == kQuillboxExecuted ? Next::Done : Next::Pass;
}

Next act(const QuillboxRunFzfArgs& files, const QuillboxPass& pass) {
    Tmux tmux;
    const fs::path root = qbox_root(tmux);
    const bool edit = pass.key == "alt-enter";
    const std::string& mode = pass.mode;
    if (mode == "deep-search" || mode == "index-search" || mode == "recent-search") {
        // A line naming a file outside the vault (planted in .index or .recent) is neither run
        // nor opened.
        const std::optional<DeepSelection> hit = picked_item(root, mode, pass.selection);
        if (!hit) return Next::Pass;
        if (edit) return edit_then(hit->path, hit->line);
        if (regular_file_at(hit->path)) quillbox_execute_item(QuillboxFileArgs{path_text(hit->path)});
        return Next::Done;
    }
    if (mode == "vault-select") {
        if (edit) return edit_then(zelt_path(tmux) / "lists" / "quillbox.list", std::nullopt);
        if (is_vault_choice(pass.selection)) switch_vault(tmux, pass.selection);
        return Next::Pass;
    }
    if (mode == "create-named") {
        create_named(tmux, root, files, pass.selection);
        return Next::Pass;
    }
    if (mode == "create-vault") {
        if (run_on_terminal(ChildCommand(vesk_bin(tmux), {"quillbox", "create-vault"})) == kQuillboxExecuted) return Next::Done;
        write_mode(files, "index-search");
        return Next::Pass;
    }
    if (mode == "file-move") {
        move_item(tmux, root, files, pass.selection);
        return Next::Pass;
    }
    display_message(tmux, fmt::format("Unknown mode: {}", mode));
    throw ExitCode(1);
}

}  // namespace

void quillbox_open_loop(const QuillboxRunFzfArgs& files) {
    while (std::optional<QuillboxPass> pass = quillbox_run_fzf(files)) {
        if (act(files, *pass) == Next::Done) return;
    }
}

void quillbox_open(const QuillboxOpenArgs& args) {
    require_tmux("tmux 세션에서만 실행할 수 있습니다.");
    Tmux tmux;
    const std::optional<std::string> zelt_text = tmux.option("@zelt");
    if (!zelt_text) throw Exit99();
    const fs::path zelt(*zelt_text);
    const fs::path pointer = zelt / "quillbox";
    const bool has_pointer = regular_file_at(pointer);
    const std::string text = has_pointer ? read_text_if_any(pointer).value_or("")
                                         : tmux.option("@zelt/quillbox").value_or("");
    std::string raw(trim(text));
    if (raw.empty()) raw = "~/.quillbox";
    use_vault(tmux, raw);
    tmux.run({"set-option", "-gq", "@zelt/quillbox", raw});
    if (!has_pointer) write_file_atomically(pointer, raw + "\n", Links::Followed);

    if (args.target_pane) {
        if (!args.target_pane->empty()) set_env_var("QBZ_TARGET_PANE", *args.target_pane);
    } else if (auto pane = env_non_empty("TMUX_PANE")) {
        set_env_var("QBZ_TARGET_PANE", *pane);
    }
    if (args.target_command && !args.target_command->empty()) set_env_var("QBZ_TARGET_CMD", *args.target_command);

    PrivateTempDir state("qbox");
    const QuillboxRunFzfArgs files{path_text(state.file("qbox-mode")), path_text(state.file("qbox-query")),
                                   path_text(state.file("qbox-move-source")),
                                   path_text(state.file("qbox-prev-mode"))};
    write_file_atomically(files.mode_file, "index-search\n", 0600);
    for (const std::string* empty : {&files.query_file, &files.source_file, &files.prev_mode_file})
        write_file_atomically(*empty, "", 0600);
    try {
        quillbox_open_loop(files);
    } catch (const ExitCode&) {
        throw;
    } catch (const std::exception& e) {
        // The floating pane closes with the picker, taking anything printed along: say it where
        // the user looks.
        try {
            display_message(tmux, "QuillBox: " + error_one_line(e));
        } catch (const std::exception&) {
        }
        throw;
    }
}

}  // namespace vesk::agent

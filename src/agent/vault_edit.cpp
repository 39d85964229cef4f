// `quillbox edit-with-vim` and `quillbox create-vault`, and the picker's way into them.
#include "agent/vault_edit.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

#include <fmt/format.h>

#include "agent/quillbox.hpp"
#include "agent/text.hpp"
#include "agent/vault_create.hpp"
#include "agent/vault_index.hpp"
#include "agent/vault_root.hpp"
#include "core/env.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "tmux/tmux.hpp"

namespace vesk::agent {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNeedsTmux = "tmux 세션에서만 실행할 수 있습니다.";

int exit_code_of(const ExitStatus& status) { return status.code().value_or(1); }

bool empty_file_at(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

void write_new_private_file(const fs::path& path, std::string_view text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) throw_errno(path_text(path));
    write_and_close(fd, text);
}

// vim reads the name after -S as the text of a :source command, where blanks, $, %, # and
// wildcards mean more (a $ can even reach the shell): the script goes under /tmp when the
// temporary directory's name holds anything but plain characters.
std::optional<fs::path> vim_script_base() {
    const std::string tmp = env_non_empty("TMPDIR").value_or("/tmp");
    for (unsigned char c : tmp) {
        if (!(std::isalnum(c) || c >= 0x80 || std::strchr("/._-+,@=", c))) return fs::path("/tmp");
    }
    return std::nullopt;
}

// One edit of `file` (absolute). `fresh`: the file was made for this edit. Returns the status
// the edit command ends with.
int edit_item(const Tmux& tmux, const fs::path& zelt, const fs::path& root, const fs::path& file,
              const std::vector<std::string>& extra_args, bool fresh) {
    const std::string bin = vesk_bin(tmux);
    const fs::path base = zelt / "lib" / "vimrc";
    if (!regular_file_at(base)) {
        display_message(tmux, fmt::format("QuillBox: vimrc not found: {}", path_text(base)));
        if (fresh) discard_untouched_item(root, file);
        return 1;
    }
    ExitStatus status;
    bool executed = false;
    {
        // The sentinel can only appear by vim's hand: nobody else can create files in here.
        PrivateTempDir dir("qbox-edit", vim_script_base());
        const fs::path sentinel = dir.file("qbox-sentinel.flag");
        const fs::path script = dir.file("qbox-vimrc.vim");
        write_new_private_file(script, quillbox_vim_script(sentinel, bin));
        status = Child::spawn(ChildCommand("vim", quillbox_vim_args(base, script, file, extra_args))).wait();
        executed = regular_file_at(sentinel);
    }
    if (!status.success()) {
        if (fresh) discard_untouched_item(root, file);
        return exit_code_of(status);
    }
    if (fresh && empty_file_at(file)) {
        discard_untouched_item(root, file);
        return 0;
    }
    // Only items have index lines: the vault list, edited from the vault-select mode, lies
    // elsewhere and has none.
    const bool item = lies_under(file, root);
    if (executed) {
        quillbox_execute_item(QuillboxFileArgs{path_text(file)});
        if (item) append_quillbox_index_entry(root, file);
        return kQuillboxExecuted;
    }
    if (item) append_quillbox_index_entry(root, file);
    return 0;
}

void end_with(int status) {
    if (status != 0) throw ExitCode(status);
}

}  // namespace

std::string quillbox_vim_script(const fs::path& sentinel, const std::string& bin) {
    std::string s;
    s += "\" QuillBox-specific Vim configuration\n";
    s += "\" This is sourced AFTER the user's base vimrc (@zelt/lib/vimrc)\n";
    s += "\n";
    s += "let g:qbox_sentinel = " + vim_single_quote_path(sentinel) + "\n";
    s += "let g:qbox_vesk = " + vim_single_quote_path(bin) + "\n";
    s += "\n";
    s += "function! s:QuillBoxWQ() abort\n";
    s += "    if !empty(g:qbox_sentinel)\n";
    s += "        call writefile(['execute'], g:qbox_sentinel)\n";
    s += "    endif\n";
    s += "    silent execute 'write!'\n";
    s += "    silent execute 'quit'\n";
    s += "endfunction\n";
    s += "\n";
    s += "command! -bang WQ call s:QuillBoxWQ()\n";
    s += "\n";
    s += "cnoreabbrev <expr> wq! ((getcmdtype() == ':' && getcmdline() ==# 'wq!') ? 'WQ!' : 'wq!')\n";
    s += "\n";
    s += "nnoremap <leader>o :call QuillBoxImport()<CR>\n";
    s += "\n";
    // fzf draws on the terminal and its standard error: it runs as a shell command of its own,
    // never under system(), which would swallow the picker, and hands its choice over in a file.
    s += "function! QuillBoxImport()\n";
    s += "    let choice = tempname()\n";
    s += "    execute 'silent !' . shellescape(g:qbox_vesk, 1) . ' quillbox import-list > ' . shellescape(choice, 1)\n";
    s += "    let failed = v:shell_error\n";
    s += "    redraw!\n";
    s += "    let picked = filereadable(choice) ? readfile(choice) : []\n";
    s += "    call delete(choice)\n";
    s += "    if failed == 0 && !empty(picked) && !empty(picked[0])\n";
    s += "        let content = readfile(picked[0])\n";
    s += "        call append(line('.'), content)\n";
    s += "    endif\n";
    s += "endfunction\n";
    return s;
}

std::vector<std::string> quillbox_vim_args(const fs::path& base, const fs::path& script, const fs::path& file,
                                           const std::vector<std::string>& extra_args) {
    std::vector<std::string> args = {"-u", path_text(base), "-S", path_text(script), path_text(file)};
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    return args;
}

int run_quillbox_vim(const fs::path& path, std::optional<std::uint64_t> line) {
    Tmux tmux;
    ChildCommand edit(vesk_bin(tmux), {"quillbox", "edit-with-vim", path_text(path)});
    if (line) edit.arg(fmt::format("+{}", *line));
    return exit_code_of(Child::spawn(edit).wait());
}

void discard_untouched_item(const fs::path& root, const fs::path& file) {
    if (!empty_file_at(file)) return;
    std::optional<QuillboxIndexEntry> entry;
    if (lies_under(file, root)) entry = quillbox_index_entry(root, file);
    std::error_code ec;
    fs::remove(file, ec);
    if (ec) throw SystemError(ec.value(), path_text(file));
    const fs::path index = root / ".index";
    if (!entry) return;
    const std::string head = fmt::format("{} | {} |", entry->dir, entry->name);
    VaultLock lock(root);
    // A link there is no index of this vault: nothing of it is rewritten.
    if (!regular_file_at(index, Links::NotFollowed)) return;
    std::vector<std::string> kept;
    bool dropped = false;
    for (std::string& line : split_lines(lossy_utf8(read_file(index, kReadLimit, Links::NotFollowed)))) {
        if (line.starts_with(head)) dropped = true;
        else kept.push_back(std::move(line));
    }
    if (dropped) write_file_atomically(index, lines_with_newline(kept, ""));
}

void quillbox_edit_with_vim(const QuillboxEditArgs& args) {
    require_tmux(kNeedsTmux);
    Tmux tmux;
    const fs::path zelt = zelt_path(tmux);
    const fs::path root = qbox_root(tmux);
    // Absolute: a name that begins with '+' or '-' would be a vim command or option.
    end_with(edit_item(tmux, zelt, root, fs::absolute(fs::path(args.file)), args.extra_args, false));
}

void quillbox_create_vault() {
    require_tmux(kNeedsTmux);
    Tmux tmux;
    const fs::path zelt = zelt_path(tmux);
    const fs::path root = qbox_root(tmux);
    const fs::path inbox = fs::absolute(root / "inbox");
    make_item_folder(fs::absolute(root), inbox);
    const fs::path path = inbox / (format_local_time("%Y-%m-%d_%H-%M-%S") + ".md");
    const bool fresh = create_if_missing(path);
    end_with(edit_item(tmux, zelt, root, path, {"+startinsert"}, fresh));
}

}  // namespace vesk::agent

// Opening the chosen note with the chosen command in the notes pane, and the vim script that goes
// with a note session.
#include <system_error>

#include "core/command.hpp"
#include "core/error.hpp"
#include "core/files.hpp"
#include "core/process.hpp"
#include "core/quote.hpp"
#include "core/text.hpp"
#include "core/vim_script.hpp"
#include "pickers/list_files.hpp"
#include "pickers/note_popup.hpp"
#include "pickers/tools.hpp"
#include "tmux/tmux.hpp"

namespace vesk::pickers {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> split_words(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t start = i;
        if (is_unicode_space(next_utf8_char(text, i))) continue;
        std::size_t end = i;
        while (i < text.size() && !is_unicode_space(next_utf8_char(text, i))) end = i;
        words.emplace_back(text.substr(start, end - start));
    }
    return words;
}

// Lines of the script; the functions insert a note's text where the cursor is.
constexpr std::string_view kScriptBody = R"VIM(let $PATH = '/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:' . $PATH
augroup note_files
  autocmd!
  autocmd BufEnter * if expand('%:p') !=# '' | silent! execute 'cd' fnameescape(expand('%:p:h')) | endif
augroup END

function! s:NoteInsertNote() abort
  if empty(g:note_dir) || !isdirectory(g:note_dir)
    echo '노트: 디렉터리를 찾을 수 없습니다.'
    return
  endif
  if empty(g:note_vesk) || !executable(g:note_vesk)
    echo '노트: 선택 명령을 찾을 수 없습니다.'
    return
  endif
  let l:out = tempname()
  execute 'silent !' . shellescape(g:note_vesk, 1) . ' note select ' . shellescape(g:note_dir, 1) . ' > ' . shellescape(l:out, 1)
  redraw!
  let l:picked = filereadable(l:out) ? join(readfile(l:out, 'b'), "\n") : ''
  call delete(l:out)
  let l:picked = substitute(l:picked, '\n\+$', '', '')
  if !empty(l:picked)
    call s:NoteInsertFile(l:picked)
  endif
endfunction
)VIM";

}  // namespace

std::string note_vim_script(const fs::path& dir, const std::string& program) {
    return "let g:note_dir = " + vim_single_quote_path(dir) + "\n" + "let g:note_vesk = " + vim_single_quote_path(program) +
           "\n" + std::string(kScriptBody) + vim_insert_file_function("NoteInsertFile", "노트: 파일을 찾을 수 없습니다.") +
           vim_leader_o_mapping("NoteInsertNote");
}

std::vector<std::string> note_vim_args(const std::vector<std::string>& words, std::optional<std::uint64_t> line,
                                       const fs::path& vimrc, const fs::path& script, const fs::path& file) {
    std::vector<std::string> args(words.begin() + 1, words.end());
    if (line) args.push_back("+" + std::to_string(*line));
    // The script is sourced by name through fnameescape(): vim's own -S would read '%' and '#' in
    // the temporary directory's name as the current and the alternate file.
    args.insert(args.end(), {"-u", vimrc.native(), "-i", "NONE", "-n", "-c",
                             "execute 'source' fnameescape(" + vim_single_quote_path(script) + ")",
                             file_argument(file.native())});
    return args;
}

void run_note_open_with(const fs::path& vimrc, const fs::path& dir, const fs::path& file,
                        std::optional<std::uint64_t> line, const std::string& command) {
    const std::vector<std::string> words = split_words(command);
    if (words.empty()) throw Error("실행할 명령이 없습니다.");
    const std::string& program = words.front();
    std::error_code ec;
    if (!which(program) && !fs::is_regular_file(program, ec)) throw Error("명령을 찾을 수 없습니다: " + program);

    const std::string name = fs::path(program).filename().native();
    if (name == "vim" || name == "nvim") {
        {
            const TempFile script(note_vim_script(dir, vesk_bin(Tmux())));
            ChildCommand vim(program, note_vim_args(words, line, vimrc, script.path(), file));
            vim.set_env("NOTE_DIR", dir.native());
            Child::spawn(vim).wait();
        }
        // Closing the pane hangs up on this process: the script is removed before, not after.
        kill_current_pane();
        return;
    }
    if (!fs::exists(fs::symlink_status(file, ec))) touch(file);
    std::vector<std::string> args(words.begin() + 1, words.end());
    args.push_back(file_argument(file.native()));
    Child::spawn(ChildCommand(program, args)).wait();
    kill_current_pane();
}

}  // namespace vesk::pickers

#include "agent/tidewell_vimrc.hpp"

#include <fmt/format.h>

#include "core/quote.hpp"
#include "core/vim_script.hpp"

namespace vesk::agent {

namespace {

constexpr const char* kSettings = R"(set nocompatible
setlocal nobackup
setlocal nowritebackup
setlocal noswapfile
setlocal filetype=markdown
setlocal noautoindent
setlocal nosmartindent
setlocal nocindent
setlocal indentexpr=
setlocal formatoptions-=o
silent! iunmap <Tab>
silent! iunmap <S-Tab>
inoremap <expr> <Tab> pumvisible() ? "\<C-n>" : "\<Tab>"
inoremap <expr> <S-Tab> pumvisible() ? "\<C-p>" : "\<BS>"
)";

// The last ":" line decides how vim was left: wq keeps the question, wq! (typed wq! becomes WQ!)
// keeps and sends it. `WQ` without a bang writes "send" first, which the autocommand's "save"
// then replaces.
constexpr const char* kBehaviour = R"(let g:tidewell_last_cmdline = ''
let g:tidewell_send_flag = 0

augroup TideWellCmdline
  autocmd!
  autocmd CmdlineLeave : let g:tidewell_last_cmdline = trim(getcmdline())
  autocmd VimLeavePre * if g:tidewell_chat_sentinel !=# '' && g:tidewell_last_cmdline =~? '^wq$' | call writefile(['save'], g:tidewell_chat_sentinel) | endif
  autocmd VimLeavePre * if g:tidewell_chat_sentinel !=# '' && g:tidewell_last_cmdline =~? '^wq!$' | let g:tidewell_send_flag = 1 | call writefile(['send'], g:tidewell_chat_sentinel) | endif
augroup END

function! s:TideWellInsertQuestion() abort
  if empty(g:tidewell_question_dir) || !isdirectory(g:tidewell_question_dir)
    echo 'TideWell: question dir not found.'
    return
  endif
  if empty(g:tidewell_vesk) || !executable(g:tidewell_vesk)
    echo 'TideWell: select command not found.'
    return
  endif
  let l:out = tempname()
  execute 'silent !' . shellescape(g:tidewell_vesk, 1) . ' tidewell question-select '
        \ . shellescape(g:tidewell_question_dir, 1) . ' > ' . shellescape(l:out, 1)
  redraw!
  let l:path = filereadable(l:out) ? join(readfile(l:out), "\n") : ''
  call delete(l:out)
  let l:path = substitute(l:path, '\n\+$', '', '')
  if !empty(l:path)
    call s:TideWellInsertFile(l:path)
  endif
  redraw!
endfunction

function! s:TideWellWQ() abort
  if !empty(g:tidewell_chat_sentinel)
    let g:tidewell_send_flag = 1
    call writefile(['send'], g:tidewell_chat_sentinel)
  endif
  silent write!
  silent quit
endfunction
command! -bang WQ call s:TideWellWQ()
cnoreabbrev <expr> wq! (getcmdtype() ==# ':' && getcmdline() ==# 'wq!') ? 'WQ!' : 'wq!'
)";

}  // namespace

std::string tidewell_vimrc(const TidewellVimrcPaths& paths) {
    std::string script = kSettings;
    script += fmt::format("let g:tidewell_chat_sentinel = {}\n", vim_single_quote_path(paths.sentinel));
    script += fmt::format("let g:tidewell_question_dir = {}\n", vim_single_quote_path(paths.question_dir));
    script += fmt::format("let g:tidewell_vesk = {}\n", vim_single_quote_path(paths.program));
    script += "let $PATH = '/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:' . $PATH\n";
    script += fmt::format("let $MYVIMRC = {}\n", vim_single_quote_path(paths.base_script));
    script += kBehaviour;
    script += vim_insert_file_function("TideWellInsertFile", "TideWell: file not found.");
    script += vim_leader_o_mapping("TideWellInsertQuestion");
    return script;
}

}  // namespace vesk::agent

#include "core/vim_script.hpp"

#include <fmt/format.h>

namespace vesk {

std::string vim_insert_file_function(std::string_view name, std::string_view not_found) {
    return fmt::format(R"(function! s:{0}(path) abort
  if !filereadable(a:path)
    echo '{1}'
    return
  endif
  let l:lines = readfile(a:path)
  if empty(l:lines)
    return
  endif
  let l:lnum = line('.')
  let l:text = getline(l:lnum)
  let l:col = col('.') - 1
  let l:before = strpart(l:text, 0, l:col)
  let l:after = strpart(l:text, l:col)
  if len(l:lines) == 1
    call setline(l:lnum, l:before . l:lines[0] . l:after)
    call cursor(l:lnum, l:col + len(l:lines[0]) + 1)
    return
  endif
  call setline(l:lnum, l:before . l:lines[0])
  call append(l:lnum, l:lines[1:-2] + [l:lines[-1] . l:after])
  call cursor(l:lnum + len(l:lines) - 1, len(l:lines[-1]) + 1)
endfunction
)",
                       name, not_found);
}

std::string vim_leader_o_mapping(std::string_view name) {
    return fmt::format("silent! nunmap <Leader>o\n"
                       "silent! iunmap <Leader>o\n"
                       "nnoremap <silent> <Leader>o :call <SID>{}()<CR>\n",
                       name);
}

}  // namespace vesk

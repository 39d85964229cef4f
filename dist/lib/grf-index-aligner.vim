" 목록 파일(lists/*.list)의 앞 칸만 맞춥니다. 마지막 칸은 명령이나 경로여서 그 안의 | 를
" 건드리면 안 되므로, 칸 수를 파일마다 정해 그 앞의 | 에서만 나눕니다.
"   :ListAlign       범위(기본은 파일 전체)의 칸을 맞춥니다.
"   <Leader>a        파일 전체의 칸을 맞춥니다.

execute 'source ' . fnameescape(expand('<sfile>:p:h') . '/general-index-aligner.vim')

" 파일 이름별로 나눌 | 의 수입니다. 모르는 목록은 모든 | 에서 나눕니다.
let s:splits = {
      \ 'find-file-and-exec.list': 1,
      \ 'session-name.list': 1,
      \ 'launch-app.list': 2,
      \ 'note-dir.list': 2,
      \ 'git-porcelain.list': 2,
      \ }

let b:vesk_list_splits = get(s:splits, expand('%:t'), -1)
if b:vesk_list_splits == 0
  finish
endif

command! -range=% -buffer ListAlign call VeskIndexAlign(<line1>, <line2>, b:vesk_list_splits)
nnoremap <buffer> <silent> <Leader>a :ListAlign<CR>

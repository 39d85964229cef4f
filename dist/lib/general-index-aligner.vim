" | 로 나눈 칸을 모두 맞춥니다. 칸 수가 정해진 색인 파일(.index 같은)에 씁니다.
"   :IndexAlign      범위(기본은 파일 전체)의 칸을 맞춥니다.
"   <Leader>a        파일 전체의 칸을 맞춥니다.
" # 로 시작하는 줄과 | 가 없는 줄은 그대로 둡니다. 칸 안의 글자는 바꾸지 않고 앞뒤 빈칸만 맞춥니다.

function! s:Cells(line, limit) abort
  " limit < 0: 모든 | 에서 나눕니다. 아니면 앞의 limit 개에서만 나누고 나머지는 한 칸으로 둡니다.
  let cells = []
  let rest = a:line
  while a:limit < 0 || len(cells) < a:limit
    let at = stridx(rest, '|')
    if at < 0
      break
    endif
    call add(cells, trim(strpart(rest, 0, at)))
    let rest = strpart(rest, at + 1)
  endwhile
  call add(cells, trim(rest))
  return cells
endfunction

" first..last 줄의 칸을 맞춥니다. limit 은 나눌 | 의 수(-1 이면 전부)입니다.
function! VeskIndexAlign(first, last, limit) abort
  let rows = {}
  let widths = []
  for lnum in range(a:first, a:last)
    let line = getline(lnum)
    if line =~# '^\s*#' || stridx(line, '|') < 0
      continue
    endif
    let cells = s:Cells(line, a:limit)
    let rows[lnum] = cells
    for i in range(len(cells) - 1)
      let w = strdisplaywidth(cells[i])
      if i >= len(widths)
        call add(widths, w)
      elseif w > widths[i]
        let widths[i] = w
      endif
    endfor
  endfor
  for [lnum, cells] in items(rows)
    let parts = []
    for i in range(len(cells) - 1)
      call add(parts, cells[i] . repeat(' ', widths[i] - strdisplaywidth(cells[i])))
    endfor
    call add(parts, cells[-1])
    let text = substitute(join(parts, ' | '), '\s\+$', '', '')
    if text !=# getline(str2nr(lnum))
      call setline(str2nr(lnum), text)
    endif
  endfor
endfunction

command! -range=% -buffer IndexAlign call VeskIndexAlign(<line1>, <line2>, -1)
nnoremap <buffer> <silent> <Leader>a :IndexAlign<CR>

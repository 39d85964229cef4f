#!/usr/bin/env bash
# A plugin manager for the tests, doing what the tmux plugin manager's updater does: drop the
# first argument, then pull each named plugin in the path tmux's global environment announces.
set -u
shift

line=$(tmux show-environment -g TMUX_PLUGIN_MANAGER_PATH) || exit 1
path=${line#TMUX_PLUGIN_MANAGER_PATH=}
[ -n "$path" ] && [ "$path" != "$line" ] || exit 1

status=0
for repo in "$@"; do
	name=${repo##*/}
	name=${name%.git}
	(cd "$path$name" && GIT_TERMINAL_PROMPT=0 git pull -q >/dev/null 2>&1) || status=1
done
exit $status

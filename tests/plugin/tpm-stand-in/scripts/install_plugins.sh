#!/usr/bin/env bash
# A plugin manager for the tests, doing what the newer tmux plugin manager does on an install:
# read the @plugin lines of $XDG_CONFIG_HOME/tmux/tmux.conf and clone each missing plugin from
# https://git::@github.com/<repo> into the path tmux's global environment announces. It refuses
# to run without that path rather than falling back to "/".
#
# For the tests: when TPM_STAND_IN_HOLD names a file, the installer waits until it exists (at most
# about 30 s, so a failed test leaves nothing running) before it reads the configuration.
set -u

if [ -n "${TPM_STAND_IN_HOLD:-}" ]; then
	waited=0
	while [ ! -e "$TPM_STAND_IN_HOLD" ] && [ "$waited" -lt 600 ]; do
		sleep 0.05
		waited=$((waited + 1))
	done
fi

line=$(tmux show-environment -g TMUX_PLUGIN_MANAGER_PATH) || exit 1
path=${line#TMUX_PLUGIN_MANAGER_PATH=}
[ -n "$path" ] && [ "$path" != "$line" ] || exit 1

conf="${XDG_CONFIG_HOME:-$HOME/.config}/tmux/tmux.conf"
[ -r "$conf" ] || exit 1

status=0
repos=$(sed -n "s/^[[:space:]]*set[[:space:]]\{1,\}-g[[:space:]]\{1,\}@plugin[[:space:]]\{1,\}['\"]\([^'\"]*\)['\"].*/\1/p" "$conf")
for repo in $repos; do
	name=${repo##*/}
	name=${name%.git}
	[ -d "$path$name" ] && continue
	GIT_TERMINAL_PROMPT=0 git clone -q "https://git::@github.com/$repo" "$path$name" >/dev/null 2>&1 || status=1
done
exit $status

#!/bin/sh
# Plays one run at a real terminal: each answer is typed only once its prompt
# is on the screen, and the screen must then hold the whole run, each answer
# echoed by the terminal, and the game's line.
#
# usage: console.sh SCREEN GAMEDIR LAUNCHER

screen=$1 gamedir=$2 launcher=$3
command -v tmux >/dev/null 2>&1 || { echo "tmux is not installed"; exit 77; }
tmp=$(mktemp -d) || exit 1
tmux() { command tmux -S "$tmp/socket" -f /dev/null "$@"; }
trap 'tmux kill-server 2>/dev/null; rm -rf "$tmp"' EXIT

# The pane outlives the launcher, so that its last screen can be read.
tmux new-session -d -x 80 -y 30 -c "$gamedir" \
    env PATH="$gamedir:$PATH" sh -c '"$0"; exec sleep 60' "$launcher"

wait_for() {	# PATTERN COUNT: until the screen shows PATTERN on COUNT lines
	tries=0
	until [ "$(tmux capture-pane -p | grep -c "$1")" -ge "$2" ]; do
		tries=$((tries + 1))
		if [ "$tries" -gt 100 ]; then
			echo "FAIL: after 10 s, fewer than $2 lines match \"$1\":"
			tmux capture-pane -p
			exit 1
		fi
		sleep 0.1
	done
}

prompts=0
for answer in 2 1 2; do
	prompts=$((prompts + 1))
	wait_for '^Selection:' "$prompts"
	tmux send-keys "$answer" Enter
done
wait_for '^Korvane' 1
sleep 0.2	# time for anything that should not be there to show
# The screen less the empty rows below the last line written.
tmux capture-pane -p |
    awk '{ row[NR] = $0 } NF { last = NR } END { for (i = 1; i <= last; i++) print row[i] }' \
    >"$tmp/screen"
if diff "$screen" "$tmp/screen"; then
	echo "1 passed, 0 failed"
else
	echo "0 passed, 1 failed"
	exit 1
fi

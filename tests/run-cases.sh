#!/bin/sh
# Runs the launcher as a player would: once for each line of cases.txt, then
# in the ways a line cannot say.  Each run is checked whole: all it writes,
# byte for byte, nothing on the error output, exit status 0 and, where strace
# runs, the one exact command it hands to the command processor.
#
# usage: run-cases.sh GAMEDIR LAUNCHER...
# GAMEDIR holds the stand-in game; LAUNCHER may begin with an emulator.
# KORVANE_WINDOWS=1: Windows line ends, and a command processor that is no sh.

here=$(dirname "$0") gamedir=$1
shift
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
runs=0 failed=0 cr="" trace=""
if [ -n "${KORVANE_WINDOWS-}" ]; then cr=$(printf '\r')
elif strace -o /dev/null true 2>/dev/null; then trace=1
else echo "strace cannot run here: the commands are not checked"; fi
# The whole dialogue, up to the last prompt: the golden run less the game's line.
dialogue=$(sed -e '$ s/\(Selection: \).*/\1/' -e "\$!s/\$/$cr/" "$here/golden.txt")

# Runs the launcher where the game is found as a player's command processor
# finds it: on PATH, or in the current folder.
launch() {	# LAUNCHER... [ARG...]
	[ -z "$trace" ] ||
	    set -- strace -f -qq -e trace=execve -s 300 -o "$tmp/trace" "$@"
	(cd "$gamedir" && PATH="$gamedir:$PATH" "$@") 2>"$tmp/err"
	echo "exit status $?" >"$tmp/status"
}

# Passes when the run wrote OUTPUT, by default the dialogue and GAMELINE,
# and, traced, started the one command whose game writes GAMELINE, then LINE.
check() {	# NAME GAMELINE [OUTPUT [LINE]]
	{ [ $# -gt 2 ] && printf '%s' "$3" || printf '%s%s\n' "$dialogue" "$2$cr"
	  echo "exit status 0"
	  [ -z "$trace" ] || printf '%s\n' "$2" ${4+"$4"} |
	    sed 's/^Korvane\([^:]*\):.*/command "Korvane.exe\1 "/'; } >"$tmp/want"
	{ cat "$tmp/out" "$tmp/status"; sed 's/^/error output: /' "$tmp/err"
	  [ -z "$trace" ] || sed -n -e 's/.*"sh", "-c", \(.*\)\], .*/command \1/p' \
	    -e 's/.*+++ \(killed by SIG[A-Z]*\).*/\1/p' "$tmp/trace"; } >"$tmp/got"
	runs=$((runs + 1))
	diff "$tmp/want" "$tmp/got" >"$tmp/diff" && return
	failed=$((failed + 1))
	printf 'FAIL: %s\n' "$1"
	sed 's/^/    /' "$tmp/diff"
}

# A first run under an emulator may set it up, with messages of its own.
launch "$@" </dev/null >/dev/null

# Each line: what is typed | the game's line; comments and alignment dropped.
sed -n '/^#/!s/ *| */|/p' "$here/cases.txt" >"$tmp/table"
while IFS='|' read -r input line; do
	printf '%b' "$input" | launch "$@" >"$tmp/out"
	check "$input" "$line"
done <"$tmp/table"

printf '1\n1\n1\n' | launch "$@" -usebot -windowed -nosound >"$tmp/out"
check "the launcher's own arguments are ignored" \
    "Korvane: Player vs. Player, fullscreen, sound on"

all="Korvane -usebot -windowed -nosound: Player vs. Bot, windowed, sound off"

# Each answer is typed only once its prompt is out, here into a file; a
# prompt not out within 5 s gets none.
: >"$tmp/out"
for prompt in 1 2 3; do
	tries=0
	until [ "$(grep -c 'Selection: ' "$tmp/out")" -ge $prompt ]; do
		[ $((tries += 1)) -le 50 ] || exit
		sleep 0.1
	done
	echo 2
done | launch "$@" >"$tmp/out"
check "each prompt is out before its answer is read" "$all"

# The output's reader is gone before the launcher starts; the game, with
# SIGPIPE back at its default, then dies of its first write, as any program.
{ until [ -e "$tmp/gone" ]; do sleep 0.1; done; echo 2 2 2 | launch "$@"; } |
    { exec <&-; : >"$tmp/gone"; }
: >"$tmp/out"
check "the output's reader goes away" "$all" "" "killed by SIGPIPE"

# No game: the command processor says so on the error output, in its own words.
gamedir=$tmp
printf '2\n2\n2\n' | launch "$@" >"$tmp/out"
: >"$tmp/err"
check "no game to start" "$all" "$dialogue"

echo "$((runs - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]

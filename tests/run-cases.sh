#!/bin/sh
# Runs the launcher as a player would: once for each line of cases.txt, then
# in the ways a line cannot say.  Each run is checked whole: all it writes to
# its output and error output, byte for byte, exit status 0 and, with -t, the
# one exact command it hands to the command processor, as strace sees it.
#
# usage: run-cases.sh [-t] GAMEDIR LAUNCHER...
#   e.g. sh tests/run-cases.sh build/bin build/bin/korvane-launcher
# GAMEDIR holds the stand-in game; LAUNCHER may begin with an emulator.
# -t exits 77, for skipped, where strace cannot see the command processor.
# KORVANE_WINDOWS=1: Windows line ends, and cmd for the command processor.

here=$(dirname "$0") trace="" cr="" shell="sh -c" emulator=""
runs=0 failed=0 tries=0
case $1 in -t) trace=1; shift ;; esac
if [ -n "${KORVANE_WINDOWS-}" ]; then cr=$(printf '\r') shell="cmd /c"; fi
if [ -n "$trace" ] && { [ -n "$cr" ] || ! strace -o /dev/null true; }; then
	echo "strace cannot see the command processor here: commands not checked"; exit 77
fi
# Every run starts in the game's folder, so relative paths are made absolute.
for arg do
	case $arg in /*) ;; *) if [ -e "$arg" ]; then arg=$PWD/$arg; fi ;; esac
	set -- "$@" "$arg"; shift
done
gamedir=$1; shift
if [ $# -gt 1 ]; then emulator=$1; fi
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
sed "\$!s/\$/$cr/" "$here/golden.txt" >"$tmp/dialogue"

# Runs the launcher where the game is found as a player's command processor
# finds it: on PATH, or in the current folder.  Both its outputs go to the
# caller's standard output: the file out, but where the reader goes away.
# Left in out for check after them: a non-zero exit status and, traced, each
# command and each death by a signal that strace saw.  A launcher that writes
# without end is stopped by the size limit before the disk fills.
launch() {	# LAUNCHER... [ARG...]
	if [ -n "$trace" ]; then set -- strace -f -qq -e execve -s 300 -o "$tmp/trace" "$@"; fi
	(ulimit -f 100000; cd "$gamedir" && PATH="$gamedir:$PATH" "$@") 2>&1 ||
	    echo "exit status $?" >>"$tmp/out"
	# execve("/bin/sh", ["sh", "-c", "Korvane.exe "], ...) gives: command "Korvane.exe "
	if [ -n "$trace" ]; then sed -n -e 's/.*"sh", "-c", \(.*\)\], .*/command \1/p' \
	    -e '/+++ killed by /{ s/.*+++ //; s/ +++//; p; }' "$tmp/trace" >>"$tmp/out"; fi
}

# Passes when out holds OUTPUT (a file), by default the dialogue and then
# GAMELINE, and, traced, the one command whose game writes GAMELINE, then LINE.
check() {	# NAME GAMELINE [OUTPUT [LINE]]
	{ if [ $# -gt 2 ]; then cat "$3"; else cat "$tmp/dialogue"; printf '%s\n' "$2$cr"; fi
	  # The game's "Korvane -usebot: ..." gives: command "Korvane.exe -usebot "
	  if [ -n "$trace" ]; then printf '%s\n' "$2" ${4:+"$4"} |
	    sed -e 's/^Korvane/command "Korvane.exe/' -e 's/:.*/ "/'; fi
	} >"$tmp/want"
	runs=$((runs + 1))
	if diff "$tmp/want" "$tmp/out" >"$tmp/diff"; then return; fi
	failed=$((failed + 1))
	printf 'FAIL: %s\n' "$1"
	sed -e 's/^/    /' -e 20q "$tmp/diff"
}

# A first run under an emulator may set it up, with messages of its own.
launch "$@" </dev/null >"$tmp/out"

# Each line: what is typed | the game's line; comments, empty lines and the
# blanks around the | dropped.  A line with no | fails with what it holds.
sed -e '/^#/d' -e '/^$/d' -e 's/ *| */|/' "$here/cases.txt" >"$tmp/table"
while IFS='|' read -r input line; do
	printf '%b' "$input" | launch "$@" >"$tmp/out"
	check "$input" "${line:-a line with no |}"
done <"$tmp/table"

# No answers at all, so that no answer can hide a switch taken from them.
launch "$@" -usebot -windowed -nosound </dev/null >"$tmp/out"
check "arguments ignored" "Korvane: Player vs. Player, fullscreen, sound on"

all="Korvane -usebot -windowed -nosound: Player vs. Bot, windowed, sound off"

# Each answer is typed only once its prompt is out, here into a file; the
# answers stop when the prompts are not all out within 5 s.
: >"$tmp/out"
for prompt in 1 2 3; do
	until [ "$(grep -c 'Selection: ' "$tmp/out")" -ge $prompt ]; do
		tries=$((tries + 1))
		if [ $tries -gt 50 ]; then exit; fi
		sleep 0.1
	done
	echo 2
done | launch "$@" >"$tmp/out"
check "each prompt is out before its answer is read" "$all"

# The output's reader is gone before the launcher starts: the reader closes
# its end, then leaves the empty output file that the launch waits for.  The
# game gets SIGPIPE as the launcher was given it: at its default it dies of
# its first write; ignored, it lives on.
for pipe in - ''; do
	rm -f "$tmp/out"
	{ trap "$pipe" PIPE; until [ -e "$tmp/out" ]; do sleep 0.1; done
	  echo 2 2 2 | launch "$@"; } | { exec <&-; : >"$tmp/out"; }
	check "reader gone, trap '$pipe' PIPE" "$all" /dev/null "${pipe:+killed by SIGPIPE}"
done

# No game: after the dialogue, only what the command processor itself writes
# when started for the same command (under the launcher's emulator, if any).
gamedir=$tmp
(cat "$tmp/dialogue"; cd "$tmp" &&
    $emulator $shell "Korvane.exe -usebot -windowed -nosound " 2>&1) >"$tmp/own"
printf '2\n2\n2\n' | launch "$@" >"$tmp/out"
check "no game to start" "$all" "$tmp/own"

echo "$((runs - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]

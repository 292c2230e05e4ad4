#!/bin/sh
# Runs the launcher as a player would: once for each line of cases.txt, then
# in the ways a line cannot say.  Each run is checked whole: its output and,
# apart, its error output, byte for byte, and its exit status.  With -t, all
# of it under strace, which also sees the one exact command handed to the
# command processor and each death by a signal, and then once for each line
# of terminal.txt, at a terminal.
#
# usage: run-cases.sh [-t] BINDIR [EMULATOR]
#   e.g. sh tests/run-cases.sh build/bin
# BINDIR holds the launcher and the stand-in game.  -t exits 77, for skipped,
# where strace cannot see the command processor or util-linux's script cannot
# make a terminal.  KORVANE_WINDOWS=1: Windows executables and line ends, and
# cmd for the command processor.

here=$(dirname "$0") trace="" tty="" cr="" dir="" shell="sh -c" runs=0 failed=0
set -f
case $1 in -t) trace=1; shift ;; esac
if [ -n "${KORVANE_WINDOWS-}" ]; then cr=$(printf '\r') shell="cmd /c"; fi
if [ -n "$trace" ] && ! { [ -z "$cr" ] && strace -o /dev/null true && script -qec true /dev/null; }; then
	echo "no strace that sees the command processor, or no terminal: commands and terminal runs not checked"
	exit 77
fi
# Every run starts in the game's folder, so the path is made absolute.
gamedir=$(cd "$1" && pwd) emulator=${2-}
launcher=$gamedir/korvane-launcher${cr:+.exe}
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
sed "\$!s/\$/$cr/" "$here/golden.txt" >"$tmp/dialogue"

# Runs the launcher with ARGs where the game is found as a player's command
# processor finds it: on PATH, or in the current folder (dir, if set); at a
# terminal, which shows both outputs, when tty is set.  Its output goes to
# the caller's standard output: the file out, but where the reader goes
# away.  Left in out for check after it: a non-zero exit status, the error
# output, line by line and, traced, each command, each file opened and each
# death by a signal that strace saw.  Then the file done tells keys that the
# run is over.  A launcher that writes without end is stopped by the size
# limit, one that hangs after 20 s (exit status 124).
launch() {	# [ARG...]
	set -- $emulator "$launcher" "$@"
	if [ -n "$trace" ]; then set -- strace -f -qq -e trace=%file -s 300 -o "$tmp/trace" "$@"; fi
	if [ -n "$tty" ]; then set -- script -qec "stty -echo; exec $(printf "'%s' " "$@")" /dev/null; fi
	(ulimit -c 0; ulimit -f 100000; cd "${dir:-$gamedir}" && PATH="$gamedir:$PATH" timeout 20 "$@") 2>"$tmp/err" ||
	    echo "exit status $?$cr" >>"$tmp/out"
	sed 's/^/error output: /' "$tmp/err" >>"$tmp/out"
	# execve("/bin/sh", ["sh", "-c", "Korvane.exe "], ...) gives: command "Korvane.exe "
	# openat(AT_FDCWD, "saved", O_RDONLY) gives: opens "saved", but for what
	# the loader opens, and /proc/self.  The command processor may die of the
	# game's signal too: one line for both.
	if [ -n "$trace" ]; then sed -n -e 's/.*"sh", "-c", \(.*\)\], .*/command \1/p' \
	    -e '/open[a-z]*(/{ /"\/etc\/ld\.so/d; /"\/lib/d; /"\/usr\//d; /"\/proc\/self\//d; s/^[^"]*\("[^"]*"\).*/opens \1/p; }' \
	    -e '/+++ killed by /{ s/.*+++ //; s/ (core dumped)//; s/ +++//; p; }' "$tmp/trace" | uniq >>"$tmp/out"; fi
	: >"$tmp/done"
}

# Passes when out holds OUTPUT (a file), by default the dialogue and then
# LAST, the game's line, and, traced, the one command whose game writes
# that line, if any, then DEATH.  Clears out for the next run.
check() {	# NAME LAST [OUTPUT [DEATH]]
	{ cat "${3:-$tmp/dialogue}"
	  if [ -z "${3-}" ]; then printf '%s\n' "$2$cr"; fi
	  # The game's "Korvane -usebot: ..." gives: command "Korvane.exe -usebot "
	  if [ -n "$trace" ]; then printf '%s\n' "$2" ${4:+"$4"} |
	    sed -n -e 's/^Korvane\([^:]*\):.*/command "Korvane.exe\1 "/p' -e '/^killed by /p'; fi
	} >"$tmp/want"
	runs=$((runs + 1))
	diff -u --label "FAIL: $1" --label "" "$tmp/want" "$tmp/out" >"$tmp/diff" || failed=$((failed + 1))
	sed 30q "$tmp/diff"
	rm -f "$tmp/out" "$tmp/done"
}

# Types the KEYS one after another, the n-th once out holds n prompts and
# game lines (each has one ": "); after 5 s of waiting, nothing more.  At a
# terminal, the first once the first prompt is out, and with it the end of
# echoing; as the end of input is a key there, the keys stay until the run
# is done.
keys() {	# KEYS...
	n=${tty:-0} tries=0
	for k do
		until [ "$(grep -so ': ' "$tmp/out" | wc -l)" -ge $n ] || [ $((tries += 1)) -gt 50 ]; do sleep 0.1; done
		if [ $tries -le 50 ]; then printf '%b' "$k"; fi
		n=$((n + 1))
	done
	if [ -n "$tty" ]; then until [ -e "$tmp/done" ]; do sleep 0.1; done; fi
}

# Each line: what is typed | the last line | what dies; comments, empty lines
# and the blanks around each | dropped.  A line with no | fails with what it
# holds.
table() {	# FILE
	sed -e '/^#/d' -e '/^$/d' -e 's/ *| */|/g' "$1" >"$tmp/table"
	while IFS='|' read -r typed last death; do
		(IFS=,; keys $typed) | launch >"$tmp/out"
		check "$typed" "${last:-a line with no |}" "" "$death"
	done <"$tmp/table"
}

# A first run under an emulator may set it up, with messages of its own,
# writing more and for longer than a run may.
timeout 60 $emulator "$launcher" </dev/null >/dev/null 2>&1
table "$here/cases.txt"

# No answers, the input a folder that cannot be read: no switch can come
# from the answers, or from the arguments.
launch --version --help -usebot -windowed -nosound <"$tmp" >"$tmp/out"
check "arguments ignored, input a folder" "Korvane: Player vs. Player, fullscreen, sound on"

# Output that cannot be written: a pipe with no reader left, or a file past
# its size limit.  The game gets the signal as the launcher was given it: at
# its default it dies of its first write; ignored, it lives on.
all="Korvane -usebot -windowed -nosound: Player vs. Bot, windowed, sound off"
mkfifo "$tmp/pipe"
for how in - ''; do
	(trap "$how" PIPE; exec 3<>"$tmp/pipe" 4>"$tmp/pipe" 3<&-; echo 2 2 2 | launch >&4)
	check "reader gone, trap '$how' PIPE" "$all" /dev/null "${how:+killed by SIGPIPE}"
	if [ -z "$cr" ]; then	# Windows has no file-size limit
		(trap "$how" XFSZ; echo 2 2 2 | emulator="prlimit --fsize=0" launch >"$tmp/out")
		check "output past its size limit, trap '$how' XFSZ" "$all" /dev/null "${how:+killed by SIGXFSZ}"
	fi
done

# No game where the command processor looks for it: after the dialogue, only
# what it writes itself when started for the same command (under the
# emulator, if any).  On POSIX systems the game is in the current folder,
# where the command processor does not look.
{ cat "$tmp/dialogue"
  (cd "$tmp" && $emulator $shell "Korvane.exe -usebot -windowed -nosound ") 2>"$tmp/err"
  sed 's/^/error output: /' "$tmp/err"; } >"$tmp/own"
if [ -z "$cr" ]; then dir=$gamedir; fi
(gamedir=$tmp; echo 2 2 2 | launch >"$tmp/out")
check "no game to start" "$all" "$tmp/own"

# At a terminal, which ends each line with CR LF and, set so, echoes nothing.
if [ -n "$trace" ]; then
	tty=1 cr=$(printf '\r')
	sed "\$!s/\$/$cr/" "$here/golden.txt" >"$tmp/dialogue"
	table "$here/terminal.txt"
fi

echo "$((runs - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]

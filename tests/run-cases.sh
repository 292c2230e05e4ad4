#!/bin/sh
# Runs the launcher as a player would: once for each row of cases.txt, then
# in the ways a row cannot say.  Each run is checked whole: its output and,
# apart, its error output, byte for byte, and its exit status.  With -t, all
# of it under strace, which also sees the one exact command handed to the
# command processor and each death by a signal, and then once for each row
# of terminal.txt, at a terminal.  The first run that meets its time limit
# ends the suite, so a launcher that waits or loops fails in seconds.
#
# usage: run-cases.sh [-t] BINDIR [EMULATOR]
#   e.g. sh tests/run-cases.sh build/bin
# BINDIR holds the launcher and the stand-in game.  Where strace or
# util-linux's script cannot run, -t says so and exits 77, for skipped, or
# 1 where CI is set (not to false), as CI services set it.  A launcher named
# .exe is taken for a Windows one: lines end in CR LF, and cmd is the
# command processor; -t is for POSIX systems only.

# Rows and wrappers are split on commas or blanks where they are not
# quoted: no * or ? in them may stand for file names.
set -f
unset trace tty dir wrapper
runs=0 failed=0
here=$(cd "$(dirname "$0")" && pwd)
case $1 in -t) trace="strace -f -qq -e trace=%file -s 300 -o"; shift ;; esac
gamedir=$(cd "$1" && pwd)
emulator=${2-}
launcher=$gamedir/korvane-launcher
cr="" shell="sh -c"
if [ -e "$launcher.exe" ]; then cr=$(printf '\r') shell="cmd /c"; fi
# Runs start in the suite's folder, where the game is not: a POSIX command
# processor finds it on PATH.  Wine's cmd looks in the current folder first,
# and is given no PATH of ours: there runs start in the game's folder.
if [ -n "$cr" ]; then launcher=$launcher.exe dir=$gamedir; fi
if [ -n "$trace" ] && ! $trace /dev/null script -qec true /dev/null; then
	echo "no strace or no terminal: commands and terminal runs not checked"
	case ${CI-} in ''|false) exit 77 ;; *) exit 1 ;; esac
fi
# The suite works in a folder of its own, which it removes at its end.
tmp=$(mktemp -d) && cd "$tmp" || exit 1
trap 'rm -rf "$tmp"' EXIT
sed "\$!s/\$/$cr/" "$here/golden.txt" >dialogue
# The suite's folder, first on PATH, holds the stand-in game as sh: it shows
# where the command processor is looked up on PATH instead of being the
# system's own.
ln -s "$gamedir/Korvane.exe" sh

# Runs the launcher with ARGs: through the emulator, if any, or else through
# wrapper (prlimit, env ...), if set, since a wrapper would change the
# emulator's own workings, not the launcher's; at a terminal if tty is set;
# in the folder dir if set; with the suite's folder and then gamedir first
# on PATH (gamedir only serves there).  What the run writes goes to launch's
# standard output, which the caller sends to the file out (or to a pipe with
# no reader).  Then launch itself appends to out the run's exit status, if
# not 0 (124, or 137 where it had to be killed: it met its time limit of
# 20 s), and its error output, and makes the file done, which tells keys
# that the run is over.  $trace ends in -o, for the trace file.
launch() {	# [ARG...]
	set -- ${emulator:-$wrapper} "$launcher" "$@"
	if [ -n "$trace" ]; then set -- $trace "$tmp/trace" "$@"; fi
	if [ -n "$tty" ]; then set -- script -qec \
	    "stty -echo; exec $(printf "'%s' " "$@")" /dev/null; fi
	(ulimit -c 0; ulimit -f 100000; cd "${dir:-.}" &&
	    PATH="$tmp:$gamedir:$PATH" timeout -k 1 20 "$@") 2>err ||
	    echo "exit status $?$cr" >>out
	sed 's/^/error output: /' err >>out
	: >done
}

# Passes when out holds what the run must leave: the dialogue and then LAST,
# or else the file OUTPUT.  Traced, check adds to both what the run must
# show and what strace saw.  LAST serves twice: where it is a game's line,
# the run must have handed over the one command that starts the game so,
# even where its output is lost; and there must be a death by the signal
# DEATH, if given.  Clears out for the next run.  A run that met its time
# limit ends the suite.  In all, out and want hold:
#
#   ...                              the run's output
#   exit status 124                  its exit status, if not 0
#   error output: sh: 1: ...         each line of its error output
#   command "Korvane.exe -usebot "   traced: each command handed over (as
#                                    sh -c -- COMMAND since glibc 2.38),
#   openat "saved"                   each file opened, but the loader's
#                                    and the locale's, and each chdir,
#   killed by SIGINT                 and each death by a signal
check() {	# NAME LAST [OUTPUT [DEATH]]
	cat "${3:-dialogue}" >want
	if [ -z "${3-}" ]; then printf '%s\n' "$2$cr" >>want; fi
	if [ -n "$trace" ]; then
		printf '%s\n' "$2" ${4:+"killed by $4"} | sed -n -e '/^killed/p' \
		    -e 's/^Korvane\([^:]*\):.*/command "Korvane.exe\1 "/p' >>want
		sed -n -E -e 's/.*"sh", "-c", ("--", )?(.*)\], .*/command \2/p' \
		    -e '\%ld\.so\.|\.so[.0-9]*"|/proc/self/|locale|gconv%d' \
		    -e 's/^[0-9]+ +(open[a-z]*|chdir)\([^"]*("[^"]*").*/\1 \2/p' \
		    -e 's/.*\+\+\+ (killed by [A-Z]+).*/\1/p' trace | uniq >>out
	fi
	runs=$((runs + 1))
	diff -u -L "FAIL: $1" -L "" want out >diff || failed=$((failed + 1))
	sed 30q diff
	if grep -q -e 'exit status 124' -e 'exit status 137' out; then exit 1; fi
	rm -f out done trace
}

# Types the KEYS one after another, the n-th once out holds n prompts and
# game lines (each has one ": "), or the run is over.  At a terminal, the
# first once the first prompt is out, and with it the end of echoing; as the
# end of input is a key there, the keys stay until the run is over.
keys() {	# KEYS...
	n=${tty:-0}
	for k do
		until [ "$(grep -so ': ' out | wc -l)" -ge $n ] || [ -e done ]
		do sleep 0.1; done
		printf '%b' "$k"
		n=$((n + 1))
	done
	until [ -z "$tty" ] || [ -e done ]; do sleep 0.1; done
}

# One run for each row of the table FILE, named FILE:LINE.  A row is: what
# is typed | what follows the dialogue | what dies | the wrapper; comments,
# empty lines and the blanks around each | are left out.  A row with no |,
# and a table with no row, fail.  grep's line number becomes the first
# field.
table() {	# FILE
	grep -nv -e '^#' -e '^$' "$here/$1" >rows || failed=$((failed + 1))
	sed -e 's/:/|/' -e 's/ *| */|/g' rows >table
	while IFS='|' read -r line typed last death wrapper; do
		(IFS=,; keys $typed) | launch >out
		check "$1:$line" "${last:-a row with no |}" "" "$death"
	done <table
}

# A first start of an emulator may set it up, with messages of its own,
# writing more and for longer than a run may.
timeout 60 $emulator "$gamedir/Korvane.exe" </dev/null >/dev/null 2>&1
table cases.txt

# Started with arguments, with an input that cannot be read (a folder), in
# the game's folder, which is on PATH only as an empty entry (the current
# folder, to a POSIX command processor): no switch comes from the answers
# or from the arguments, and the game is found.
(dir=$gamedir gamedir=
 launch --help -h --version /? -usebot -windowed -nosound <. >out)
check "arguments, an empty entry in PATH" \
    "Korvane: Player vs. Player, fullscreen, sound on"

# The stand-in game alone names a switch it does not know, and fails when
# its input ends before its player leaves it with a line.
game="Korvane -u: Player vs. Player, fullscreen, sound on; unknown switch -u"
printf '%s\n' "$game$cr" "exit status 1$cr" >own
(launcher=$gamedir/Korvane.exe; printf x | launch -u >out)
check "the stand-in game alone" "" own

# Output that cannot be written: a pipe with no reader left, or a file past
# its size limit.  The game gets the signal as the launcher was given it: at
# its default it dies of its first write; ignored, it lives on.  The FIFO,
# opened to read and write, lets it be opened to write without waiting for
# a reader; closed again, it leaves none.
all="Korvane -usebot -windowed -nosound: Player vs. Bot, windowed, sound off"
mkfifo pipe
for how in - ''; do
	(trap "$how" PIPE; exec 3<>pipe 4>pipe 3<&-; echo 2 2 2 | launch >&4)
	check "no reader, trap '$how'" "$all" /dev/null "${how:+SIGPIPE}"
	# Windows has no file-size limit, and an emulator leaves out wrapper.
	if [ -z "$emulator$cr" ]; then
		(trap "$how" XFSZ; echo 2 2 2 | wrapper="prlimit -f0" launch >out)
		check "size limit, trap '$how'" "$all" /dev/null "${how:+SIGXFSZ}"
	fi
done

# No game where the command processor looks for it: after the dialogue, only
# what it writes itself when started for the same command (under the
# emulator, if any).  On POSIX systems the game is in the current folder,
# where the command processor does not look; wine's cmd gets none.
cp dialogue own
$emulator $shell "Korvane.exe -usebot -windowed -nosound " >>own 2>err
sed 's/^/error output: /' err >>own
(if [ -z "$cr" ]; then dir=$gamedir; else dir=.; fi
 gamedir=$tmp; echo 2 2 2 | launch >out)
check "no game to start" "$all" own

# At a terminal, which ends each line with CR LF and, set so, echoes nothing.
if [ -n "$trace" ]; then
	tty=1 cr=$(printf '\r')
	sed "\$!s/\$/$cr/" "$here/golden.txt" >dialogue
	table terminal.txt
fi

echo "$((runs - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]

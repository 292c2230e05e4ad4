#!/bin/sh
# Runs the launcher as a player would: once for each row of cases.txt, then
# in the ways a row cannot say.  Each run is checked whole, by check below.
# With -t, all of it under strace, which also sees the one exact command
# handed to the command processor and each death by a signal, and then once
# for each row of terminal.txt, at a terminal.  The first run that meets its
# time limit ends the suite, so a launcher that waits or loops fails in
# seconds.
#
# usage: [ROW=FILE:LINE] run-cases.sh [-t] BINDIR [EMULATOR]
#   e.g. sh tests/run-cases.sh build/bin
#        ROW=cases.txt:32 sh tests/run-cases.sh build/bin   (that row alone;
#        a row of terminal.txt needs -t)
# BINDIR holds the launcher and the stand-in game.  Where strace or
# util-linux's script cannot run, -t says so and exits 77, for skipped, or
# 1 where CI is set (not to false), as CI services set it.  A launcher named
# .exe is taken for a Windows one: lines end in CR LF, and cmd is the
# command processor; -t is for POSIX systems only.

# Rows and wrappers are split on commas or blanks where they are not
# quoted: no * or ? in them may stand for file names.
set -f
unset trace tty startdir onpath wrapper shellignores
runs=0 failed=0
here=$(cd "$(dirname "$0")" && pwd)
case $1 in -t) trace="strace -f -qq -e trace=%file -s 300 -o"; shift ;; esac
gamedir=$(cd "$1" && pwd)
emulator=${2-}
program=$gamedir/korvane-launcher
cr="" shell="sh -c"
if [ -e "$program.exe" ]; then cr=$(printf '\r') shell="cmd /c"; fi
# Runs start in the suite's folder, where the game is not: a POSIX command
# processor finds it on PATH.  Wine's cmd looks in the current folder first,
# and is given no PATH of ours: there runs start in the game's folder.
if [ -n "$cr" ]; then program=$program.exe startdir=$gamedir; fi
if [ -n "$trace" ] && ! $trace /dev/null script -qec true /dev/null; then
	echo "no strace or no terminal: traced and terminal runs not checked"
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

# Runs program (the launcher) with ARGs, all signals at their default, and
# its output to launch's output.  Options, set for one call:
#   startdir  the folder it starts in (the suite's folder if unset)
#   onpath    the folder that comes second on PATH, after the suite's own
#             (gamedir if unset; set empty, an empty PATH entry)
#   wrapper   what starts it (prlimit, env ...), where no emulator does,
#             since a wrapper would change the emulator's own workings
#   tty       set: at a terminal (made by script), echoing nothing
# Then appends to the file out (where the caller sends launch's output, or
# to a pipe with no reader) the run's exit status, if not 0 (124, or 137
# where it had to be killed: it met its time limit of 20 s), and its error
# output, and makes the file done, which tells keys that the run is over.
# $cr ends these lines as the run ends its own.
launch() {	# [ARG...]
	set -- env --default-signal ${emulator:-$wrapper} "$program" "$@"
	if [ -n "$trace" ]; then set -- $trace "$tmp/trace" "$@"; fi
	# script hands its command to a shell: each word goes in single quotes,
	# and a quote in a word is closed, escaped and opened again ('\'').
	if [ -n "$tty" ]; then set -- script -qec "stty -echo; exec $(
	    printf '%s\n' "$@" | sed "s/'/'\\\\''/g; s/^/'/; s/\$/' /" | tr -d '\n'
	    )" /dev/null; fi
	(ulimit -c 0; ulimit -f 100000; cd "${startdir:-.}" &&
	    PATH="$tmp:${onpath-$gamedir}:$PATH" timeout -k 1 20 "$@") 2>err ||
	    echo "exit status $?$cr" >>out
	sed 's/^/error output: /' err >>out
	: >done
}

# The rules every run must meet, in short: its whole output byte for byte,
# no error output and exit status 0, unless the expected output says
# otherwise.  In full: out must hold exactly what the run must leave: the
# dialogue (golden.txt, the whole of it, byte for byte) and then
# ENDING (the stand-in game's line, or the exit status of a run that starts
# no game), or else, where OUTPUT is given and not empty, the file OUTPUT
# (/dev/null for nothing at all); no exit status but 0 and no error
# output, unless these name them.  Traced, strace must also have seen:
# where ENDING is a game's line, the one command handed over, made from
# that line: "Korvane.exe " and the switches the game names, each with one
# blank after it (so it is checked even where the output is lost); the
# launcher's own process opening no file and changing no folder, the
# loader's and the locale's files left out; and a death by the signal
# DEATH, if given, listed once however many processes in a row die of it
# (uniq).  What the command processor opens is its own.
# Clears out for the next run; a run that met its time limit ends the
# suite.  out and want may hold:
#
#   ...                              the run's output
#   exit status 124                  its exit status, if not 0
#   error output: sh: 1: ...         each line of its error output
#   command "Korvane.exe -usebot "   traced: each command handed over (as
#                                    sh -c -- COMMAND since glibc 2.38),
#   openat "saved"                   each file the launcher opens, each
#   chdir "/"                        folder it changes to,
#   killed by SIGINT                 and each death by a signal
#   over before all its keys were typed    (see keys)
check() {	# NAME ENDING [OUTPUT [DEATH]]
	cat "${3:-dialogue}" >want
	if [ -z "${3-}" ]; then printf '%s\n' "$2$cr" >>want; fi
	if [ -n "$trace" ]; then
		printf '%s\n' "$2" ${4:+"killed by $4"} | sed -n -e '/^killed/p' \
		    -e 's/^Korvane\([^:]*\):.*/command "Korvane.exe\1 "/p' >>want
		# The first process traced is the launcher's own.
		self=$(sed -n '1s/ .*//p' trace)
		sed -n -E -e 's/.*"sh", "-c", ("--", )?(.*)\], .*/command \2/p' \
		    -e '\%ld\.so\.|\.so[.0-9]*"|/proc/self/|locale|gconv%d' \
		    -e 's/^'"$self"' +(open[a-z]*|chdir)\([^"]*("[^"]*").*/\1 \2/p' \
		    -e 's/.*\+\+\+ (killed by [A-Z]+).*/\1/p' trace | uniq >>out
	fi
	runs=$((runs + 1))
	diff -u -L "FAIL: $1" -L "" want out >diff || failed=$((failed + 1))
	sed 30q diff
	if grep -q -e 'exit status 124' -e 'exit status 137' out; then exit 1; fi
	rm -f out done trace
}

# Types the KEYS one after another: the n-th key waits until out holds n - 1
# lines with ": " (prompts and game lines), so each comma in a row waits
# for one more (",2\n,bye\n": "2\n" at the first prompt, "bye\n" at the
# next prompt or game line).  A run that is over before that, such as a
# launcher that does not wait for the game, fails.  At a terminal, as the
# end of input is a key there, the keys stay until the run is over.
keys() {	# KEYS...
	n=0
	for k do
		until [ "$(grep -so ': ' out | wc -l)" -ge $n ] || [ -e done ]
		do sleep 0.1; done
		if [ -e done ]; then echo "over before all its keys were typed" >>out; fi
		printf '%b' "$k"
		n=$((n + 1))
	done
	until [ -z "$tty" ] || [ -e done ]; do sleep 0.1; done
}

# One run for each row of the table FILE, named FILE:LINE, or for the row
# ROW alone, if set.  A row is: typed | ending | death | wrapper; comments,
# empty lines and the blanks around each | are left out.  A row with no |,
# and a table with no row, fail.  grep's line number becomes the first
# field.
table() {	# FILE
	grep -nv -e '^#' -e '^$' "$here/$1" >rows || failed=$((failed + 1))
	sed -e 's/:/|/' -e 's/ *| */|/g' rows >table
	if [ -n "${ROW-}" ]; then grep "^${ROW#"$1:"}|" table >rows; mv rows table; fi
	# read sets wrapper, launch's option, for the row.
	while IFS='|' read -r line typed ending death wrapper; do
		(IFS=,; keys $typed) | launch >out
		# No death is expected by a signal that the command processor
		# leaves ignored for the game.
		check "$1:$line" "${ending:-a row with no |}" "" "${death#"$shellignores"}"
	done <table
}

# A first start of an emulator may set it up, with messages of its own,
# writing more and for longer than a run may.
timeout 60 $emulator "$gamedir/Korvane.exe" </dev/null >/dev/null 2>&1
table cases.txt

if [ -z "${ROW-}" ]; then
	# Started with arguments, with a folder as its input, which cannot be
	# read, in the game's folder, whose only place on PATH is an empty entry
	# (the current folder, to a POSIX command processor): no switch comes
	# from the answers or from the arguments, and the game is found.
	(startdir=$gamedir onpath=
	 launch --help -h --version /? -usebot -windowed -nosound 2 2 2 <. >out)
	check "arguments, a folder as input, an empty PATH entry" "Korvane: Player vs. Player, fullscreen, sound on"

	# Started with its input closed: the end of the input.  Traced, strace
	# opens /dev/null in its place.
	(launch <&- >out)
	check "input closed" "Korvane: Player vs. Player, fullscreen, sound on"

	# The stand-in game alone names a switch it does not know, its case
	# too, and fails when its input ends before its player leaves it.
	game="Korvane -u -USEBOT: Player vs. Player, fullscreen, sound on; unknown switch -u; unknown switch -USEBOT"
	printf '%s\n' "$game$cr" "exit status 1$cr" >expected
	(program=$gamedir/Korvane.exe; printf x | launch -u -USEBOT >out)
	check "the stand-in game alone: unknown switches, end of input" "" expected

	# Output that cannot be written: a pipe with no reader left, or a file
	# past its size limit.  The game gets the signal as the launcher was
	# given it: at its default it dies of its first write; ignored, it
	# lives on.  The FIFO, opened to read and write, lets it be opened to
	# write without waiting for a reader; closed again, it leaves none.
	allswitches="Korvane -usebot -windowed -nosound: Player vs. Bot, windowed, sound off"
	mkfifo pipe
	for how in default ignore; do
		if [ $how = default ]; then pipedeath=SIGPIPE sizedeath=SIGXFSZ; else pipedeath= sizedeath=; fi
		(exec 3<>pipe 4>pipe 3<&-
		 echo 2 2 2 | wrapper="env --$how-signal=PIPE" launch >&4)
		check "no reader, SIGPIPE at $how" "$allswitches" /dev/null "$pipedeath"
		# Windows has no file-size limit, and an emulator leaves out wrapper.
		if [ -z "$emulator$cr" ]; then
			(echo 2 2 2 |
			 wrapper="env --$how-signal=XFSZ prlimit -f0" launch >out)
			check "size limit, SIGXFSZ at $how" "$allswitches" /dev/null "$sizedeath"
		fi
	done

	# No game where the command processor looks for it: after the
	# dialogue, only what it writes itself when started for the same
	# command (under the emulator, if any).  On POSIX systems the game is
	# in the current folder, where the command processor does not look;
	# wine's cmd gets none.
	cp dialogue expected
	$emulator $shell "Korvane.exe -usebot -windowed -nosound " >>expected 2>err
	sed 's/^/error output: /' err >>expected
	(if [ -z "$cr" ]; then startdir=$gamedir; else startdir=.; fi
	 onpath=$tmp; echo 2 2 2 | launch >out)
	check "no game to start" "$allswitches" expected
fi

# At a terminal, which ends each line with CR LF and, set so, echoes nothing.
if [ -n "$trace" ]; then
	tty=1 cr=$(printf '\r')
	# The system's command processor may start the game with SIGQUIT
	# ignored (BusyBox's does): Ctrl-\ cannot end it there.
	# (SIGQUIT is the mask 4; the last hex digit of SigIgn holds it.)
	if env --default-signal /bin/sh -c "grep -q '^SigIgn:.*[4-7c-f]$' /proc/self/status"; then
		shellignores=SIGQUIT
	fi
	sed "\$!s/\$/$cr/" "$here/golden.txt" >dialogue
	table terminal.txt
fi

echo "$((runs - failed)) passed, $failed failed${ROW:+ of the row $ROW}"
[ "$failed" -eq 0 ] && [ "$runs" -gt 0 ]

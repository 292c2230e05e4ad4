#!/bin/sh
# SPDX-License-Identifier: MIT
# The test suite.  It runs the built launcher as a player does, and checks
# the whole of each run.
#
# usage: [ONLY=PATTERN] sh run-cases.sh [-t] BINDIR [EMULATOR]
#   sh tests/run-cases.sh build/bin                       as CTest's cases
#   sh tests/run-cases.sh -t build/bin                    as CTest's traced
#   ONLY='Ctrl-C*' sh tests/run-cases.sh -t build/bin     the tests so named
# Every test has a name: a row of cases.txt or terminal.txt its first
# column, and a run that a row cannot say the name given to selected below.
# ONLY, a shell pattern, picks the tests whose names it matches; one that
# matches no name fails.
# With -t, strace traces every run, and the rows of terminal.txt run at a
# terminal; without it, they are counted skipped.  Where strace or
# util-linux's script cannot run, -t says so and exits 77, which CTest
# counts as skipped, or 1 where KORVANE_NO_SKIP is set, as in our own CI.
# BINDIR holds the launcher and the stand-in game.  EMULATOR, if given,
# runs both: wine, for a Windows build, whose launcher is named
# korvane-launcher.exe; its lines end in CR LF and its command processor
# is cmd.
# Each run has a time limit of 20 s.  The first run that meets it ends the
# suite, so a launcher that waits or loops fails in seconds.
#
# What README.md promises, and the tests that pin it:
#   exit 0, no message of its own   no game to start; every run (the game
#                                    fails at the end of its input);
#                                    SIGCHLD ignored
#   the system's /bin/sh             every run (a sh on PATH is the game)
#   the exact command                every run, traced
#   answers other than 1 or 2        -1 0 3; 12 11 -2147483648; beyond 32 bits
#   a number as "%d" reads one       blanks, plus and zeros; NUL; byte 255;
#                                    UTF-8 byte-order mark; sign and a blank;
#                                    +-2; 2a; 0x2; SIGCHLD ignored (several
#                                    on one line)
#   the end of the input             empty input; end after 2; arguments,
#                                    input closed, ...; Ctrl-D
#   out before it waits              prompts before reads; every terminal row
#   output that cannot be written    no reader, ...; size limit, ...
#   Ctrl-C and Ctrl-\                Ctrl-C at a prompt; Ctrl-C in the game;
#                                    Ctrl-backslash in the game
#   lines typed after the third      typed ahead
#   no arguments, variables, files   arguments, ...; SHELL and COMSPEC; every
#                                    run, traced (no file opened)
#   the game found on PATH alone     no game to start
# Not pinned here: COMSPEC on Windows, an input that cannot be read other
# than a closed one, output to a pipe that is still read, and variables
# other than SHELL and COMSPEC, which strace cannot see being read (runs
# get the caller's environment, so one the caller sets may show).

# set -f keeps a * or ? in a row from standing for file names.
set -f
runs=0 failed=0 skipped=0 matched=0 shell_ignores="" cannot=""
here=$(cd "$(dirname "$0")" && pwd)
case $1 in -t) traced=yes; shift ;; *) traced=no ;; esac
gamedir=$(cd "$1" && pwd)
emulator=${2-}
program=$gamedir/korvane-launcher
# Runs start in the suite's folder, where the game is not: a POSIX command
# processor finds it on PATH, and a run without it on PATH starts in the
# game's folder, where it must not look.  Wine's cmd gets no PATH of ours
# and looks in the current folder first: the other way round.
rundir=. nogame=$gamedir windows=no cr="" shell="sh -c" at=plain
if [ -e "$program.exe" ]; then program=$program.exe rundir=$gamedir nogame=. windows=yes; fi
if [ $windows = yes ]; then cr=$(printf '\r') shell="cmd /c"; fi
every_switch="Korvane.exe -usebot -windowed -nosound "
tmp=$(mktemp -d) && cd "$tmp" || exit 1
trap 'rm -rf "$tmp"' EXIT
# The stand-in game, as sh, comes first on PATH in every run: a launcher
# that looks up its command processor on PATH starts the game in its place.
ln -s "$gamedir/Korvane.exe" sh

if [ $traced = yes ] && ! strace -o /dev/null script -qec true /dev/null; then
	echo "no strace, or script cannot make a terminal: nothing traced"
	if [ -n "${KORVANE_NO_SKIP-}" ]; then exit 1; fi
	exit 77
fi

# Whether the test NAME is to run: ONLY matches it, and this run can try
# it, which CANNOT, if given, says it cannot.
selected() {	# NAME [CANNOT]
	case $1 in ${ONLY:-*}) ;; *) return 1 ;; esac
	matched=$((matched + 1)) name=$1
	if [ -n "${2-}" ]; then echo "skipped: $1 ($2)"; skipped=$((skipped + 1)); return 1; fi
}

# Runs PROGRAM with ARGs in folder DIR, with ENTRY on PATH after the
# suite's folder (an empty ENTRY is the current folder), started by
# WRAPPER (env, prlimit ...) if not empty, in place of which an emulator
# starts it.  Every signal is at its default.  Its output goes to launch's;
# its exit status, if not 0, and each line of its error output are
# appended to the file out, ending in $cr as its own lines do.  124 or 137
# is a run that met its time limit.  At the end the file over tells
# type_at_prompts that the run is over.
# Traced, strace writes to the file trace each call on a file (-e) of each
# process (-f), with strings of up to 300 bytes (-s) and no notes (-qq).
# At a terminal, script runs it, each word quoted for the shell (it's
# becomes 'it'\''s'), with echo off.  ulimit keeps a killed run from
# leaving a core file and a runaway one from filling the disk.
launch() {	# DIR ENTRY WRAPPER PROGRAM [ARG...]
	dir=$1 entry=$2 wrapper=${emulator:-$3}
	shift 3
	set -- env --default-signal $wrapper "$@"
	if [ $traced = yes ]; then set -- strace -f -qq -e trace=%file -s 300 -o "$tmp/trace" "$@"; fi
	if [ $at = terminal ]; then set -- script -qec "stty -echo; exec $(
	    printf '%s\n' "$@" | sed "s/'/'\\\\''/g; s/^/'/; s/\$/' /" | tr -d '\n'
	    )" /dev/null; fi
	(ulimit -c 0; ulimit -f 100000; cd "$dir" &&
	    PATH="$tmp:$entry:$PATH" timeout -k 1 20 "$@") 2>err ||
	    echo "exit status $?$cr" >>out
	sed 's/^/error output: /' err >>out
	: >over
}

# What check takes from the file trace, under a sample line of it and what
# it makes of that line.
#   4243 execve("/bin/sh", ["sh", "-c", "--", "Korvane.exe -usebot "], 0x7ffd /* 9 vars */) = 0
#   command "Korvane.exe -usebot "
# (glibc puts "--" before the command since 2.38.)
command_handed_over='s/.*"sh", "-c", ("--", )?(.*)\], .*/command \2/p'
# A file that every program opens, the loader's, the locale's or a
# character set's, is left out; one of the launcher's whose name holds
# "locale" is not.
#   4242 openat(AT_FDCWD, "/usr/lib/locale/locale-archive", O_RDONLY|O_CLOEXEC) = 3
everyones_file='\%ld\.so\.|\.so[.0-9]*"|/proc/self/|/locale/|/gconv/%d'
# A file opened or a folder changed to, taken from the launcher's own
# process alone, as what the command processor opens is its own.
#   4242 openat(AT_FDCWD, "saved", O_RDONLY) = 3
#   openat "saved"
file_opened='s/^[0-9]+ +(open[a-z]*|chdir)\([^"]*("[^"]*").*/\1 \2/p'
#   4244 +++ killed by SIGPIPE +++
#   killed by SIGPIPE
death_by_signal='s/.*\+\+\+ (killed by [A-Z]+).*/\1/p'

# Checks the run that just ended, as the test of the name last selected:
# the file out must hold, byte for byte, the file expected (empty where
# none was written, for a run whose output is lost), and with -t, after it:
# COMMAND, if not empty, as handed to the command processor; no file that
# the launcher opens nor folder it changes to; and a death by the signal
# DEATH, if not empty, listed once however many processes die of it.  A
# difference is shown headed "FAIL: NAME", in at most 30 lines.  A run
# that met its time limit ends the suite.
check() {	# COMMAND DEATH
	: >>expected
	if [ $traced = yes ]; then
		if [ -n "$1" ]; then echo "command \"$1\"" >>expected; fi
		if [ -n "$2" ]; then echo "killed by $2" >>expected; fi
		launcher=$(sed -n '1s/ .*//p' trace)
		sed -n -E -e "$command_handed_over" -e "$everyones_file" \
		    -e "/^$launcher /$file_opened" -e "$death_by_signal" trace | uniq >>out
	fi
	runs=$((runs + 1))
	diff -u -L "FAIL: $name" -L "" expected out >diff || failed=$((failed + 1))
	sed 30q diff
	if grep -q -e 'exit status 124' -e 'exit status 137' out; then echo "FAIL: $name: out of time"; exit 1; fi
	rm -f out over trace expected
}

# The command that starts the game whose line is LINE, with one blank after
# each word: "Korvane -usebot: ..." is started by "Korvane.exe -usebot ".
# Nothing for a line that is not a game's.
command_for() {	# LINE
	case $1 in Korvane*) switches=${1%%:*}; printf '%s ' Korvane.exe ${switches#Korvane} ;; esac
}

# Types the KEYS one after another: the first at once, and each next one
# once out holds one more line with ": ", as each prompt ("Selection: ")
# and each game's line do, and no other line of a run before it is over.
# A run that is over before all its keys are typed fails.  At a terminal,
# the end of the input is a key (Ctrl-D), so the input stays open there
# until the run is over.
type_at_prompts() {	# KEYS...
	n=0
	for key do
		until [ "$(grep -so ': ' out | wc -l)" -ge $n ] || [ -e over ]
		do sleep 0.1; done
		if [ -e over ]; then echo "over before all its keys were typed" >>out; fi
		printf '%b' "$key"
		n=$((n + 1))
	done
	until [ $at = plain ] || [ -e over ]; do sleep 0.1; done
}

# Runs each row of the table FILE: name | typed | ending | death | wrapper,
# the blanks around each | left out.  A table with no row fails.  A row's
# run must write the dialogue, then its ending.  golden.txt ends without a
# line feed, as the dialogue ends in the third prompt; each other line of
# the dialogue gets $cr before its line feed.
table() {	# FILE
	sed "\$!s/\$/$cr/" "$here/golden.txt" >dialogue
	if ! grep -v -e '^#' -e '^$' "$here/$1" >rows; then echo "FAIL: $1 has no row"; failed=$((failed + 1)); fi
	sed 's/ *| */|/g' rows >table
	while IFS='|' read -r row typed ending death wrapper; do
		selected "$row" "$cannot" || continue
		# No death by a signal that the command processor leaves ignored.
		if [ "$death" = "$shell_ignores" ]; then death=""; fi
		printf '%s\n' "$ending$cr" | cat dialogue - >expected
		(IFS=,; type_at_prompts $typed) |
		    launch "$rundir" "$gamedir" "$wrapper" "$program" >out
		check "$(command_for "$ending")" "$death"
	done <table
}

# A first start of an emulator may set it up, write messages of its own
# and take longer than a run may.
timeout 60 $emulator "$gamedir/Korvane.exe" </dev/null >/dev/null 2>&1
table cases.txt

# The runs that a row cannot say, each selected by its name.

# No switch from its arguments; an input that is closed is the end of the
# input (traced, strace opens /dev/null in its place); and the game is
# found in the current folder through an empty entry of PATH.  Each fault
# shows apart in the difference.
if selected "arguments, input closed, an empty PATH entry"; then
	launch "$gamedir" "" "" "$program" --help -h --version /? -usebot -windowed -nosound 2 2 2 <&- >out
	printf '%s\n' "Korvane: Player vs. Player, fullscreen, sound on$cr" | cat dialogue - >expected
	check "Korvane.exe " ""
fi

# Output that cannot be written, to a pipe with no reader or past a file
# size limit: the game gets the signal as the launcher was given it, so at
# its default the game dies of its first write.  Windows has no size
# limit, and an emulator goes without the wrapper.
if [ $windows = yes ] || [ -n "$emulator" ]; then nolimit="no file size limit here"; else nolimit=""; fi
mkfifo pipe
for how in default ignore; do
	if [ $how = default ]; then pipedeath=SIGPIPE sizedeath=SIGXFSZ; else pipedeath="" sizedeath=""; fi
	if selected "no reader, SIGPIPE at $how"; then
		# Opened to read and write, the FIFO opens without waiting for a
		# reader; then again as the run's output; then its reader closed.
		(exec 3<>pipe 4>pipe 3<&-
		 echo 2 2 2 | launch "$rundir" "$gamedir" "env --$how-signal=PIPE" "$program" >&4)
		check "$every_switch" "$pipedeath"
	fi
	if selected "size limit, SIGXFSZ at $how" "$nolimit"; then
		echo 2 2 2 | launch "$rundir" "$gamedir" "env --$how-signal=XFSZ prlimit -f0" "$program" >out
		check "$every_switch" "$sizedeath"
	fi
done

# No game where the command processor looks: the dialogue, then what the
# command processor writes for the same command.
if selected "no game to start"; then
	echo 2 2 2 | launch "$nogame" "$tmp" "" "$program" >out
	cp dialogue expected
	$emulator $shell "$every_switch" 2>err >>expected
	sed 's/^/error output: /' err >>expected
	check "$every_switch" ""
fi

# Each row of terminal.txt, at a terminal, which ends each line with CR LF.
# BusyBox's sh starts the game with SIGQUIT ignored, so Ctrl-\ cannot end
# it there: /bin/sh is asked.  SigIgn is a mask in hex, and SIGQUIT,
# signal 3, is the bit 4 of its last digit.
at=terminal cr=$(printf '\r')
if [ $traced = no ]; then cannot="at a terminal, with -t only"; fi
shell_ignores=$(env --default-signal /bin/sh -c "sed -n 's/^SigIgn:.*[4-7c-f]$/SIGQUIT/p' /proc/self/status" 2>/dev/null)
table terminal.txt

if [ $matched -eq 0 ]; then echo "FAIL: no test is named ${ONLY-}"; fi
echo "$((runs - failed)) passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ] && [ $matched -gt 0 ] || exit 1

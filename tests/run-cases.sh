#!/bin/sh
# The test suite.  It runs the built launcher as a player does, and checks
# the whole of each run.
# First it runs the launcher once for each row of cases.txt.  Then it runs
# it in the ways that a row cannot say, each such run under a name.
# With -t, strace traces every run, and then each row of terminal.txt runs
# at a terminal.
# Each run has a time limit of 20 s.  The first run that meets it ends the
# suite, so a launcher that waits or loops fails in seconds.
#
# usage: [ROW=FILE:LINE] sh run-cases.sh [-t] BINDIR [EMULATOR]
#   sh tests/run-cases.sh build/bin                    every run
#   sh tests/run-cases.sh -t build/bin                 every run, traced
#   ROW=cases.txt:40 sh tests/run-cases.sh build/bin   the row on line 40
# ROW runs one row alone.  A row is named by its table and its line, and a
# line number alone names none.  A ROW that names no row fails, and says so.
# The runs after the tables run only where ROW is not set.
# BINDIR holds the launcher and the stand-in game.  EMULATOR, if given,
# runs both: wine, for a Windows build.
# A launcher named korvane-launcher.exe is taken for a Windows one.  Its
# lines end in CR LF, and its command processor is cmd.  -t is for POSIX
# systems only.
# Where strace or util-linux's script cannot run, -t says so and exits 77,
# which CTest counts as skipped.  Where CI is set, and not to false, it
# exits 1 instead, as CI services set CI.

# A row's keys are split at its commas, and a wrapper at its blanks.  set -f
# keeps a * or ? in them from standing for file names.
set -f
runs=0 failed=0 shell_ignores=""
here=$(cd "$(dirname "$0")" && pwd)
case $1 in -t) traced=yes; shift ;; *) traced=no ;; esac
gamedir=$(cd "$1" && pwd)
emulator=${2-}
program=$gamedir/korvane-launcher
# Runs start in the suite's folder, where the game is not.  A POSIX command
# processor finds the game on PATH.  The runs are plain until the terminal's
# rows; the line end is $cr before each line feed.
rundir=. windows=no cr="" shell="sh -c" at=plain
# Wine's cmd looks for the game in the current folder first, and it gets no
# PATH of ours.  So there runs start in the game's folder.
if [ -e "$program.exe" ]; then program=$program.exe rundir=$gamedir windows=yes; fi
if [ $windows = yes ]; then cr=$(printf '\r') shell="cmd /c"; fi
# The suite works in a folder of its own, which it removes at its end.
tmp=$(mktemp -d) && cd "$tmp" || exit 1
trap 'rm -rf "$tmp"' EXIT
# The stand-in game, as sh, comes first on PATH in every run.  A launcher
# that looks up its command processor on PATH, instead of taking the
# system's own, starts the game in its place, and fails.
ln -s "$gamedir/Korvane.exe" sh

# Runs PROGRAM with ARGs as a player does, its output to launch's output.
# PROGRAM is the launcher, but for one run of the stand-in game alone.  The
# options, each given at every call:
#   DIR      the folder it starts in
#   ENTRY    the entry of PATH after the suite's folder.  An empty entry
#            stands for the current folder.
#   WRAPPER  the program that starts it (env, prlimit ...), or nothing.  An
#            emulator takes the wrapper's place, as a wrapper would change
#            the emulator's own workings.
# Every signal is at its default in the run, whatever the suite was started
# with.
# With -t, strace starts the run.  It writes to the file trace each call on
# a file (-e) of each process (-f), with strings of up to 300 bytes (-s) and
# no notes of its own (-qq).
# At a terminal, util-linux's script starts the run.  The terminal echoes
# nothing (stty -echo).  script hands its command to a shell, so each word
# goes in single quotes.  A quote in a word is ended, escaped and begun
# again: it's becomes 'it'\''s'.
# A death by SIGQUIT leaves no core file (ulimit -c 0).  A program that
# writes on and on stops at about 50 MB (ulimit -f counts blocks of 512
# bytes), so it fills no disk before its time limit.
# The run's output goes wherever the caller sends launch's output, mostly to
# the file out.  The run's exit status and error output always go to the
# file out, which check reads.  launch appends the exit status, if not 0.  124
# is the exit status of a run that met its time limit, and 137 that of a run
# killed then.  It appends each line of the run's error output too.  These
# lines end in $cr, as the run's own do.
# Last, it makes the file over, which tells type_at_prompts that the run is
# over.
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

# -t needs strace and a terminal.  This asks strace to trace script, which
# runs true at a terminal.
if [ $traced = yes ] && ! strace -o /dev/null script -qec true /dev/null; then
	echo "no strace or no terminal: traced and terminal runs not checked"
	case ${CI-} in ''|false) exit 77 ;; *) exit 1 ;; esac
fi

# What check takes from the file trace: one sed expression for each kind of
# line.  Above each stand a line of the trace and what the expression makes
# of it.

# The command handed to the command processor.  glibc puts "--" before it
# since 2.38.
#   4243 execve("/bin/sh", ["sh", "-c", "--", "Korvane.exe -usebot "], 0x7ffd /* 9 vars */) = 0
#   command "Korvane.exe -usebot "
command_handed_over='s/.*"sh", "-c", ("--", )?(.*)\], .*/command \2/p'

# A file that every program opens: the loader's, or one in a folder of the
# locale or of character sets (gconv).  It is left out.  A file of the
# launcher's own whose name holds "locale" is not.
#   4242 openat(AT_FDCWD, "/usr/lib/locale/locale-archive", O_RDONLY|O_CLOEXEC) = 3
everyones_file='\%ld\.so\.|\.so[.0-9]*"|/proc/self/|/locale/|/gconv/%d'

# A file that a process opens, or a folder that it changes to.  check takes
# it from the launcher's own process alone.  What the command processor
# opens is its own.
#   4242 openat(AT_FDCWD, "saved", O_RDONLY) = 3
#   openat "saved"
file_opened='s/^[0-9]+ +(open[a-z]*|chdir)\([^"]*("[^"]*").*/\1 \2/p'

# A death by a signal.
#   4244 +++ killed by SIGPIPE +++
#   killed by SIGPIPE
death_by_signal='s/.*\+\+\+ (killed by [A-Z]+).*/\1/p'

# Checks the run that just ended, and counts it.  The file out must hold
# exactly what the run must leave, in this order:
#   - OUTPUT, the whole of it, byte for byte.
#   - Where OUTPUT is the file dialogue (golden.txt), ENDING: the stand-in
#     game's line, or the exit status of a run that starts no game.
#     Where OUTPUT is another file, ENDING is not in the output.  It still
#     names the game that the run must start, which only -t can check.
#   - No exit status but 0, and no error output, unless OUTPUT or ENDING
#     holds them.
#   - Traced, where ENDING is a game's line, the command for it.
#   - Traced, no file that the launcher opens, and no folder it changes to.
#   - Traced, where DEATH is given, the death by that signal.
# A failed check shows the difference, headed "FAIL: NAME", at most 30
# lines.  A run that met its time limit ends the suite.
# out may hold:
#   ...                              the run's output
#   exit status 124                  its exit status, if not 0
#   error output: sh: 1: ...         each line of its error output
#   command "Korvane.exe -usebot "   each command handed over
#   openat "saved"                   each file the launcher opens
#   chdir "/"                        each folder it changes to
#   killed by SIGINT                 each death by a signal
#   over before all its keys were typed    (see type_at_prompts)
check() {	# NAME ENDING OUTPUT DEATH
	cat "$3" >want
	if [ "$3" = dialogue ]; then printf '%s\n' "$2$cr" >>want; fi
	if [ $traced = yes ]; then
		# The game's line names its switches before its ": ".  The command
		# that starts it is Korvane.exe, then each switch, each with one
		# blank after it.  "Korvane -usebot: ..." needs the command
		# "Korvane.exe -usebot ".
		switches=${2%%:*}
		case $2 in Korvane*) echo "command \"$(printf '%s ' Korvane.exe ${switches#Korvane})\"" >>want ;; esac
		if [ -n "$4" ]; then echo "killed by $4" >>want; fi
		# The launcher's own process is the first one traced.  Its number
		# begins the trace.
		launcher=$(sed -n '1s/ .*//p' trace)
		# A death is listed once, however many processes in a row die of
		# it, as the command processor may die of it with the game.
		sed -n -E -e "$command_handed_over" -e "$everyones_file" \
		    -e "/^$launcher /$file_opened" -e "$death_by_signal" trace | uniq >>out
	fi
	runs=$((runs + 1))
	diff -u -L "FAIL: $1" -L "" want out >diff || failed=$((failed + 1))
	sed 30q diff
	if grep -q -e 'exit status 124' -e 'exit status 137' out; then exit 1; fi
	rm -f out over trace
}

# Types the KEYS one after another, each once the run has asked for it.
# The first key is typed at once.  Each next one waits until out shows one
# more prompt or game line.
# It counts the lines of out that hold ": ".  Each prompt holds it
# ("Selection: "), and so does each line of the stand-in game ("Korvane:
# ...").  No other line of a run does before the run is over.
# For the keys "", "2\n" and "bye\n", it types nothing at first.  It types
# "2\n" at the first prompt, and "bye\n" at the next prompt or game line.
# A run that is over before all its keys are typed fails, as out then says
# so.  A launcher that does not wait for the game is one.
# At a terminal, the end of the input is a key (Ctrl-D).  So there the
# input stays open until the run is over.
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

# Runs each row of the table FILE, or the row ROW alone if ROW is not empty.
# A row is named FILE:LINE.  A row is: typed | ending | death | wrapper.
# Comments, empty lines and the blanks around each | are left out.  A table
# with no row fails.
table() {	# FILE
	# golden.txt ends without a line feed, as the dialogue does: its last
	# line is the third prompt, which waits for an answer.  Each other line
	# gets $cr before its line feed.
	sed "\$!s/\$/$cr/" "$here/golden.txt" >dialogue
	grep -nv -e '^#' -e '^$' "$here/$1" >rows || failed=$((failed + 1))
	# grep's line number becomes the first field: "18:2\n |" becomes "18|2\n|".
	sed -e 's/:/|/' -e 's/ *| */|/g' rows >table
	while IFS='|' read -r line typed ending death wrapper; do
		if [ -n "${ROW-}" ] && [ "$ROW" != "$1:$line" ]; then continue; fi
		# No death is expected by a signal that the command processor
		# leaves ignored for the game.
		if [ "$death" = "$shell_ignores" ]; then death=""; fi
		(IFS=,; type_at_prompts $typed) |
		    launch "$rundir" "$gamedir" "$wrapper" "$program" >out
		check "$1:$line" "$ending" dialogue "$death"
	done <table
}

# A first start of an emulator may set it up.  It may write messages of its
# own then, and take longer than a run may.
timeout 60 $emulator "$gamedir/Korvane.exe" </dev/null >/dev/null 2>&1
table cases.txt

# The runs that a row cannot say, each under a name of its own.  A new one
# calls launch with its options, then check with its name.  An emulator runs
# it without its wrapper, and Windows has no prlimit.  So a run whose wrapper
# is what it tries is skipped under an emulator and on Windows, as the
# size-limit runs are.  A run that needs what Windows lacks is skipped on
# Windows.
if [ -z "${ROW-}" ]; then
	# Started with arguments, and with a folder as its input, which cannot
	# be read.  It starts in the game's folder, and PATH names that folder
	# only by an empty entry, which stands for the current folder.
	# No switch may come from the arguments, the input answers nothing, and
	# the game is found.  The three share one run, as each fault shows apart
	# in the difference: a switch on the game's line, the menus' answers, or
	# "not found".
	launch "$gamedir" "" "" "$program" \
	    --help -h --version /? -usebot -windowed -nosound 2 2 2 <. >out
	check "arguments, a folder as input, an empty PATH entry" "Korvane: Player vs. Player, fullscreen, sound on" dialogue ""

	# Started with its input closed, which is the end of the input.
	# Traced, strace opens /dev/null in its place.
	launch "$rundir" "$gamedir" "" "$program" <&- >out
	check "input closed" "Korvane: Player vs. Player, fullscreen, sound on" dialogue ""

	# The stand-in game alone names each switch it does not know, in any
	# case of letters.  It fails when its input ends before its player
	# leaves it.
	printf '%s\n' "Korvane -u -USEBOT: Player vs. Player, fullscreen, sound on; unknown switch -u; unknown switch -USEBOT$cr" \
	    "exit status 1$cr" >expected
	printf x | launch "$rundir" "$gamedir" "" "$gamedir/Korvane.exe" -u -USEBOT >out
	check "the stand-in game alone: unknown switches, end of input" "" expected ""

	# Output that cannot be written: a pipe with no reader left, or a file
	# past its size limit.  The game gets the signal as the launcher was
	# given it.  With the signal at its default, the game dies of its first
	# write.  With the signal ignored, the game lives on.
	allswitches="Korvane -usebot -windowed -nosound: Player vs. Bot, windowed, sound off"
	mkfifo pipe
	for how in default ignore; do
		if [ $how = default ]; then pipedeath=SIGPIPE sizedeath=SIGXFSZ; else pipedeath= sizedeath=; fi
		# The FIFO is opened to read and write, so it opens without
		# waiting for a reader.  It is opened again to write, as the run's
		# output.  Then its one reader is closed.
		(exec 3<>pipe
		 exec 4>pipe
		 exec 3<&-
		 echo 2 2 2 | launch "$rundir" "$gamedir" "env --$how-signal=PIPE" "$program" >&4)
		check "no reader, SIGPIPE at $how" "$allswitches" /dev/null "$pipedeath"
		# Windows has no file-size limit, and an emulator leaves out the
		# wrapper.
		if [ $windows = no ] && [ -z "$emulator" ]; then
			echo 2 2 2 | launch "$rundir" "$gamedir" "env --$how-signal=XFSZ prlimit -f0" "$program" >out
			check "size limit, SIGXFSZ at $how" "$allswitches" /dev/null "$sizedeath"
		fi
	done

	# No game where the command processor looks for it.  After the
	# dialogue, out must hold what the command processor writes when it is
	# started for the same command (under the emulator, if any).
	# On POSIX systems the run starts in the game's folder, where the
	# command processor does not look.  Wine's cmd looks in the current
	# folder first, so there the run starts in the suite's.
	$emulator $shell "Korvane.exe -usebot -windowed -nosound " 2>err | cat dialogue - >expected
	sed 's/^/error output: /' err >>expected
	if [ $windows = yes ]; then nogame=$tmp; else nogame=$gamedir; fi
	echo 2 2 2 | launch "$nogame" "$tmp" "" "$program" >out
	check "no game to start" "$allswitches" expected ""
fi

# Each row of terminal.txt, at a terminal, which ends each line with CR LF.
if [ $traced = yes ]; then
	at=terminal cr=$(printf '\r')
	# BusyBox's sh starts the game with SIGQUIT ignored, so Ctrl-\ cannot end
	# it there.  The suite asks /bin/sh.  SigIgn is a mask in hex, and
	# SIGQUIT, signal 3, is the bit 4 of its last digit.
	shell_ignores=$(env --default-signal /bin/sh -c "sed -n 's/^SigIgn:.*[4-7c-f]$/SIGQUIT/p' /proc/self/status")
	table terminal.txt
fi

if [ "$runs" -eq 0 ]; then echo "FAIL: no row is ROW=${ROW-} (a row is FILE:LINE; terminal.txt's need -t)"; fi
echo "$((runs - failed)) passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$runs" -gt 0 ]

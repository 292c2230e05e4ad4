#!/bin/sh
# Runs the launcher once for each line of a table of cases, as a player
# would, and checks what it writes and what it starts.
#
# usage: run-cases.sh dialogue|command TABLE GOLDEN GAMEDIR LAUNCHER...
#   dialogue  all of standard output, byte for byte, and the exit status
#   command   the exact command handed to the command processor (by strace)
# GAMEDIR holds the stand-in game; LAUNCHER may begin with an emulator.

mode=$1 table=$2 golden=$3 gamedir=$4
shift 4
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
passed=0 failed=0

if [ "$mode" = command ] && ! strace -f -qq -o /dev/null true 2>/dev/null; then
	echo "strace cannot run here: the exact commands are not checked"
	exit 77
fi

# The whole dialogue, ending in the last prompt: the golden run less the game.
dialogue=$(sed '$ s/\(Selection: \).*/\1/' "$golden")

trim() {
	printf '%s' "$1" | sed 's/^[[:space:]]*//; s/[[:space:]]*$//'
}

# Runs the launcher in DIR, INPUT on its standard input.  The game is found
# as a player's command processor finds it: on PATH, or in the current folder.
launch() {	# DIR INPUT LAUNCHER... [ARG...]
	dir=$1 input=$2
	shift 2
	printf '%b' "$input" |
	    (cd "$dir" && PATH="$dir:$PATH" "$@") >"$tmp/out" 2>"$tmp/err"
	status=$?
	if [ "${KORVANE_EOL-}" = crlf ]; then
		# Every line feed must come with its carriage return, and only then.
		crs=$(tr -cd '\r' <"$tmp/out" | wc -c)
		lfs=$(tr -cd '\n' <"$tmp/out" | wc -c)
		sed 's/\r$//' "$tmp/out" >"$tmp/lf"
		[ "$crs" -eq "$lfs" ] || echo "(not every line ends in CR LF)" >>"$tmp/lf"
		mv "$tmp/lf" "$tmp/out"
	fi
}

verdict() {	# NAME OK
	if [ "$2" = yes ]; then
		passed=$((passed + 1))
		return
	fi
	failed=$((failed + 1))
	echo "FAIL: $1 (exit status $status)"
	sed 's/^/    /' "$tmp/diff"
}

expect() {	# NAME: standard output against $tmp/want, status 0
	ok=no
	diff "$tmp/want" "$tmp/out" >"$tmp/diff" && [ "$status" -eq 0 ] && ok=yes
	verdict "$1" $ok
}

while IFS='|' read -r input line command; do
	input=$(trim "$input") line=$(trim "$line") command=$(trim "$command")
	case $input in '#'*) continue ;; esac
	[ -n "$line" ] || continue
	if [ "$mode" = dialogue ]; then
		launch "$gamedir" "$input" "$@"
		printf '%s%s\n' "$dialogue" "$line" >"$tmp/want"
		expect "$input"
	elif [ -n "$command" ]; then
		command=${command#\"} command=${command%\"}
		launch "$gamedir" "$input" \
		    strace -f -qq -e trace=execve -s 300 -o "$tmp/trace" "$@"
		grep -F '"-c"' "$tmp/trace" >"$tmp/diff"
		ok=no
		[ "$(grep -c . "$tmp/diff")" -eq 1 ] &&
		    grep -q -F ", \"$command\"]" "$tmp/diff" && ok=yes
		verdict "$input: \"$command\"" $ok
	fi
done <"$table"

if [ "$mode" = dialogue ]; then
	launch "$gamedir" '2\n1\n2\n' "$@"
	cp "$golden" "$tmp/want"
	expect "the golden run"

	launch "$gamedir" '1\n1\n1\n' "$@" -usebot -windowed -nosound
	printf '%s%s\n' "$dialogue" \
	    "Korvane: Player vs. Player, fullscreen, sound on" >"$tmp/want"
	expect "the launcher's own arguments are ignored"

	mkdir "$tmp/nogame"
	launch "$tmp/nogame" '2\n2\n2\n' "$@"
	printf '%s' "$dialogue" >"$tmp/want"
	expect "no game to start"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/bin/sh
# Runs the launcher once for each line of a table of cases, as a player
# would, and checks what it writes and what it starts.
#
# usage: run-cases.sh dialogue|command TABLE GOLDEN GAMEDIR LAUNCHER...
#   dialogue  all of standard output, byte for byte, and the exit status
#   command   the exact command handed to the command processor (by strace)
# GAMEDIR holds the stand-in game; LAUNCHER may begin with an emulator.
# KORVANE_EOL=crlf expects the line ends of Windows.

mode=$1 table=$2 golden=$3 gamedir=$4
shift 4
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
passed=0 failed=0

if [ "$mode" = command ] && ! strace -f -qq -o /dev/null true 2>/dev/null; then
	echo "strace cannot run here: the exact commands are not checked"
	exit 77
fi

cr=""
[ "${KORVANE_EOL-}" != crlf ] || cr=$(printf '\r')
# The whole dialogue, up to the last prompt: the golden run less the game's line.
dialogue=$(sed -e '$ s/\(Selection: \).*/\1/' -e "\$!s/\$/$cr/" "$golden")

# Starts the launcher in DIR, its output into $tmp.  The game is found as a
# player's command processor finds it: on PATH, or in the current folder.
start() {	# DIR LAUNCHER... [ARG...]
	dir=$1
	shift
	(cd "$dir" && PATH="$dir:$PATH" "$@") >"$tmp/out" 2>"$tmp/err"
}

launch() {	# DIR INPUT LAUNCHER... [ARG...]: runs it with INPUT typed
	dir=$1 input=$2
	shift 2
	printf '%b' "$input" | start "$dir" "$@"
	status=$?
}

check() {	# NAME: passes when $tmp/out is $tmp/want and the status 0
	if cmp -s "$tmp/want" "$tmp/out" && [ "$status" -eq 0 ]; then
		passed=$((passed + 1))
		return
	fi
	failed=$((failed + 1))
	printf 'FAIL: %s (exit status %s)\n' "$1" "$status"
	diff "$tmp/want" "$tmp/out" | sed 's/^/    /'
	sed 's/^/    error output: /' "$tmp/err"
}

# The table's fields without the blanks that line them up, and no comments.
sed -e '/^[[:space:]]*#/d' -e 's/^[[:space:]]*//; s/[[:space:]]*$//' \
    -e 's/[[:space:]]*|[[:space:]]*/|/g' "$table" >"$tmp/table"
while IFS='|' read -r input line command; do
	if [ "$mode" = dialogue ] && [ -n "$line" ]; then
		launch "$gamedir" "$input" "$@"
		printf '%s%s\n' "$dialogue" "$line$cr" >"$tmp/want"
		check "$input"
	elif [ "$mode" = command ] && [ -n "$command" ]; then
		launch "$gamedir" "$input" \
		    strace -f -qq -e trace=execve -s 300 -o "$tmp/trace" "$@"
		sed -n 's/.*"sh", "-c", \(.*\)\], .*/\1/p' "$tmp/trace" >"$tmp/out"
		printf '%s\n' "$command" >"$tmp/want"
		check "$input"
	fi
done <"$tmp/table"

if [ "$mode" = dialogue ]; then
	launch "$gamedir" '1\n1\n1\n' "$@" -usebot -windowed -nosound
	printf '%s%s\n' "$dialogue" \
	    "Korvane: Player vs. Player, fullscreen, sound on$cr" >"$tmp/want"
	check "the launcher's own arguments are ignored"

	# Each prompt must be out, here into a file, before its answer is read.
	mkfifo "$tmp/answers"
	start "$gamedir" "$@" <"$tmp/answers" &
	exec 3>"$tmp/answers"
	late=""
	for prompt in 1 2 3; do
		tries=0
		until [ "$(grep -c 'Selection: ' "$tmp/out")" -ge "$prompt" ]; do
			tries=$((tries + 1))
			[ "$tries" -le 50 ] || { late="$late $prompt"; break; }
			sleep 0.1
		done
		printf '2\n' >&3
	done
	exec 3>&-
	wait $!
	status=$?
	[ -z "$late" ] || echo "(prompts$late not out before their reads)" >>"$tmp/out"
	printf '%s%s\n' "$dialogue" \
	    "Korvane -usebot -windowed -nosound: Player vs. Bot, windowed, sound off$cr" \
	    >"$tmp/want"
	check "each prompt is out before its answer is read"

	mkdir "$tmp/nogame"
	launch "$tmp/nogame" '2\n2\n2\n' "$@"
	printf '%s' "$dialogue" >"$tmp/want"
	check "no game to start"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/bin/sh
# SPDX-License-Identifier: MIT
# Counts the instructions the launcher's own process runs, from its start to
# the hand-over to the command processor, with "2 2 2" typed at its prompts,
# beside the same count for a minimal C program that does the same with
# printf, scanf and system.  Instruction counts repeat from run to run, where
# times would not.  Needs valgrind and a C compiler.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
make -C "$root" all >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cc -O2 -o "$tmp/reference" "$root/bench/reference.c"

count() {	# PROGRAM: its own instructions, not those of the game it starts
	printf '2 2 2\n' | (cd "$root/build/bin" && PATH="$PWD:$PATH" \
	    valgrind --tool=callgrind --callgrind-out-file="$tmp/out.%p" \
	    "$1" >/dev/null 2>&1)
	sed -n 's/^totals: //p' "$tmp"/out.*
	rm -f "$tmp"/out.*
}

launcher=$(count "$root/build/bin/korvane-launcher")
reference=$(count "$tmp/reference")
echo "launcher:  $launcher instructions"
echo "reference: $reference instructions (printf, scanf, system)"
awk -v l="$launcher" -v r="$reference" \
    'BEGIN { printf "ratio:     %.3f (the bound is about 1.10)\n", l / r }'

#!/bin/sh
# SPDX-License-Identifier: MIT
# The suite can fail: it runs traced against a copy of the launcher with a
# fault planted, one at a time, and must count a failure.  The faults are
# chosen so that a loosened suite passes them: the blank after the last
# switch is seen in the exact command alone, so a suite that cannot fail,
# loses its count of failures or compares blanks loosely passes it; a file
# opened is seen in the trace alone.  A variable left unused stops the
# build, where the warnings are on and errors.  It copies the working
# tree, so a change to the suite is tried before it is committed.
# Needs what make test needs, strace and util-linux's script.
set -eu
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
git ls-files -z | xargs -0 tar -cf - | tar -xf - -C "$tmp"
# fault|the sed script that plants it in src/launcher.cpp
while IFS='|' read -r fault plant; do
	sed "$plant" src/launcher.cpp >"$tmp/src/launcher.cpp"
	if make -C "$tmp" all >"$tmp/log" 2>&1; then
		sh "$tmp/tests/run-cases.sh" -t "$tmp/build/bin" </dev/null >"$tmp/log" || true
	fi
	grep -q -e '^[0-9]* passed, [1-9][0-9]* failed' -e 'unused variable' "$tmp/log" ||
	    { echo "the suite passes with $fault, or it was not planted:"; tail -n 3 "$tmp/log"; exit 1; }
done <<'FAULTS'
the blank after the last switch left out|s/"-nosound " : ""/"-nosound" : ""/
a file opened|s/^\tchar command\[256\];$/&\n\tif (FILE *saved = fopen("saved", "r"))\n\t\t(void)fclose(saved);/
a variable unused, which the build's warnings stop|s/^\tchar command\[256\];$/&\n\tint unused = 0;/
FAULTS

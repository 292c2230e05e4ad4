#!/bin/sh
# SPDX-License-Identifier: MIT
# What a distributor gets, built from what is committed, so it needs a
# clean tree; as root, with fakeroot, dpkg-dev, mandoc,
# g++-mingw-w64-x86-64-posix and what make test needs.  The user nobody
# builds in a folder of its own in the temporary folder, which nobody must
# reach.
set -eu
cd "$(dirname "$0")/.."
[ -z "$(git status --porcelain)" ] || { echo "$0 builds what is committed: commit first"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
# A clone asked for CR LF line ends, in a folder whose name holds a blank,
# ' and $: its suite passes, and it makes the release ZIP.
clone="$tmp/clone 'q\$x"
git -c core.autocrlf=true clone -q . "$clone"
make -C "$clone" test package >/dev/null
zip=$(echo "$clone"/build-windows/korvane-launcher-*-win64.zip)

# A packager's build, with Debian's hardened flags and build type None,
# without the tests, builds the launcher alone and warns of nothing.
# Installed into a games folder with umask 077, it is the launcher, its man
# page, README, NEWS and licence, with modes 755 and 644, in folders 755.
(eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
 CXXFLAGS="$CPPFLAGS $CXXFLAGS" cmake -S . -B "$tmp/build" -DCMAKE_BUILD_TYPE=None \
     -DBUILD_TESTING=OFF -DCMAKE_INSTALL_BINDIR=games >/dev/null)
cmake --build "$tmp/build" >"$tmp/log" 2>&1
! grep -i warning "$tmp/log" && [ "$(ls "$tmp/build/bin")" = korvane-launcher ]
(umask 077 && cmake --install "$tmp/build" --prefix "$tmp/usr" >/dev/null)
installed=$(cd "$tmp/usr" && find . -mindepth 1 -printf '%m %p\n' | LC_ALL=C sort -k 2 | paste -s -d ' ' -)
doc=./share/doc/korvane-launcher man=./share/man/man6
[ "$installed" = "755 ./games 755 ./games/korvane-launcher 755 ./share 755 ./share/doc 755 $doc 644 $doc/LICENSE 644 $doc/NEWS.md 644 $doc/README.md 755 ./share/man 755 $man 644 $man/korvane-launcher.6" ] ||
    { echo "installed: $installed"; exit 1; }
mandoc -T lint doc/korvane-launcher.6
# NEWS.md's first release and the man page name the version CMake builds.
version=$(sed -n 's/^project(korvane-launcher VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
grep -m 1 '^## ' NEWS.md | grep -q "^## $version, " && grep -q "\"Korvane launcher $version\"" doc/korvane-launcher.6 ||
    { echo "NEWS.md or the man page names another version than $version"; exit 1; }

# From a git archive tarball, by nobody, with umask 077, in another time
# zone, inside another work tree: the same bytes.  Then, without the commit
# time the tarball holds, make package stops and asks for SOURCE_DATE_EPOCH
# rather than take the other tree's.
tarball="$clone/tarball 'q\$x"
mkdir "$tarball"
git archive HEAD | tar -xf - -C "$tarball"
chown -R nobody "$tarball"
setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups env HOME="$tarball" \
    sh -c 'umask 077 && cd "$1" && TZ=Asia/Tokyo make package' sh "$tarball" >/dev/null 2>"$tmp/err" || true
cmp "$zip" "$tarball"/build-windows/*.zip || { cat "$tmp/err"; exit 1; }

rm -r "$tarball/build-windows"
echo '$Format:%ct$' >"$tarball/cmake/commit-time"
env -u SOURCE_DATE_EPOCH make -C "$tarball" package >/dev/null 2>"$tmp/err" || true
grep -q SOURCE_DATE_EPOCH "$tmp/err" && [ ! -d "$tarball/build-windows" ] ||
    { echo "make package took another tree's commit time"; exit 1; }

# Beside the game, the ZIP replaces none of its files: each of its own is
# named korvane-launcher-something.  Its texts end each line in CR LF, and
# the player's has no build steps.  Its launcher is a console program (a
# GUI one gets no console), stripped (no .debug section), that imports no
# DLL but those every Windows has.
mkdir "$tmp/unpacked"
cd "$tmp/unpacked" && cmake -E tar xf "$zip"
[ "$(LC_ALL=C ls | paste -s -d ' ' -)" = "korvane-launcher-LICENSE.txt korvane-launcher-README.txt korvane-launcher.exe" ] ||
    { ls; exit 1; }
! grep -v "$(printf '\r')\$" ./*.txt || { echo "a line above does not end in CR LF"; exit 1; }
! grep -i cmake korvane-launcher-README.txt || { echo "the player's text has build steps"; exit 1; }
launcher=$(x86_64-w64-mingw32-objdump -h -p korvane-launcher.exe | sed -n 's/^Subsystem.*(\(.*\))$/\1/p;
    s/^[[:space:]]*DLL Name: //p; s/^ *[0-9][0-9]* \(\.debug[^ ]*\) .*/\1/p' | LC_ALL=C sort | paste -s -d ' ' -)
[ "$launcher" = "KERNEL32.dll Windows CUI msvcrt.dll" ] || { echo "the launcher: $launcher"; exit 1; }

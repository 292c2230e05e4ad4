# SPDX-License-Identifier: MIT
# The commands a newcomer needs.  Each configuration is a preset in
# CMakePresets.json, with a build folder of its own; CMake does the work.
MAKEFLAGS += --no-print-directory

all: build/CMakeCache.txt
	cmake --build --preset default

# The stand-in game is found on PATH, as the command processor finds the real one.
run: all
	@cd build/bin && PATH="$$PWD:$$PATH" ./korvane-launcher

test:
	cmake --workflow --preset default

test-sanitize:
	cmake --workflow --preset sanitize

# The suite built with clang, the compiler of macOS and the BSDs.
test-clang:
	cmake --workflow --preset clang

# The suite with bash and with BusyBox sh as the system's /bin/sh, as
# Fedora, Arch or macOS and Alpine have it, each bound over it in a mount
# namespace of its own, which ends with it.  It needs root.
test-shells: all
	for shell in bash busybox; do \
	    unshare --mount --propagation private sh -c "mount --bind \
	        $$(command -v $$shell) /bin/sh && ctest --preset default" || exit 1; \
	done

# make test, make test-sanitize and make test-windows-ucrt in a throwaway
# Debian 13, which mmdebstrap builds from Debian's packages and removes again,
# also when a test fails or the run is stopped: its mounts live in a namespace
# of their own, its processes die with it, and its folder goes with the trap.
# Wine's server and its helpers outlive the suite by a moment: waited for, so
# they are not writing in the prefix while it is removed.  It needs root and
# the network.  A mirror that lags behind a release file's Valid-Until is fine
# for a system that lives minutes.
test-debian13:
	@[ "$$(id -u)" -eq 0 ] || { echo "$@ needs root, for mmdebstrap"; exit 1; }
	tmp=$$(mktemp -d) && trap 'rm -rf "$$tmp"' EXIT INT TERM && \
	TMPDIR=$$tmp unshare --mount --pid --fork --propagation private \
	mmdebstrap --variant=minbase \
	    --include=make,cmake,g++,strace,util-linux,g++-mingw-w64-ucrt64,wine64 \
	    --aptopt='Acquire::Check-Valid-Until "false"' \
	    --customize-hook='mkdir "$$1/korvane"' \
	    --customize-hook='tar -cf - --exclude=./.git --exclude="./build*" . | tar -xf - -C "$$1/korvane"' \
	    --customize-hook='chroot "$$1" make -C /korvane test test-sanitize test-windows-ucrt' \
	    --customize-hook='WINEPREFIX=/korvane/build-windows-ucrt/wine chroot "$$1" /usr/lib/wine/wineserver -w' \
	    trixie /dev/null

# Windows executables, run under wine with a prefix of their own.
test-windows:
	cmake --preset windows
	cmake --build --preset windows
	ctest --preset windows

# The same against the Universal C Runtime, as Visual Studio and MSYS2's UCRT64
# link it (Debian 13's g++-mingw-w64-ucrt64, wine64).
test-windows-ucrt:
	cmake --workflow --preset windows-ucrt

# The suite against copies of the launcher with a fault planted, where it
# must fail.
test-planted:
	sh .ci/planted.sh

# What a distributor gets from what is committed: a packager's build and
# what it installs, and the release ZIP, the same bytes for any builder.
test-dist:
	sh .ci/dist.sh

# What the launcher's start costs, beside plain printf, scanf and system.
bench:
	sh bench/startup.sh

# The release ZIP of the Windows launcher, in build-windows.  Its bytes
# follow the sources alone.  Its file times are SOURCE_DATE_EPOCH, or else
# the commit's time: from cmake/commit-time in a tarball made by git
# archive, which writes it there, or else from git, where this folder is
# the top of its own work tree, not inside another's.  ZIP times are local,
# hence UTC.  fakeroot makes every file's owner root, whoever builds.
package:
	@epoch=$${SOURCE_DATE_EPOCH:-$$(grep -x '[0-9][0-9]*' cmake/commit-time)}; \
	epoch=$${epoch:-$$([ -e .git ] && git log -1 --format=%ct 2>/dev/null)}; \
	[ -n "$$epoch" ] || { \
	    echo "$@: no commit time of this tree's own: set SOURCE_DATE_EPOCH" >&2; \
	    exit 1; }; \
	cmake --preset windows && SOURCE_DATE_EPOCH=$$epoch TZ=UTC \
	    fakeroot cmake --build --preset windows --target package

# clang-tidy with the checks in .clang-tidy and the compiler's warnings.  Where
# it cannot read the build's compilation database it says so, lints without
# flags and passes: anything on its error output but its count of warnings
# fails.
lint: all
	clang-tidy -p build --quiet src/launcher.cpp game/korvane.cpp 2>build/lint.log || \
	    { cat build/lint.log; exit 1; }
	! grep -Ev '^[0-9]+ warnings? generated\.$$' build/lint.log

build/CMakeCache.txt:
	cmake --preset default

clean:
	rm -rf build build-*

.PHONY: all run test test-sanitize test-clang test-shells test-debian13 \
	test-windows test-windows-ucrt test-planted test-dist \
	bench package lint clean

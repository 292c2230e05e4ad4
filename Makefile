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

# Windows executables, run under wine with a prefix of their own.
test-windows:
	cmake --preset windows
	cmake --build --preset windows
	ctest --preset windows

# The ZIP of the Windows launcher and README, in build-windows.
package:
	cmake --preset windows
	cmake --build --preset windows --target package

lint: all
	clang-tidy -p build --quiet src/launcher.cpp game/korvane.cpp

build/CMakeCache.txt:
	cmake --preset default

clean:
	rm -rf build build-windows build-sanitize

.PHONY: all run test test-sanitize test-windows package lint clean

# The commands a newcomer needs; CMake does the work.  Each kind of build
# has a folder of its own.
BUILD = build
WINDOWS = build-windows
SANITIZE = build-sanitize
MAKEFLAGS += --no-print-directory

all: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --parallel

# The stand-in game is found on PATH, as the command processor finds the real one.
run: all
	@cd $(BUILD)/bin && PATH="$$PWD:$$PATH" ./korvane-launcher

test: all
	ctest --test-dir $(BUILD) --output-on-failure

test-sanitize: $(SANITIZE)/CMakeCache.txt
	cmake --build $(SANITIZE) --parallel
	ctest --test-dir $(SANITIZE) --output-on-failure

# Windows executables, run under wine with a prefix of their own.
test-windows: $(WINDOWS)/CMakeCache.txt
	cmake --build $(WINDOWS) --parallel
	WINEDEBUG=-all WINEPREFIX="$(CURDIR)/$(WINDOWS)/wine" \
	    ctest --test-dir $(WINDOWS) --output-on-failure

# The ZIP of the Windows launcher and README, in $(WINDOWS).
package: $(WINDOWS)/CMakeCache.txt
	cmake --build $(WINDOWS) --parallel --target package

lint: $(BUILD)/CMakeCache.txt
	clang-tidy -p $(BUILD) --quiet src/launcher.cpp game/korvane.cpp

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

$(SANITIZE)/CMakeCache.txt:
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DKORVANE_SANITIZE=ON

$(WINDOWS)/CMakeCache.txt:
	cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake

clean:
	rm -rf $(BUILD) $(WINDOWS) $(SANITIZE)

.PHONY: all run test test-sanitize test-windows package lint clean

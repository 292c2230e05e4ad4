# The two commands a newcomer needs; CMake does the work.
BUILD = build
MAKEFLAGS += --no-print-directory

all: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --parallel

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

# The stand-in game is found on PATH, as the command processor finds the real one.
run: all
	@cd $(BUILD)/bin && PATH="$$PWD:$$PATH" ./korvane-launcher

test: all
	ctest --test-dir $(BUILD) --output-on-failure

clean:
	rm -rf $(BUILD)

.PHONY: all run test clean

# make run   builds the soundboard and opens it in a window (installing what it needs)
# make test  builds everything with the sanitizers and runs every test headless, then the
#            fuzzers (FUZZ_SECONDS each) and the one-hour soak
# make bench builds and runs the benchmarks, which print their figures
# make fuzz, make soak: those two parts of the tests on their own

BUILD ?= build
JOBS ?= 2
FUZZ_SECONDS ?= 60

.PHONY: run release test fuzz soak bench deps clean

deps:
	@Tools/install-deps.sh

release: deps
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWITH_TESTS=OFF -DWITH_BENCHMARKS=OFF
	cmake --build $(BUILD)/release -j$(JOBS)

run: release
	$(BUILD)/release/bin/Soundboard

test: deps
	cmake -S . -B $(BUILD)/test -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON -DWITH_BENCHMARKS=OFF
	cmake --build $(BUILD)/test -j$(JOBS)
	ctest --test-dir $(BUILD)/test --output-on-failure -j$(JOBS)
	@$(MAKE) --no-print-directory fuzz soak

fuzz: deps
	cmake -S Tests/Fuzz -B $(BUILD)/fuzz -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(BUILD)/fuzz -j$(JOBS)
	Tests/Fuzz/fuzz.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

soak: release
	Tests/Soak/soak.sh $(BUILD)/release/bin/Replay $(BUILD)/soak

bench: deps
	cmake -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DWITH_TESTS=OFF
	cmake --build $(BUILD)/bench -j$(JOBS)
	$(BUILD)/bench/bin/Benchmarks

clean:
	rm -rf $(BUILD)

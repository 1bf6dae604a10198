# make run   builds the soundboard and opens it in a window (installing what it needs)
# make test  builds everything with the sanitizers and runs every test, headless
# make bench builds and runs the benchmarks, which print their figures

BUILD ?= build
JOBS ?= 2

.PHONY: run test bench deps clean

deps:
	@Tools/install-deps.sh

run: deps
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWITH_TESTS=OFF -DWITH_BENCHMARKS=OFF
	cmake --build $(BUILD)/release -j$(JOBS)
	$(BUILD)/release/bin/Soundboard

test: deps
	cmake -S . -B $(BUILD)/test -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON -DWITH_BENCHMARKS=OFF
	cmake --build $(BUILD)/test -j$(JOBS)
	ctest --test-dir $(BUILD)/test --output-on-failure -j$(JOBS)

bench: deps
	cmake -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DWITH_TESTS=OFF
	cmake --build $(BUILD)/bench -j$(JOBS)
	$(BUILD)/bench/bin/Benchmarks

clean:
	rm -rf $(BUILD)

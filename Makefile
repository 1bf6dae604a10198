# make run   builds the soundboard and opens it in a window (installing what it needs)
# make test  builds everything with the sanitizers and runs every test headless, then the
#            fuzzers (FUZZ_SECONDS each) and the one-hour soak
# make bench builds and runs the benchmarks, which print their figures
# make demo  records a short session headless: Docs/Demo/demo.gif, sheet.png and demo.wav
# make web   builds the soundboard for the browser into build/web/site, a folder any static
#            web server can serve; make serve serves it on http://127.0.0.1:8000/
# make deb   builds the Debian packages soundboard and soundboard-engine-dev into build/deb
# make tsan, make fuzz, make soak, make web-test, make deb-test: those parts of the tests alone

BUILD ?= build
JOBS ?= 2
FUZZ_SECONDS ?= 60
# Debian's emscripten finds its JavaScript parser (node-acorn) here.
EMSCRIPTEN_NODE_PATH ?= /usr/share/nodejs

.PHONY: run release test tsan fuzz soak web serve web-test demo bench deb deb-test clean

# What each part needs from Debian, and no more: make run never fetches a browser.
deps-%:
	@Tools/install-deps.sh $*

release: deps-run
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWITH_TESTS=OFF -DWITH_BENCHMARKS=OFF
	cmake --build $(BUILD)/release -j$(JOBS)

run: release
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY$$SDL_VIDEODRIVER" ]; then \
	  echo "No display here to open the soundboard on: make demo records a session without one."; \
	else $(BUILD)/release/bin/Soundboard; fi

# Strict: warnings are errors, and every program is linked whole (-flto) so that two different
# types of one name are found (-Wodr).
test: deps-test
	cmake -S . -B $(BUILD)/test -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON -DSTRICT=ON -DWITH_BENCHMARKS=OFF
	cmake --build $(BUILD)/test -j$(JOBS)
	ctest --test-dir $(BUILD)/test --output-on-failure -j$(JOBS)
	@$(MAKE) --no-print-directory tsan web-test fuzz soak deb-test

# ThreadSanitizer on what two threads share: the mixer's tests, the audio device's, and the
# whole program pressed while SDL's audio thread (its dummy driver) pulls the mixer.
TSAN = TSAN_OPTIONS=halt_on_error=1 SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
tsan: deps-run deps-native
	cmake -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=thread -DSTRICT=ON
	cmake --build $(BUILD)/tsan -j$(JOBS) --target EngineTests SDLBackendTests LatencyBench Assets
	$(TSAN) $(BUILD)/tsan/bin/EngineTests --gtest_filter='Mixer*:Sound*' --gtest_brief=1
	$(TSAN) $(BUILD)/tsan/bin/SDLBackendTests --gtest_filter='AudioDevice*' --gtest_brief=1
	$(TSAN) $(BUILD)/tsan/bin/LatencyBench touch 30 > /dev/null

fuzz: deps-fuzz
	cmake -S Tests/Fuzz -B $(BUILD)/fuzz -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(BUILD)/fuzz -j$(JOBS)
	Tests/Fuzz/fuzz.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

soak: release
	Tests/Soak/soak.sh $(BUILD)/release/bin/Replay $(BUILD)/soak

# The browser's build takes the pictures, clips and icons from the native one.
web: release deps-web
	NODE_PATH=$(EMSCRIPTEN_NODE_PATH) emcmake cmake -S . -B $(BUILD)/web -DCMAKE_BUILD_TYPE=Release \
	  -DNATIVE_BUILD=$(abspath $(BUILD))/release
	NODE_PATH=$(EMSCRIPTEN_NODE_PATH) cmake --build $(BUILD)/web -j$(JOBS)

# HOST=0.0.0.0 serves on the machine's network addresses too, for a phone on the same network;
# CERT=file KEY=file make it HTTPS.
HOST ?= 127.0.0.1
serve: web
	CERT=$(CERT) KEY=$(KEY) node Web/serve.mjs $(BUILD)/web/site 8000 $(HOST)

Tests/Web/node_modules: Tests/Web/package-lock.json
	npm ci --prefix Tests/Web --no-audit --no-fund
	@touch $@

web-test: deps-browse web Tests/Web/node_modules
	WEB_SITE=$(abspath $(BUILD))/web/site NATIVE_BUNDLE=$(abspath $(BUILD))/release/bin node --test Tests/Web/

# The frames become an animated GIF by ImageMagick: a fixed palette, no dithering, only what
# changed in each frame, so that the same frames give the same small file.
demo: release deps-native
	rm -rf $(BUILD)/demo && mkdir -p $(BUILD)/demo
	cd $(BUILD)/demo && $(abspath $(BUILD))/release/bin/Replay \
	  --script $(CURDIR)/Docs/Demo/demo.script --sheet $(CURDIR)/Docs/Demo/sheet.png \
	  --wav $(CURDIR)/Docs/Demo/demo.wav --frames frames --frame-every 100
	convert -delay 10 -loop 0 $(BUILD)/demo/frames/frame-*.png +dither -colors 96 \
	  -layers Optimize Docs/Demo/demo.gif
	@ls -l Docs/Demo

Benchmarks/node_modules: Benchmarks/package-lock.json
	npm ci --prefix Benchmarks --no-audit --no-fund
	@touch $@

bench: deps-bench web Tests/Web/node_modules Benchmarks/node_modules
	cmake -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DWITH_TESTS=OFF
	cmake --build $(BUILD)/bench -j$(JOBS)
	Benchmarks/bench.sh $(BUILD)/bench/bin $(BUILD)/web/site

# The Debian packages, made by CPack from the release build for /usr, checked by lintian.
deb: release deps-deb
	cd $(BUILD)/release && cpack -G DEB -B $(abspath $(BUILD))/deb
	lintian --fail-on error $(BUILD)/deb/*.deb
	@ls -l $(BUILD)/deb/*.deb

# The packages unpacked into a throwaway root: the program run, the example built on them.
deb-test: deb
	Tests/Install/deb.sh $(BUILD)/deb .

clean:
	rm -rf $(BUILD)

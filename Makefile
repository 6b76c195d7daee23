# Two commands do everything on a fresh Debian 12 machine:
#   make demo   installs what is missing, builds, and starts Kalmo
#   make test   installs what is missing, builds with sanitizers, runs every test
#   make soak   runs the tool against the virtual controller with faults on,
#               MINUTES minutes on each link (default 30)
JOBS ?= $(shell nproc)
BUILD ?= build
TEST_BUILD ?= build-asan
SCREENSHOT ?= out/kalmo.png
MINUTES ?= 30

.PHONY: demo test deps build build-test screenshot fuzz fuzz-campaign bench soak clean

deps:
	@./scripts/setup-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALMO_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@./scripts/demo.sh $(BUILD) $(SCREENSHOT)

build-test: deps
	cmake -S . -B $(TEST_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALMO_SANITIZE=ON -DKALMO_BENCH=OFF
	cmake --build $(TEST_BUILD) -j $(JOBS)

test: build-test
	cd $(TEST_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Screenshot of the main window connected to a virtual controller, under Xvfb
# at 1366x768, for the README.
screenshot: build
	xvfb-run -a -s "-screen 0 1366x768x24" env KALMO_SCREENSHOT=docs/screenshot.png ./scripts/demo.sh $(BUILD)

fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DKALMO_FUZZ=ON -DKALMO_TESTS=OFF -DKALMO_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS)

# Faults on, the serial link then the network, MINUTES minutes each.
soak: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALMO_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS) --target kalmo_soak
	$(BUILD)/soak/kalmo_soak --seconds $$(( $(MINUTES) * 60 ))

# Every fuzz target in turn for SECONDS each (RUNS=N: at most N executions
# each), from scratch copies of the seed corpora; prints executions and
# crashes per target and fails when any target crashed.
SECONDS ?= 60
RUNS ?=
fuzz-campaign: fuzz
	@./scripts/fuzz-campaign.sh build-fuzz $(SECONDS) $(RUNS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do $$b; done

clean:
	rm -rf $(BUILD) $(TEST_BUILD) build-fuzz

# The two set-up commands: `make run` builds and starts the tool, `make test` builds and
# runs every test, plain and under AddressSanitizer + UndefinedBehaviorSanitizer.
# Both install what is missing first (Debian packages, through scripts/install-deps.sh).

BUILD      ?= build
BUILD_ASAN ?= build-asan
JOBS       ?= $(shell nproc)
# Warnings are errors in CI.
WERROR     := $(if $(CI),ON,OFF)

.PHONY: run test deps build build-asan test-plain test-asan bench clean

run: build
	./$(BUILD)/shell/quorvanta-album-repair

test: test-plain test-asan

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_WERROR=$(WERROR)
	cmake --build $(BUILD_ASAN) -j $(JOBS)

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS)

bench: build
	bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN)

# make run   builds the program and opens its windows
# make test  builds everything and runs every test, then again under sanitizers
# make build builds everything; the programs land in build/bin/
# make package builds the Debian package build/encounter-lab_<version>_amd64.deb
# make mutation  checks that the tests notice the faults of scripts/mutants.txt

JOBS ?= $(shell nproc)

.PHONY: all deps build test test-asan run bench package mutation clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

test: build
	@ctest --preset default -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

run: build
	@scripts/run-program

package: build
	@cmake --build --preset default --target package

bench: build
	@for b in build/bin/bench-*; do echo "== $$b"; $$b; done

mutation: deps
	@scripts/mutation-check

clean:
	rm -rf build build-asan build-mutation

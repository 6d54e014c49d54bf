# The two commands of this project: `make test` and `make demo`.
# Both install what is missing, configure, build and run.

BUILD := build
JOBS  := $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test demo clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@cmake --preset mingw >/dev/null

build: configure
	@cmake --build --preset mingw -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j 1

demo: build
	@tools/demo.sh $(BUILD)

clean:
	@[ ! -d $(BUILD)/wine ] || tools/wine-bed.sh down $(BUILD)/wine
	@rm -rf $(BUILD)

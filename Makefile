# Front door: `make run` and `make test` install what is missing, build and go.
BUILD      ?= build
BUILD_SAN  ?= build-sanitize
JOBS       ?= $(shell nproc)
BUILD_TYPE ?= RelWithDebInfo
# CI turns warnings into errors.
WERROR     ?= $(if $(CI),ON,OFF)
RUN_ARGS   ?= --simulate

.PHONY: all deps configure build run test test-sanitize bench install package package-deps \
        package-check check-format clean lupdate

all: build

deps:
	@sh tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DWERROR=$(WERROR)

configure: $(BUILD)/CMakeCache.txt

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/usb-tester $(RUN_ARGS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite again with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON -DWERROR=$(WERROR)
	cmake --build $(BUILD_SAN) -j $(JOBS)
	cd $(BUILD_SAN) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)

bench: build
	cmake --build $(BUILD) --target benchmarks -j $(JOBS)
	@sh tools/run-benchmarks.sh $(BUILD)

install: build
	cmake --install $(BUILD)

# The Debian package, $(BUILD)/usb-tester_VERSION_ARCH.deb. The tools that make
# and check it are installed here only, so `make test` stays lean.
package-deps:
	@sh tools/install-deps.sh package

package: package-deps build
	cd $(BUILD) && cpack -G DEB

# lintian, install with dpkg, run the installed programs, remove, nothing left.
package-check: package
	sh tools/check-package.sh $(BUILD)

# Every tracked C++ source as .clang-format lays it out.
check-format:
	@sh tools/install-deps.sh format
	@sh tools/check-format.sh

# Refreshes the translation sources from the code; never part of a build.
# The test language_lupdate_keeps_all runs this line on copies.
lupdate: deps
	lupdate -locations none app display ui protocol transport firmware record -ts resources/Language/lib_en.ts resources/Language/lib_zh.ts

clean:
	rm -rf $(BUILD) $(BUILD_SAN)

# SPDX-License-Identifier: GPL-3.0-or-later
# The two commands of the README: `make run` and `make test`. Each installs
# what is missing, configures and builds first.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
RELEASE_BUILD ?= build-release
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= 2

.PHONY: all setup configure build run test sanitize fuzz screenshot bench install package clean

all: build

setup:
	@./scripts/setup.sh

$(BUILD)/build.ninja: | setup
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: setup $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@./scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

sanitize: setup
	cmake -S . -B $(SANITIZE_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DKESTREL_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
		UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

fuzz:
	@./scripts/setup.sh clang libclang-rt-14-dev
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_FLAGS) -DKESTREL_FUZZ=ON -DKESTREL_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	./scripts/fuzz.sh $(FUZZ_BUILD)

screenshot: build
	cmake --build $(BUILD) --target kestrel_screenshot
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/kestrel_screenshot $(BUILD)/screenshots

# Timings of the app beside its tools, printed as the table kept in
# docs/performance.md; clips are cached in $(BUILD)/bench/clips.
# KESTREL_BENCH_CLIPS=gop10s,720p (words of clip file names) measures only those;
# KESTREL_BENCH_ACTIONS=open,keyframes only those kinds of action. mpv is
# installed to play beside the app.
# Start-up is measured on an X server too: a virtual one when there is no display.
BENCH_X = $(if $(DISPLAY),,xvfb-run -a -s "-screen 0 1280x1024x24")
bench: configure
	@./scripts/setup.sh mpv
	cmake --build $(BUILD) --target kestrel_bench -j $(JOBS)
	QT_QPA_PLATFORM=offscreen $(BENCH_X) $(BUILD)/bin/kestrel_bench $(BUILD)/bench

install: build
	cmake --install $(BUILD)

# The Debian package, built in a tree of its own: Release, installed under
# /usr, with Debian's compiler and linker flags (hardening included). The
# .deb lands in $(BUILD).
DEB_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
package: setup
	cmake -S . -B $(RELEASE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
		-DKESTREL_BUILD_TESTS=OFF \
		-DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CXXFLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)"
	cmake --build $(RELEASE_BUILD) -j $(JOBS)
	cd $(RELEASE_BUILD) && cpack -D CPACK_OUTPUT_FILE_PREFIX=$(abspath $(BUILD))

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) $(RELEASE_BUILD)

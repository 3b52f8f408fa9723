# Hoshiwa: `make run` starts the program, `make test` tests it; `make windows` builds
# build/windows/hoshiwa.exe, `make package-windows` its installer and zip, and `make test-windows`
# runs the Windows tests under Wine.

PACKAGES := g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            clang libclang-rt-14-dev qt6-base-dev qt6-qpa-plugins ngircd fonts-ipafont-gothic \
            libc-bin libssl-dev openssl ca-certificates
WINDOWS_PACKAGES := cmake ninja-build mingw-w64 g++-mingw-w64-x86-64-posix googletest wine wine64 \
                    xvfb xauth librsvg2-bin icoutils nsis zip
WINEPREFIX_DIR := $(CURDIR)/build/windows/wineprefix
# The first display number a virtual display tries: programs started at the same moment by
# xvfb-run -a from one number can take the same display, and one loses it when the other ends.
XVFB_FIRST = $$((100 + $$$$ % 800))
SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)
FUZZ_SECONDS ?= 60

.PHONY: all deps deps-windows build test sanitize bench fuzz windows package-windows test-windows \
        bench-windows run run-windows format clean

all: build

# Installs exactly the missing packages of a list; nothing when all are there.
define install_missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

deps-windows:
	$(call install_missing,$(WINDOWS_PACKAGES))

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default

test: build
	ctest --preset default

sanitize: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 ctest --preset asan

bench: deps
	cmake --preset release >/dev/null
	cmake --build --preset release
	@set -e; for b in build/release/bench/*_bench; do echo "== $$b"; "$$b"; done

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz
	@set -e; for f in build/fuzz/fuzz/*_fuzz; do \
	  echo "== $$f ($(FUZZ_SECONDS) s)"; mkdir -p build/fuzz/corpus/$$(basename $$f); \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=build/fuzz/ \
	    build/fuzz/corpus/$$(basename $$f); \
	done

# The optimised program users get, with its icon, version information and manifest.
windows: deps-windows
	cmake --preset windows >/dev/null
	cmake --build --preset windows --target hoshiwa

# build/windows-package/: the zip of hoshiwa.exe with its README and licence, and the installer.
package-windows: windows
	cmake --build --preset windows --target package_windows

# The Windows tests under Wine, on a virtual display (tools/run_windows_tests.sh says how). The
# end-to-end session is a Linux program (it starts ngircd and a raw client) that drives the Windows
# window under Wine; the default preset builds it, and the TLS relay the Windows socket tests start.
test-windows: deps windows
	cmake --build --preset windows
	cmake --preset default >/dev/null
	cmake --build --preset default --target e2e_wine_tests tls_relay_tool
	WINEPREFIX=$(WINEPREFIX_DIR) timeout 1800 xvfb-run -a -n $(XVFB_FIRST) tools/run_windows_tests.sh

# Starts hoshiwa.exe under Wine, with a private ngircd as for make run.
run-windows: windows
	bash tools/run_hoshiwa.sh build/windows

# The Windows benchmarks (the log flood; typing during a flood from a loopback server), under Wine
# on a virtual display.
bench-windows: windows
	cmake --build --preset windows --target win32_log_flood win32_flood_input_latency
	timeout 1800 xvfb-run -a -n $(XVFB_FIRST) sh -c 'tools/wine_run.sh build/windows/bench/win32_log_flood.exe && \
	  tools/wine_run.sh build/windows/bench/win32_flood_input_latency.exe'

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build

# Builds what is missing and starts Hoshiwa, optimised as the benchmarks measure it (not the Debug
# build the tests use); starts a private ngircd on 127.0.0.1:6667 first when nothing listens
# there, and stops it when the window closes.
run: deps
	cmake --preset run >/dev/null
	cmake --build --preset run --target hoshiwa
	bash tools/run_hoshiwa.sh build/run

# Installing and packaging, from a release build of its own. The tests check the installed desktop
# files with desktop-file-validate and appstreamcli; CPack's Depends come from dpkg-shlibdeps.
PACKAGES += desktop-file-utils appstream librsvg2-bin dpkg-dev file
PREFIX ?= /usr/local
PACKAGE_BUILD := build/package
# Runs the command after it with sudo only when PREFIX (or the folder it will be made in) is not
# writable, so the build itself never runs as root.
AS_PREFIX_OWNER = p="$(PREFIX)"; while [ ! -e "$$p" ]; do p=$$(dirname "$$p"); done; \
	if [ -w "$$p" ]; then s=; else s="$(SUDO)"; fi; $$s

.PHONY: package install uninstall release-build

# Compiled and linked with Debian's hardening flags, as the distribution's own packages are.
BUILD_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get

release-build: deps
	cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DHOSHIWA_TESTS=OFF \
	  -DCMAKE_CXX_FLAGS="$$($(BUILD_FLAGS) CPPFLAGS) $$($(BUILD_FLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(BUILD_FLAGS) LDFLAGS)" >/dev/null
	cmake --build $(PACKAGE_BUILD)

package: release-build
	cd $(PACKAGE_BUILD) && cpack -G DEB

install: release-build
	@rm -f $(PACKAGE_BUILD)/install_manifest.txt
	@$(AS_PREFIX_OWNER) cmake --install $(PACKAGE_BUILD) --prefix "$(PREFIX)" --strip

# Removes what the last `make install` put in place (with sudo when it went to a system prefix).
uninstall:
	@if [ -f $(PACKAGE_BUILD)/install_manifest.txt ]; then \
	  xargs -r -d '\n' rm -fv -- < $(PACKAGE_BUILD)/install_manifest.txt; fi

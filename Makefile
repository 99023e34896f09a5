# The commands of this project:
#   make run      set up, build, start the simulated device and the IDE (working directory run/)
#   make test     set up, build, run every test through CTest (offscreen)
#   make package  set up, build, write the Debian package kestrun-ide_<version>_<arch>.deb into $(BUILD_DIR)/
#   make windows  cross-build for Windows into $(WINDOWS_BUILD_DIR)/ (SDK: WINDOWS_SDK=DIR or the
#                 shared tarball), with kestrun-ide-<version>-win64.zip and kestrun-ide-<version>-setup.exe
#   make windows-test  make windows, then the smoke test of the Windows programs under wine
BUILD_DIR ?= _build
WINDOWS_BUILD_DIR ?= _build-windows
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test package deps configure compile windows windows-test

run: compile
	./scripts/run-ide.sh $(BUILD_DIR)

test: compile
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) -LE windows

package: compile
	cd $(BUILD_DIR) && cpack -G DEB

deps:
	./scripts/setup-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

compile: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

windows:
	./scripts/setup-windows-deps.sh
	JOBS=$(JOBS) WINDOWS_SDK="$(WINDOWS_SDK)" ./scripts/build-windows.sh $(WINDOWS_BUILD_DIR)

# The smoke test compares with the Linux build, so both are built first; the IDE shows on Xvfb.
windows-test: windows compile
	cmake --build $(BUILD_DIR) --target tst_windowssmoke
	cd $(BUILD_DIR) && KESTRUN_WINDOWS_BUILD="$(abspath $(WINDOWS_BUILD_DIR))" \
	    xvfb-run -a -s "-screen 0 1600x1000x24" ctest --output-on-failure -L windows

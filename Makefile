# The commands of this project:
#   make run      set up, build, start the simulated device and the IDE (working directory run/)
#   make test     set up, build, run every test through CTest (offscreen)
#   make package  set up, build, write the Debian package kestrun-ide_<version>_<arch>.deb into $(BUILD_DIR)/
BUILD_DIR ?= _build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test package deps configure compile

run: compile
	./scripts/run-ide.sh $(BUILD_DIR)

test: compile
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

package: compile
	cd $(BUILD_DIR) && cpack -G DEB

deps:
	./scripts/setup-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

compile: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

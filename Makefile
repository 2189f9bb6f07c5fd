# The two commands of the README, and installing what they build (PREFIX=/usr/local by default).
PREFIX ?= /usr/local
.PHONY: test run deps install package
test:
	bash scripts/test.sh
run:
	bash scripts/run.sh
deps:
	bash scripts/install-deps.sh
install:
	bash scripts/install-deps.sh
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build
	cmake --install build --prefix "$(PREFIX)"
# The Debian package, build/pupnik_<version>_<arch>.deb: `sudo apt install ./build/pupnik_*.deb`.
package:
	bash scripts/install-deps.sh
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build
	cd build && cpack -G DEB

# The two commands of the README, and installing what they build (PREFIX=/usr/local by default).
# Only make test builds (and installs the tools for) the tests and benchmarks.
PREFIX ?= /usr/local
.PHONY: test run deps install package
test:
	bash scripts/test.sh
run:
	bash scripts/run.sh
deps:
	bash scripts/install-deps.sh build
install:
	bash scripts/build-programs.sh build
	cmake --install build-app --prefix "$(PREFIX)"
# The Debian package, build-app/pupnik_<version>_<arch>.deb: `sudo apt install ./build-app/pupnik_*.deb`.
package:
	bash scripts/build-programs.sh package
	cd build-app && cpack -G DEB

#!/usr/bin/env bash
# Builds what is installed and nothing else (the two programs and the resources they stage) in
# build-app/, for make run, make install and make package. Tests and benchmarks are left to make test.
# Usage: build-programs.sh build|package (which dependencies to install first)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh "${1:-build}"
# The same compiler cache settings and flags as scripts/test.sh, so that compilations made there, in
# this clone or another, are reused here.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
cmake -S . -B build-app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPUPNIK_WERROR=ON \
  -DPUPNIK_TESTS=OFF -DPUPNIK_BENCH=OFF >/dev/null
cmake --build build-app

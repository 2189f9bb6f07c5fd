#!/usr/bin/env bash
# Installs what is missing, checks the format, builds, runs every test, then again under the sanitizers, then the fuzzers.
# Every build here treats a compiler warning as an error.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh test
jobs=$(nproc)
# Paths relative to the clone, so that a clone elsewhere finds the compilations of an earlier one.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1

step() { printf '\n=== %s\n' "$*"; }

step "format"
bash scripts/check-format.sh

step "build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPUPNIK_WERROR=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"

step "every benchmark once (a smoke run: its figures mean nothing)"
# A benchmark that breaks fails here instead of rotting unseen. libbenchmark 1.7 exits 0 even when a
# benchmark reports an error, so its error line is looked for as well.
broken=()
for bench in build/bench/bench_*; do
  [[ -f $bench && -x $bench ]] || continue
  printf '%s\n' "${bench##*/}"
  if ! output=$("$bench" --benchmark_min_time=0.001 --benchmark_color=false 2>&1) || grep -q 'ERROR OCCURRED' <<<"$output"; then
    printf '%s\n' "$output"
    broken+=("${bench##*/}")
  fi
done
if ((${#broken[@]})); then
  echo "broken benchmarks: ${broken[*]}" >&2
  exit 1
fi

step "build and test with address and undefined-behaviour sanitizers"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPUPNIK_SANITIZE=ON -DPUPNIK_BENCH=OFF -DPUPNIK_WERROR=ON >/dev/null
cmake --build build-sanitize
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

step "fuzz"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPUPNIK_FUZZ=ON -DPUPNIK_TESTS=OFF -DPUPNIK_BENCH=OFF -DPUPNIK_WERROR=ON >/dev/null
cmake --build build-fuzz
bash scripts/fuzz.sh build-fuzz/fuzz "${PUPNIK_FUZZ_SECONDS:-15}"

#!/usr/bin/env bash
# Builds everything and starts Pupnik from the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
if [[ -x build/bin/Pupnik ]]; then
  exec build/bin/Pupnik
elif [[ -x build/libexec/pupnik/pupnik-agent ]]; then
  exec build/libexec/pupnik/pupnik-agent selftest
fi

#!/usr/bin/env bash
# Builds what running needs (the two programs and the resources they stage under build/share) and
# starts Pupnik from the build tree. Tests and benchmarks are left to `make test`.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Configured as `make test` configures it, so that neither builds again what the other has built.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPUPNIK_WERROR=ON >/dev/null
cmake --build build --target Pupnik pupnik-agent pupnik-resources
exec build/bin/Pupnik

#!/usr/bin/env bash
# Builds what running needs (the two programs and the resources they stage under build-app/share)
# and starts Pupnik from the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-programs.sh build
exec build-app/bin/Pupnik

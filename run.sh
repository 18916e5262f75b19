#!/usr/bin/env bash
# Builds what is missing and runs the program's main job.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build >/dev/null
exec build/bin/quorvex-cli dump build/sample.qd1 "$@"

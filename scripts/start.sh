#!/usr/bin/env bash
# Builds Tallowick (installing what is missing) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWICK_TESTS=OFF
cmake --build build --parallel "$(nproc)" --target tallowick
exec ./build/app/tallowick

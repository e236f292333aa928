#!/usr/bin/env bash
# Installs what is missing, builds and starts Platovix.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLATOVIX_TESTS=OFF
cmake --build "$build" -j "$(nproc)" --target platovix
exec "$build/ui/platovix"

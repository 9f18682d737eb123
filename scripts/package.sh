#!/usr/bin/env bash
# Builds the Debian package: a plain Release build (no tests, no sanitizers)
# in build-deb/, or in the folder given, packed by CPack into
# <folder>/zentavo_<version>_<architecture>.deb. Install it with
#   sudo apt install ./build-deb/zentavo_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh package

build=${1:-build-deb}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTAVO_TESTS=OFF -DZENTAVO_BENCH=OFF
ninja -C "$build" package

#!/usr/bin/env bash
# Builds the program and the data tool in build/ and starts the program. Its
# data lives in the user's data folder (~/.local/share/zentavo), not in
# build/, so a clean rebuild loses nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run

build=build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTAVO_TESTS=OFF -DZENTAVO_BENCH=OFF
ninja -C "$build" zentavo zentavo-data
exec "$build/zentavo" "$@"

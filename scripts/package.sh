#!/usr/bin/env bash
# Builds the Debian package: a plain Release build (no tests, no sanitizers)
# in build-deb/, or in the folder given, packed by CPack into
# <folder>/zentavo_<version>_<architecture>.deb. Install it with
#   sudo apt install ./build-deb/zentavo_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh package

# Debian's own compiler and linker flags, as every package of the
# distribution is built with them: stack protector, fortified libc calls,
# relocations read-only and bound at start-up. (No -g: the package is
# stripped.)
debian_flags() {
  DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --get "$1"
}

build=${1:-build-deb}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTAVO_TESTS=OFF -DZENTAVO_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(debian_flags CPPFLAGS) $(debian_flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(debian_flags LDFLAGS)"
ninja -C "$build" package

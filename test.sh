#!/usr/bin/env bash
# Installs what is missing, builds, makes the Debian package from the Release build
# and runs the whole test suite: the Release build with every test, then the
# sanitizer build with the tests that need no display, sound device or network.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
jobs="$(nproc)"
"$root/scripts/setup.sh" build Release -DBROLIX_WERROR=ON -DBROLIX_BUILD_TESTS=ON
"$root/scripts/setup.sh" build-asan Debug -DBROLIX_WERROR=ON -DBROLIX_SANITIZE=ON -DBROLIX_BUILD_TESTS=ON
(cd "$root/build" && cpack -G DEB | tail -n 1)
(cd "$root/build" && ctest --output-on-failure -j"$jobs" --timeout 600)
(cd "$root/build-asan" && ctest --output-on-failure -j"$jobs" -L unit --timeout 600)

#!/usr/bin/env bash
# Sets up the machine and runs every test: the native core and command-line
# tests, the same core tests cross-built and run under Wine, the end-to-end
# tests of Tessary and Depthwell under Wine in Xvfb, the release packages
# (scripts/release.sh) unpacked and installed as users do, and each fuzz
# target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)

"$root/scripts/setup.sh"

echo "== native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

echo "== windows build, core and end-to-end tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
pg_wine_start
trap pg_wine_stop EXIT
ctest --preset windows -j1

echo "== release packages, checked as users get them"
"$root/scripts/release.sh"
"$root/tests/release/check_release.sh" "$root/dist"

echo "== fuzz targets (${PG_FUZZ_SECONDS:=15}s each)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs"
"$root/scripts/fuzz.sh" "$PG_FUZZ_SECONDS"

echo "== all tests passed"

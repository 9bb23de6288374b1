#!/usr/bin/env bash
# One drag move composed, enlarged and painted by the real GDI at 100, 200
# and 300 %, in a Wine session of its own (Xvfb, the test prefix).
#
#   bench/drag_paint.sh [MOVES]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null
cmake --build --preset windows --target pg_bench_drag_paint >/dev/null
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
pg_wine_start >/dev/null
trap pg_wine_stop EXIT
for percent in 100 200 300; do
  wine build/windows/bench/win/pg_bench_drag_paint.exe "$percent" "${1:-2000}"
done

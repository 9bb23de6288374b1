#!/usr/bin/env bash
# How long a new user waits for Pairglyph: a fresh clone of HEAD (no build
# folder) and an empty Wine cache, `./scripts/run.sh` on a private Xvfb,
# timed from the command to the main window being shown. The packages must
# be installed already (run scripts/setup.sh once); their download is not
# part of the figure.
#
#   bench/first_start.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
xvfb=""
run=""
cleanup() {
  [ -n "$run" ] && kill -- "-$run" 2>/dev/null || true
  WINEPREFIX=$scratch/cache/user-prefix wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
git clone -q "$root" "$scratch/pairglyph"
: >"$scratch/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" </dev/null >/dev/null 2>&1 &
xvfb=$!
for ((i = 0; i < 100; i++)); do [ -s "$scratch/display" ] && break; sleep 0.05; done
export DISPLAY=:$(tr -d '\n' <"$scratch/display")
export PG_WINE_CACHE=$scratch/cache

start=$(date +%s.%N)
setsid "$scratch/pairglyph/scripts/run.sh" </dev/null >"$scratch/run.log" 2>&1 &
run=$!
shown=""
for ((i = 0; i < 6000; i++)); do
  if xdotool search --onlyvisible --name '^Pairglyph$' >/dev/null 2>&1; then
    shown=$(date +%s.%N)
    break
  fi
  kill -0 "$run" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$shown" ]; then
  tail -n 30 "$scratch/run.log" >&2
  echo "first_start: no window" >&2
  exit 1
fi
grep '^== ' "$scratch/run.log" || true
printf 'first_start: %.1f s from ./scripts/run.sh to the window\n' "$(echo "$shown - $start" | bc)"

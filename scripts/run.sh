#!/usr/bin/env bash
# Sets up this machine (Debian 12), builds Tessary and starts it under Wine
# on the user's display; Depthwell, the Windows pairglyph.exe and the native
# pairglyph command are built while it runs.
#
#   scripts/run.sh
#
# The Wine prefix is kept between runs in ${PG_WINE_CACHE:-~/.cache/pairglyph}
# (user-prefix); PG_USER_PREFIX picks another one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

"$root/scripts/setup.sh"

# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
jobs=$(nproc 2>/dev/null || echo 2)

# The first start on a machine spends its time in two things that do not
# wait for each other: compiling Tessary and making the Wine prefix. Both
# go at once, and only Tessary (with its artwork) is built before the
# window shows; the test programs and fixtures are for scripts/test.sh.
pg_wine_template &
template=$!
echo "== building Tessary"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs" --target Tessary
# The test template (made once, on a private display) is a quick start for
# the user's own prefix.
wait "$template" || { echo "run: the Wine prefix could not be made" >&2; exit 1; }

if [ -z "${DISPLAY:-}" ]; then
  cmake --build --preset windows -j"$jobs" --target Depthwell pairglyph
  cmake --preset native >/dev/null
  cmake --build --preset native -j"$jobs" --target pairglyph
  echo "run: no display to show Pairglyph on (DISPLAY is not set)." >&2
  echo "run: the build is ready; start this again from a desktop session, or with DISPLAY set." >&2
  exit 1
fi

export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${PG_USER_PREFIX:-$PG_WINE_CACHE/user-prefix}
if [ ! -d "$WINEPREFIX" ]; then
  echo "== making the Wine prefix $WINEPREFIX"
  cp -a "$PG_WINE_CACHE/wine-template" "$WINEPREFIX"
  rm -f "$WINEPREFIX/.pg-template"
  # The tests run without a window manager; on a desktop the window
  # manager should look after Wine's windows as usual.
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
fi

# The desktop's display scale (a HiDPI desktop gets the scaled window) and
# what newer templates set, for a prefix made before them.
pg_wine_desktop_settings

# The rest of the Windows programs and the native command line (the
# README's examples use it) build while Pairglyph runs, at low priority so
# the window stays quick; their output is in build/run-build.log.
(
  renice -n 10 -p "$BASHPID" >/dev/null 2>&1 || true
  cmake --build --preset windows -j"$jobs" --target Depthwell pairglyph &&
  cmake --preset native >/dev/null &&
  cmake --build --preset native -j"$jobs" --target pairglyph
) </dev/null >"$root/build/run-build.log" 2>&1 &
rest=$!

echo "== starting Pairglyph (DISPLAY=$DISPLAY)"
rc=0
wine "$root/build/windows/app/Tessary.exe" || rc=$?
if ! wait "$rest"; then
  echo "run: building the other programs failed; see build/run-build.log" >&2
  [ $rc -ne 0 ] || rc=1
fi
exit $rc

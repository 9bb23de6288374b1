#!/usr/bin/env bash
# Sets up this machine (Debian 12), builds the Windows programs and the
# native pairglyph command, and starts Tessary under Wine on the user's
# display.
#
#   scripts/run.sh
#
# The Wine prefix is kept between runs in ${PG_WINE_CACHE:-~/.cache/pairglyph}
# (user-prefix); PG_USER_PREFIX picks another one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

"$root/scripts/setup.sh"

echo "== building the Windows programs"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc 2>/dev/null || echo 2)"

# The command line runs natively too; the README's examples use this one.
echo "== building the pairglyph command natively"
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc 2>/dev/null || echo 2)" --target pairglyph

if [ -z "${DISPLAY:-}" ]; then
  echo "run: no display to show Pairglyph on (DISPLAY is not set)." >&2
  echo "run: the build is ready; start this again from a desktop session, or with DISPLAY set." >&2
  exit 1
fi

# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
# The test template (made once, on a private display) is a quick start for
# the user's own prefix.
pg_wine_template
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

echo "== starting Pairglyph (DISPLAY=$DISPLAY)"
exec wine "$root/build/windows/app/Tessary.exe"

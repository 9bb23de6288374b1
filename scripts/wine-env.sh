# shellcheck shell=bash
# The Wine session every end-to-end test runs in. Source this file, then:
#
#   pg_wine_start          Xvfb (1280x1024x24) + a fresh copy of the template
#                          prefix + a persistent wineserver; exports DISPLAY,
#                          WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES, WINEARCH and
#                          PG_WINE_RUN (the session folder).
#   pg_wine_stop           ends exactly what pg_wine_start (and pg_xvfb_start)
#                          started and removes the session folder
#                          (PG_WINE_KEEP=1 keeps it for a post-mortem).
#   pg_xvfb_start DEPTH    another Xvfb of DEPTH bits (8, 16, 24) in this
#                          session; prints its display (":N").
#   pg_xvfb_stop DISPLAY   ends one display started by pg_xvfb_start.
#   pg_wine_template       makes the template prefix if it is missing.
#   pg_wine_dpi [DPI]      the session's display DPI (96 = 100 %): sets
#                          HKCU\Control Panel\Desktop LogPixels and restarts
#                          the wineserver so programs started afterwards read
#                          it (GetDpiForWindow, GetDeviceCaps(LOGPIXELSX));
#                          without DPI prints the current one. Ends every
#                          program still running in the session.
#   PG_WINE_DPI=144 pg_wine_start
#                          a session that starts at that DPI.
#   pg_desktop_dpi         the desktop's scale as a DPI (Xft.dpi, else the X
#                          screen's), in 25 % steps from 96 to 288.
#   pg_wine_desktop_settings
#                          the user's prefix (WINEPREFIX) takes the desktop's
#                          scale and any setting newer than the prefix.
#
# A session started in one shell can be entered from another with
#   source "$PG_WINE_RUN/env.sh"
#
# The template lives in ${PG_WINE_CACHE:-${XDG_CACHE_HOME:-~/.cache}/pairglyph}
# and is made once (about 15 s); every session copies it (about 2 s), so tests
# never see what an earlier run left in the registry.
#
# Why each setting is there:
#   Managed=N        without a window manager Wine otherwise waits about 2 s
#                    whenever a window closes or a program exits.
#   FontLink         Japanese message-box text renders only with a linked font.
#   FontSubstitutes  the UI font the programs ask for ("ＭＳ Ｐゴシック", or
#                    "MS PGothic" by its English name) is a proportional
#                    Japanese face, as on Windows; without it Wine falls back
#                    to a fixed-width one and "as small icon" is cut at its
#                    button.
#   wineserver -p    plus one `wine cmd /c exit`: the services start once, not
#                    per test, and ctest does not wait on pipes they inherit.

PG_WINE_CACHE=${PG_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pairglyph}
# Bump when the recipe below changes: older templates are then rebuilt.
PG_WINE_TEMPLATE_VERSION=2

_pg_wine_base_env() {
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine takes its code page from the locale; arguments and output are UTF-8.
  case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
    *UTF-8*|*utf8*|*UTF8*|*utf-8*) ;;
    *) export LC_ALL=C.UTF-8 ;;
  esac
}

_pg_die() { echo "wine-env: $*" >&2; return 1; }

_PG_FONT_SUBSTITUTES='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
_pg_wine_font_substitutes() {
  wine reg add "$_PG_FONT_SUBSTITUTES" /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f &&
    wine reg add "$_PG_FONT_SUBSTITUTES" /v 'MS PGothic' /d IPAPGothic /f
}

# Xvfb -displayfd picks a free display number and writes it once it accepts
# clients. Xvfb's own output goes to a log so it holds no pipe of the caller.
_pg_xvfb_spawn() { # DEPTH LOGDIR -> "DISPLAY PID"
  local depth=$1 dir=$2 dfile pid i
  dfile=$(mktemp "$dir/xvfb-fd.XXXXXX")
  Xvfb -displayfd 3 -screen 0 "1280x1024x$depth" -nolisten tcp \
    3>"$dfile" </dev/null >>"$dir/xvfb-$depth.log" 2>&1 &
  pid=$!
  for ((i = 0; i < 200; i++)); do
    if [ -s "$dfile" ]; then
      echo ":$(tr -d '\n' <"$dfile") $pid"
      rm -f "$dfile"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill "$pid" 2>/dev/null || true
  rm -f "$dfile"
  _pg_die "Xvfb ($depth bits) did not start; see $dir/xvfb-$depth.log"
}

pg_wine_template() {
  local template="$PG_WINE_CACHE/wine-template" stamp tmp
  stamp="wine $(wine --version 2>/dev/null) recipe $PG_WINE_TEMPLATE_VERSION"
  mkdir -p "$PG_WINE_CACHE"
  (
    # One maker at a time; others wait and then find it ready.
    flock -w 300 9 || _pg_die "timed out waiting for $PG_WINE_CACHE/template.lock" || exit 1
    if [ -f "$template/.pg-template" ] && [ "$(cat "$template/.pg-template")" = "$stamp" ]; then
      exit 0
    fi
    # Left by a maker that was killed; none can be in progress while we hold the lock.
    rm -rf "$PG_WINE_CACHE"/wine-template.new.*
    echo "wine-env: making the Wine template prefix in $template (once, about 15 s)" >&2
    _pg_wine_base_env
    tmp=$(mktemp -d "$PG_WINE_CACHE/wine-template.new.XXXXXX")
    export WINEPREFIX="$tmp"
    # wineboot wants a display for its first windows; a private one is enough.
    local xv
    xv=$(_pg_xvfb_spawn 24 "$tmp") || exit 1
    export DISPLAY=${xv% *}
    local rc=0
    {
      timeout 300 wineboot -i &&
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
          /v Tahoma /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f &&
        _pg_wine_font_substitutes &&
        timeout 120 wineserver -w
    } </dev/null >"$PG_WINE_CACHE/template.log" 2>&1 || rc=$?
    kill "${xv#* }" 2>/dev/null || true
    rm -f "$tmp"/xvfb-*.log
    if [ $rc -ne 0 ]; then
      wineserver -k 2>/dev/null || true
      rm -rf "$tmp"
      _pg_die "making the template failed; see $PG_WINE_CACHE/template.log" || exit 1
    fi
    echo "$stamp" >"$tmp/.pg-template"
    rm -rf "$template"
    mv "$tmp" "$template"
  ) 9>"$PG_WINE_CACHE/template.lock"
}

# Sessions whose Xvfb is gone were not stopped (a killed shell); their prefix
# copies are large, so they are cleared when the next session starts. A
# folder without xvfb.pid may be a session still starting: left alone unless
# it is older than ten minutes.
_pg_wine_sweep() {
  local d pid
  for d in "$PG_WINE_CACHE"/run.*; do
    [ -d "$d" ] || continue
    if [ -f "$d/xvfb.pid" ]; then
      pid=$(cat "$d/xvfb.pid" 2>/dev/null || true)
      if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then continue; fi
    elif [ -z "$(find "$d" -maxdepth 0 -mmin +10 2>/dev/null)" ]; then
      continue
    fi
    WINEPREFIX="$d/prefix" wineserver -k 2>/dev/null || true
    rm -rf "$d"
  done
}

pg_wine_start() {
  if [ -n "${PG_WINE_RUN:-}" ] && [ -d "$PG_WINE_RUN" ]; then
    _pg_die "a session is already running in $PG_WINE_RUN (pg_wine_stop first)"
    return 1
  fi
  pg_wine_template || return 1
  _pg_wine_sweep
  _pg_wine_base_env
  local run xv
  run=$(mktemp -d "$PG_WINE_CACHE/run.XXXXXX") || return 1
  xv=$(_pg_xvfb_spawn 24 "$run") || { rm -rf "$run"; return 1; }
  echo "${xv#* }" >"$run/xvfb.pid"
  : >"$run/extra-xvfb"
  cp -a "$PG_WINE_CACHE/wine-template" "$run/prefix" || {
    kill "${xv#* }"
    rm -rf "$run"
    return 1
  }
  export PG_WINE_RUN=$run
  export DISPLAY=${xv% *}
  export WINEPREFIX=$run/prefix
  setsid wineserver -p </dev/null >/dev/null 2>&1 &
  # The first start of a fresh prefix copy has been seen to fail once on a
  # loaded machine; a second try with a new server tells that apart from a
  # prefix that cannot start at all.
  if ! timeout 120 wine cmd /c exit </dev/null >"$run/first-start.log" 2>&1; then
    echo "wine-env: wine did not start at the first try; trying once more" >&2
    wineserver -k 2>/dev/null || true
    setsid wineserver -p </dev/null >/dev/null 2>&1 &
    if ! timeout 120 wine cmd /c exit </dev/null >>"$run/first-start.log" 2>&1; then
      cat "$run/first-start.log" >&2 || true
      pg_wine_stop
      _pg_die "wine did not start in $WINEPREFIX"
      return 1
    fi
  fi
  {
    printf 'export PG_WINE_RUN=%q DISPLAY=%q WINEPREFIX=%q\n' "$PG_WINE_RUN" "$DISPLAY" "$WINEPREFIX"
    printf 'export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES=%q\n' "$WINEDLLOVERRIDES"
    [ -n "${LC_ALL:-}" ] && printf 'export LC_ALL=%q\n' "$LC_ALL"
  } >"$run/env.sh"
  if [ -n "${PG_WINE_DPI:-}" ] && [ "$PG_WINE_DPI" != 96 ]; then
    pg_wine_dpi "$PG_WINE_DPI" || { pg_wine_stop; return 1; }
  fi
  echo "wine-env: DISPLAY=$DISPLAY WINEPREFIX=$WINEPREFIX" >&2
}

# The persistent wineserver of the current prefix, started again so that the
# registry as it now stands is what programs see from their start.
_pg_wine_restart_server() {
  wineserver -k 2>/dev/null || true
  timeout 20 wineserver -w 2>/dev/null || true
  setsid wineserver -p </dev/null >/dev/null 2>&1 &
  timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1
}

# LogPixels of a prefix, or 96 (Wine's default) when it has none.
_pg_wine_read_dpi() {
  local v
  v=$(wine reg query 'HKCU\Control Panel\Desktop' /v LogPixels 2>/dev/null |
    tr -d '\r' | awk '$1 == "LogPixels" { print $3 }')
  if [ -n "$v" ]; then echo $((v)); else echo 96; fi
}

# The desktop's display scale as a DPI in 25 % steps (24 DPI) from 96 to
# 288: the X resources' Xft.dpi, which desktops set for their scale, else
# the X screen's resolution. Nothing printed, status 1, when neither is known.
pg_desktop_dpi() {
  local dpi=""
  if command -v xrdb >/dev/null 2>&1; then
    dpi=$(xrdb -query 2>/dev/null | awk -F':[ \t]*' '$1 == "Xft.dpi" { print $2; exit }')
  fi
  if [ -z "$dpi" ] && command -v xdpyinfo >/dev/null 2>&1; then
    dpi=$(xdpyinfo 2>/dev/null | awk '$1 == "resolution:" { split($2, r, "x"); print r[1]; exit }')
  fi
  [ -n "$dpi" ] || return 1
  awk -v d="$dpi" 'BEGIN { s = int(d / 24 + 0.5); if (s < 4) s = 4; if (s > 12) s = 12; print s * 24 }'
}

# For the user's own prefix (WINEPREFIX) on a desktop: the desktop's display
# scale, and the settings of the template that a prefix made from an older
# one lacks. Changes only what differs; a change ends the prefix's
# wineserver (and any program still running in it) so the next start sees it.
pg_wine_desktop_settings() {
  [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || { _pg_die "no prefix"; return 1; }
  local changed=0 want have
  if ! wine reg query "$_PG_FONT_SUBSTITUTES" /v 'MS PGothic' </dev/null >/dev/null 2>&1; then
    _pg_wine_font_substitutes </dev/null >/dev/null 2>&1 && changed=1
  fi
  if want=$(pg_desktop_dpi); then
    have=$(_pg_wine_read_dpi)
    if [ "$want" != "$have" ]; then
      echo "wine-env: display scale $((want * 100 / 96)) % ($want DPI, was $have)" >&2
      wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$want" /f \
        </dev/null >/dev/null 2>&1 && changed=1
    fi
  fi
  if [ $changed = 1 ]; then
    wineserver -k 2>/dev/null || true
    timeout 20 wineserver -w 2>/dev/null || true
  fi
  return 0
}

pg_wine_dpi() { # [DPI]
  [ -n "${WINEPREFIX:-}" ] || { _pg_die "pg_wine_start first"; return 1; }
  if [ $# -eq 0 ]; then
    _pg_wine_read_dpi
    return
  fi
  local dpi=$1
  case "$dpi" in
    '' | *[!0-9]*) _pg_die "pg_wine_dpi: not a DPI: $dpi"; return 1 ;;
  esac
  [ "$dpi" -ge 48 ] && [ "$dpi" -le 480 ] || { _pg_die "pg_wine_dpi: $dpi is out of range"; return 1; }
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    </dev/null >/dev/null 2>&1 || { _pg_die "pg_wine_dpi: setting LogPixels failed"; return 1; }
  _pg_wine_restart_server || { _pg_die "pg_wine_dpi: wine did not start again"; return 1; }
}

pg_xvfb_start() { # DEPTH -> prints ":N"
  local depth=${1:?usage: pg_xvfb_start DEPTH}
  [ -n "${PG_WINE_RUN:-}" ] || { _pg_die "pg_wine_start first"; return 1; }
  local xv
  xv=$(_pg_xvfb_spawn "$depth" "$PG_WINE_RUN") || return 1
  echo "$xv" >>"$PG_WINE_RUN/extra-xvfb"
  echo "${xv% *}"
}

pg_xvfb_stop() { # DISPLAY
  local want=${1:?usage: pg_xvfb_stop DISPLAY} disp pid rest=""
  [ -n "${PG_WINE_RUN:-}" ] || return 0
  while read -r disp pid; do
    [ -n "$disp" ] || continue
    if [ "$disp" = "$want" ]; then kill "$pid" 2>/dev/null || true; else rest+="$disp $pid"$'\n'; fi
  done <"$PG_WINE_RUN/extra-xvfb"
  printf '%s' "$rest" >"$PG_WINE_RUN/extra-xvfb"
}

pg_wine_stop() {
  local run=${PG_WINE_RUN:-}
  [ -n "$run" ] && [ -d "$run" ] || return 0
  WINEPREFIX="$run/prefix" wineserver -k 2>/dev/null || true
  WINEPREFIX="$run/prefix" timeout 20 wineserver -w 2>/dev/null || true
  local disp pid
  while read -r disp pid; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  done <"$run/extra-xvfb"
  pid=$(cat "$run/xvfb.pid" 2>/dev/null || true)
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  if [ "${PG_WINE_KEEP:-0}" = 1 ]; then
    echo "wine-env: kept $run" >&2
  else
    rm -rf "$run"
  fi
  unset PG_WINE_RUN
}

#!/usr/bin/env bash
# The packages of scripts/release.sh as users get them:
#   - SHA256SUMS verifies; the zip holds the three programs (stripped, at
#     most 2.5 MB each, with the project's version in their version
#     resource), the README and the licences; no build path in any program;
#   - unpacked into a folder whose path has spaces and non-ASCII letters,
#     Tessary.exe shows its window under Wine, Depthwell.exe runs and ends,
#     and pairglyph.exe writes exactly the bytes (and prints exactly the
#     text) of the native command for the README's command-line examples;
#   - the man page renders without warnings and names every option of
#     --help;
#   - the .deb installs with apt, `pairglyph --version` and `man pairglyph`
#     work, and it removes without leaving a file behind.
#
#   tests/release/check_release.sh DIST
#
# Runs in the Wine session of scripts/wine-env.sh (pg_wine_start). The
# install is skipped, with a note, when a pairglyph package is already
# installed: the check never replaces or removes a user's own.
set -euo pipefail
dist=$(realpath "${1:?usage: check_release.sh DIST}")
root=$(cd "$(dirname "$0")/../.." && pwd)
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || {
  echo "check_release: run inside the Wine session (source scripts/wine-env.sh && pg_wine_start)" >&2
  exit 1
}
version=$(sed -n 's/^project(Pairglyph VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
zip=$dist/pairglyph-$version-windows-x64.zip
debugzip=$dist/pairglyph-$version-windows-x64-debug.zip
deb=$dist/pairglyph_${version}_amd64.deb
scratch=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() { echo "check_release: FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "check_release: ok: $*"; }

# ---- checksums and contents
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) && ok "SHA256SUMS verifies" || fail "SHA256SUMS does not verify"
for f in "$zip" "$debugzip" "$deb"; do
  grep -q " $(basename "$f")\$" "$dist/SHA256SUMS" || fail "SHA256SUMS has no line for $(basename "$f")"
done

# Where users unpack it: spaces and letters outside ASCII in every part.
place="$scratch/Program Files (ユーザー)/Pairglyph für Windows"
mkdir -p "$place"
unzip -q "$zip" -d "$place"
unzip -q "$debugzip" -d "$place"
win="$place/pairglyph-$version-windows-x64"
expected="LICENSES.txt README.txt licenses/gcc-runtime.txt licenses/mingw-w64.txt Depthwell.exe Tessary.exe pairglyph.exe"
for f in $expected; do [ -f "$win/$f" ] || fail "the zip has no $f"; done
for f in "$win-debug"/{Tessary,Depthwell,pairglyph}.exe.debug; do
  [ -s "$f" ] || fail "the debug zip has no $(basename "$f")"
done
grep -q "SmartScreen" "$win/README.txt" || fail "README.txt says nothing of SmartScreen"
for exe in Tessary Depthwell pairglyph; do
  f="$win/$exe.exe"
  size=$(stat -c %s "$f")
  ((size <= 2621440)) || fail "$exe.exe is $size bytes, more than 2.5 MB"
  if x86_64-w64-mingw32-objdump -h "$f" | grep -q '\.debug_'; then fail "$exe.exe is not stripped"; fi
  python3 - "$f" "$version" "$exe" <<'PY' || fail "$exe.exe's version resource or manifest does not say $version"
import sys
data = open(sys.argv[1], "rb").read()
version, name = sys.argv[2], sys.argv[3]
for key in ("FileVersion", "ProductVersion"):
    needle = (key + "\0").encode("utf-16-le")
    at = data.find(needle)
    if at < 0:
        sys.exit(1)
    value = data[at + len(needle):at + len(needle) + 64].decode("utf-16-le", "replace")
    if not value.lstrip("\0").startswith(version + "\0"):
        sys.exit(1)
if ("OriginalFilename\0").encode("utf-16-le") not in data or (name + ".exe").encode("utf-16-le") not in data:
    sys.exit(1)
# The manifest names the program's assembly with the same version.
if name != "pairglyph" and ('version="%s.0"' % version).encode() not in data:
    sys.exit(1)
PY
  ok "$exe.exe: $size bytes, stripped, version $version"
done

# No build folder's path in any program or debugging information.
dpkg-deb -x "$deb" "$scratch/deb"
for f in "$win"/*.exe "$win-debug"/*.debug "$scratch/deb/usr/bin/pairglyph"; do
  if grep -a -q -F -e "$root" -e "$HOME/" "$f"; then fail "$(basename "$f") holds a build path"; fi
done
ok "no build paths in the programs"

# ---- the programs from that folder under Wine
wait_window() { # NAME PID SECONDS -> window id
  local i
  for ((i = 0; i < $3 * 10; i++)); do
    if xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 | grep .; then return 0; fi
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
wait_exit() { # PID SECONDS -> the process's status
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    kill -0 "$1" 2>/dev/null || { wait "$1"; return; }
    sleep 0.1
  done
  return 124
}

(cd "$win" && exec setsid wine ./Tessary.exe) </dev/null >"$scratch/tessary.log" 2>&1 &
tessary=$!
pids+=("$tessary")
if wait_window '^Pairglyph$' "$tessary" 60 >/dev/null; then
  ok "Tessary.exe shows its window from $win"
else
  fail "Tessary.exe shows no window from $win"
  cat "$scratch/tessary.log" >&2 || true
fi
kill "$tessary" 2>/dev/null || true
wait "$tessary" 2>/dev/null || true

# Depthwell with a setting it leaves alone: one box, OK, status 0, and the
# setting as it was.
key='HKCU\Control Panel\desktop\windowmetrics'
wine reg add "$key" /v 'Shell Icon BPP' /d 32 /f >/dev/null 2>&1
(cd "$win" && exec setsid wine ./Depthwell.exe) </dev/null >"$scratch/depthwell.log" 2>&1 &
depthwell=$!
pids+=("$depthwell")
if wait_window '^確認$' "$depthwell" 60 >/dev/null; then
  # Wine may replace the box's X window while it maps it: Return goes to
  # whichever window has the box's name now, until the program has ended.
  status=124
  for ((i = 0; i < 30; i++)); do
    box=$(xdotool search --onlyvisible --name '^確認$' 2>/dev/null | head -n 1 || true)
    if [ -n "$box" ]; then xdotool key --window "$box" Return >/dev/null 2>&1 || true; fi
    if ! kill -0 "$depthwell" 2>/dev/null; then
      status=0
      wait "$depthwell" || status=$?
      break
    fi
    sleep 1
  done
  ((status == 0)) && ok "Depthwell.exe runs from $win" || fail "Depthwell.exe ended with status $status"
else
  fail "Depthwell.exe showed no box from $win"
fi
kill "$depthwell" 2>/dev/null || true

# The README's command-line examples, as written, once with the native
# command and once with pairglyph.exe from the unpacked folder; each in a
# folder laid out like the repository after a build, with the release's
# own programs and artwork.
examples=$(python3 - "$root/README.md" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-8").read()
part = text[text.index("## The command line"):]
block = re.search(r"```sh\n(.*?)```", part, re.S).group(1)
print(block.replace("build/native/cli/pairglyph", "pg"))
PY
)
run_examples() { # FOLDER COMMAND...
  local dir=$1
  shift
  mkdir -p "$dir/build/windows/resources" "$dir/build/windows/app"
  cp "$root/build/release/windows/resources/"*.ico "$root/build/release/windows/resources/"*.cur "$dir/build/windows/resources/"
  cp "$win/Tessary.exe" "$dir/build/windows/app/"
  (cd "$dir" && PG=("$@") && pg() { "${PG[@]}" "$@"; } && set -e && eval "$examples") >"$dir.stdout" 2>"$dir.stderr"
}
if ! run_examples "$scratch/native" "$scratch/deb/usr/bin/pairglyph"; then
  fail "the README's examples fail with the native command"; cat "$scratch/native.stderr" >&2
fi
if ! run_examples "$scratch/windows" wine "$win/pairglyph.exe"; then
  fail "the README's examples fail with pairglyph.exe"; cat "$scratch/windows.stderr" >&2
fi
# The files byte for byte; the printed text line for line (a Windows
# console program ends its lines with CR LF).
if diff -r "$scratch/native" "$scratch/windows" >"$scratch/diff"; then
  ok "pairglyph.exe writes the bytes the native command writes ($(find "$scratch/native" -maxdepth 1 -type f | wc -l) files)"
else
  fail "pairglyph.exe and the native command write different files:"; cat "$scratch/diff" >&2
fi
if sed 's/\r$//' "$scratch/windows.stdout" | cmp -s "$scratch/native.stdout" - && [ -s "$scratch/native.stdout" ]; then
  ok "pairglyph.exe prints what the native command prints"
else
  fail "pairglyph.exe and the native command print different text:"
  sed 's/\r$//' "$scratch/windows.stdout" | diff "$scratch/native.stdout" - | head -20 >&2 || true
fi

# ---- the man page
warnings=$(MANWIDTH=80 man --warnings -l "$root/doc/pairglyph.1" 2>&1 >"$scratch/man.txt") || true
[ -z "$warnings" ] && [ -s "$scratch/man.txt" ] && ok "the man page renders" || fail "the man page: $warnings"
for opt in $("$scratch/deb/usr/bin/pairglyph" --help | grep -oE '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--?[a-z-]+'); do
  grep -q -F -- "$opt" "$scratch/man.txt" || fail "the man page does not name $opt"
done
for section in SYNOPSIS COMMANDS OPTIONS "EXIT STATUS" EXAMPLES; do
  grep -q "^$section" "$scratch/man.txt" || fail "the man page has no $section"
done
gz="$scratch/deb/usr/share/man/man1/pairglyph.1.gz"
[ "$(od -An -tx1 -j3 -N5 "$gz" | tr -d ' ')" = "0000000000" ] || fail "the man page is gzipped with a name or a time"

# ---- the Debian package
control=$(dpkg-deb -f "$deb")
for field in "Package: pairglyph" "Version: $version" "Architecture: amd64" "Maintainer: " "Description: " "Built-Using: "; do
  grep -q "^$field" <<<"$control" || fail "the control file has no '$field'"
done
listing=$(dpkg-deb -c "$deb" | awk '{print $2, $6}' | sort)
[ "$(awk '{print $1}' <<<"$listing" | sort -u)" = "root/root" ] || fail "the .deb holds files not owned by root"
for f in ./usr/bin/pairglyph ./usr/share/man/man1/pairglyph.1.gz ./usr/share/doc/pairglyph/copyright; do
  grep -q " $f\$" <<<"$listing" || fail "the .deb has no $f"
done
if dpkg-query -W -f='${Status}' pairglyph 2>/dev/null | grep -q 'install ok installed'; then
  echo "check_release: note: a pairglyph package is installed already; install and removal not checked"
else
  # One check at a time on this machine: the package database is shared.
  exec 8>/var/lock/pairglyph-release-check.lock
  flock -w 600 8
  cp "$deb" "$scratch/pairglyph.deb"
  chmod 0644 "$scratch/pairglyph.deb"
  chmod 0755 "$scratch"
  export DEBIAN_FRONTEND=noninteractive
  if apt-get install -y -q -o DPkg::Lock::Timeout=300 "$scratch/pairglyph.deb" >"$scratch/apt.log" 2>&1; then
    ok "the .deb installs with apt"
    [ "$(command -v pairglyph)" = /usr/bin/pairglyph ] || fail "pairglyph is not /usr/bin/pairglyph"
    [ "$(pairglyph --version)" = "pairglyph $version" ] && ok "pairglyph --version says $version" \
      || fail "pairglyph --version says '$(pairglyph --version)'"
    if MANPAGER=cat MANWIDTH=80 man pairglyph 2>/dev/null | grep -q -- '--upper-offset'; then
      ok "man pairglyph shows the page"
    else
      fail "man pairglyph shows no page"
    fi
    installed=$(dpkg -L pairglyph | while read -r f; do [ -f "$f" ] && echo "$f"; done)
    if apt-get remove --purge -y -q -o DPkg::Lock::Timeout=300 pairglyph >>"$scratch/apt.log" 2>&1; then
      left=$(for f in $installed; do [ -e "$f" ] && echo "$f"; done || true)
      [ -z "$left" ] && ! dpkg-query -W -f='${Status}' pairglyph 2>/dev/null | grep -q installed \
        && ok "the .deb removes cleanly" || fail "left after removal: $left"
    else
      fail "the .deb does not remove"; cat "$scratch/apt.log" >&2
    fi
  else
    fail "apt-get install of the .deb failed"; cat "$scratch/apt.log" >&2
  fi
  flock -u 8
fi

if ((failures)); then
  echo "check_release: $failures failures" >&2
  exit 1
fi
echo "check_release: all checks passed"

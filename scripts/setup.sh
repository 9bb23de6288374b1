#!/usr/bin/env bash
# Installs everything Pairglyph needs to build, test and run on Debian 12.
# Idempotent: packages already present are not fetched again.
set -euo pipefail

PACKAGES=(
  # native build and tests
  build-essential cmake ninja-build pkg-config git ca-certificates
  libgtest-dev libbenchmark-dev libstb-dev
  # releases: the Debian package, the checks of both packages, the man page
  dpkg-dev man-db unzip
  # fuzzing: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev
  # the Windows build and running it
  g++-mingw-w64-x86-64-posix wine64 wine
  # end-to-end tests: a display, input, screenshots, fonts, clipboard
  xvfb xdotool imagemagick xclip fonts-ipafont-gothic fonts-wine python3
  # the desktop's display scale for run.sh (xrdb; xdpyinfo)
  x11-xserver-utils x11-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

#!/usr/bin/env bash
# The command line beside its peers, each pair in the same run:
#   list of Wine's shell32.dll        vs  wrestool -l --type=14 (icoutils, when installed)
#   compose of two .ico, 24-bit save  vs  ImageMagick convert X.ico[0] out.ico
#   batch of 200 compositions         vs  200 ImageMagick convert ... -composite runs
#                                         on icons extracted beforehand
#
#   bench/bench_cli.sh [PAIRGLYPH] [ROUNDS]
# Build pairglyph optimised for figures worth quoting (-DCMAKE_BUILD_TYPE=Release).
set -euo pipefail
cd "$(dirname "$0")/.."
pg=${1:-build/native/cli/pairglyph}
rounds=${2:-20}
dll=${PG_SHELL32:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 resources/make_artwork.py "$tmp" >/dev/null

# Mean wall time of a command, in milliseconds, over $2 runs.
per_run() {
  local n=$1; shift
  local start end
  start=$(date +%s%N)
  for ((i = 0; i < n; i++)); do "$@" >/dev/null 2>&1 || true; done
  end=$(date +%s%N)
  echo "scale=3; ($end - $start) / $n / 1000000" | bc
}

echo "list shell32.dll:        pairglyph $(per_run "$rounds" "$pg" list "$dll") ms"
if command -v wrestool >/dev/null; then
  echo "                         wrestool  $(per_run "$rounds" wrestool -l --type=14 "$dll") ms"
fi
echo "compose two .ico, 24bit: pairglyph $(per_run "$rounds" "$pg" compose -o "$tmp/o.ico" --depth 24 \
  --upper "$tmp/upper.ico" --lower "$tmp/lower.ico") ms"
if command -v convert >/dev/null; then
  echo "                         convert   $(per_run "$rounds" convert "$tmp/upper.ico[0]" "$tmp/c.ico") ms"
fi

for ((i = 0; i < 200; i++)); do
  echo "-o $tmp/b$((i % 10)).ico --depth 24 --upper $dll --upper-index $((i % 150)) --lower $dll --lower-index $(((i * 7) % 150))"
done >"$tmp/jobs.txt"
start=$(date +%s%N); "$pg" batch "$tmp/jobs.txt" 2>/dev/null || true; end=$(date +%s%N)
echo "batch of 200 from shell32: pairglyph $(echo "scale=1; ($end - $start) / 1000000" | bc) ms"
if command -v convert >/dev/null; then
  for ((i = 0; i < 150; i++)); do "$pg" compose -o "$tmp/x$i.ico" --depth 24 --upper "$dll" --upper-index "$i" 2>/dev/null || true; done
  start=$(date +%s%N)
  for ((i = 0; i < 200; i++)); do
    convert "$tmp/x$((i % 150)).ico[0]" "$tmp/x$(((i * 7) % 150)).ico[0]" -composite "$tmp/m.ico" 2>/dev/null || true
  done
  end=$(date +%s%N)
  echo "                           convert -composite x200 $(echo "scale=1; ($end - $start) / 1000000" | bc) ms"
fi

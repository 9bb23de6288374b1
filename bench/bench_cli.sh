#!/usr/bin/env bash
# The command line beside its peers, each pair timed by hyperfine in one run
# (the commands alternate after a warm-up, and hyperfine prints how many
# times faster the first is):
#   list of Wine's shell32.dll        vs  wrestool -l --type=14 (icoutils)
#   compose of two .ico, 24-bit save  vs  ImageMagick convert X.ico[0] out.ico
#   batch of 200 compositions         vs  200 ImageMagick convert ... -composite runs
#                                         on icons extracted beforehand
#   one ComposeLayers                     (the benchmark program, when built)
#
#   bench/bench_cli.sh [PAIRGLYPH] [RUNS]
# Needs hyperfine; the peers are skipped when missing. Build optimised
# (the native preset's RelWithDebInfo, or Release) for figures worth quoting.
set -euo pipefail
cd "$(dirname "$0")/.."
pg=$(realpath "${1:-build/native/cli/pairglyph}")
runs=${2:-30}
bench=build/native/bench/pg_bench
dll=${PG_SHELL32:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll}
command -v hyperfine >/dev/null || { echo "bench_cli.sh needs hyperfine" >&2; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 resources/make_artwork.py "$tmp" >/dev/null
have() { command -v "$1" >/dev/null; }
# -N: no shell between hyperfine and the command, so start-up is the
# command's own.
hf() { hyperfine -N -i --style basic --warmup 3 "$@" 2>&1 | grep -v '^ *$'; }

echo "== list of shell32.dll ($(du -h "$dll" | cut -f1))"
peer=()
have wrestool && peer=("wrestool -l --type=14 $dll")
hf --runs "$runs" "$pg list $dll" "${peer[@]}"

# pairglyph flushes what it saves to the disk before it reports success
# (the peer does not), which on a busy disk is most of its time; written to
# memory (/dev/shm) the pair compares the work alone.
for out in "$tmp" /dev/shm; do
  [[ -d $out && -w $out ]] || continue
  echo "== compose of two .ico, 24-bit save, written to $out"
  peer=()
  have convert && peer=("convert $tmp/upper.ico[0] $out/pg-bench-c.ico")
  hf --runs "$runs" "$pg compose -o $out/pg-bench-o.ico --depth 24 --upper $tmp/upper.ico --lower $tmp/lower.ico" \
    "${peer[@]}"
  [[ $out == "$tmp" ]] || rm -f "$out/pg-bench-o.ico" "$out/pg-bench-c.ico"
done

echo "== batch of 200 compositions from shell32.dll"
for ((i = 0; i < 200; i++)); do
  echo "-o $tmp/b$((i % 10)).ico --depth 24 --upper $dll --upper-index $((i % 150)) --lower $dll --lower-index $(((i * 7) % 150))"
done >"$tmp/jobs.txt"
peer=()
if have convert; then
  # The peer's icons are taken out of the library beforehand, not timed.
  for ((i = 0; i < 150; i++)); do
    "$pg" compose -o "$tmp/x$i.ico" --depth 24 --upper "$dll" --upper-index "$i" 2>/dev/null || true
  done
  for ((i = 0; i < 200; i++)); do
    echo "convert $tmp/x$((i % 150)).ico[0] $tmp/x$(((i * 7) % 150)).ico[0] -composite $tmp/m.ico"
  done >"$tmp/convert.sh"
  peer=("sh $tmp/convert.sh")
fi
hf --runs 5 "$pg batch $tmp/jobs.txt" "${peer[@]}"

if [[ -x $bench ]]; then
  echo "== one ComposeLayers"
  "$bench" --benchmark_filter='BM_ComposeLayers$' --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true 2>/dev/null | grep BM_
fi

#!/usr/bin/env bash
# Peak memory and CPU time of pairglyph on the hostile inputs (list and
# compose of each), and on any further files given, with GNU time.
#
#   bench/measure_hostile.sh [BUILD] [FILE...]
#
# BUILD is the native build folder (default build/native). The limits each
# input must stay within: 256 MB of memory and 2 s of CPU.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
shift || true
cli=$build/cli/pairglyph
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$build/tests/cli/pg_hostile_inputs" "$scratch/in"
printf '%-34s %-8s %10s %8s %s\n' input command peak_MB cpu_s status
for f in $(find "$scratch/in" -type f | sort) "$@"; do
  for cmd in list compose; do
    if [[ $cmd == list ]]; then args=(list "$f"); else args=(compose -o "$scratch/out.ico" --upper "$f"); fi
    set +e
    /usr/bin/time -f '%M %U %S' -o "$scratch/time" "$cli" "${args[@]}" >/dev/null 2>"$scratch/err"
    status=$?
    set -e
    read -r kb user sys < <(tail -n 1 "$scratch/time")
    printf '%-34s %-8s %10.1f %8.2f %s %s\n' "${f#"$scratch"/in/}" "$cmd" "$(echo "$kb / 1024" | bc -l)" \
      "$(echo "$user + $sys" | bc -l)" "$status" "$(head -c 70 "$scratch/err" | head -n 1)"
  done
done

#!/usr/bin/env bash
# Runs every built libFuzzer target for SECONDS each and fails on any crash,
# leak, timeout or sanitizer report.
#
#   scripts/fuzz.sh SECONDS
#
# Convention: the target fuzz_<name> (from fuzz/fuzz_<name>.cpp) starts from
# the seed corpus fuzz/corpus/<name>/. It runs on a scratch copy, so the
# committed corpus never grows; crashing inputs are kept under
# <build>/artifacts/<name>/. The build folder is build/fuzz unless
# PG_FUZZ_BUILD names another.
set -euo pipefail
seconds=${1:?usage: fuzz.sh SECONDS}
cd "$(dirname "$0")/.."
root=$PWD
build=${PG_FUZZ_BUILD:-$root/build/fuzz}

shopt -s nullglob
targets=()
for t in "$build"/fuzz/fuzz_*; do
  [[ -f $t && -x $t ]] && targets+=("$t")
done
if ((${#targets[@]} == 0)); then
  echo "fuzz: no targets in $build/fuzz (build the fuzz preset first)" >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=()
for t in "${targets[@]}"; do
  name=$(basename "$t")
  name=${name#fuzz_}
  corpus="$scratch/$name"
  mkdir -p "$corpus"
  if [[ -d $root/fuzz/corpus/$name ]]; then
    cp -R "$root/fuzz/corpus/$name/." "$corpus/"
  else
    echo "fuzz: warning: no seed corpus fuzz/corpus/$name/" >&2
  fi
  artifacts="$build/artifacts/$name"
  mkdir -p "$artifacts"
  echo "== fuzz_$name for ${seconds}s"
  if ! "$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" >"$scratch/$name.log" 2>&1; then
    tail -n 60 "$scratch/$name.log" >&2
    failed+=("$name")
  else
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$scratch/$name.log" || true
  fi
done

if ((${#failed[@]})); then
  echo "fuzz: failures in: ${failed[*]} (inputs under $build/artifacts/)" >&2
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets clean"

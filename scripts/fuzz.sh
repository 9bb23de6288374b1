#!/usr/bin/env bash
# Replays the regression corpus through every built libFuzzer target, then
# fuzzes each for SECONDS; fails on any crash, leak, timeout, out-of-memory
# or sanitizer report.
#
#   scripts/fuzz.sh SECONDS
#
# Limits: the readers promise that no single input costs more than 256 MB
# or 2 s (unsanitized), so every run here allocates at most 256 MB at once,
# stays under 512 MB resident (sanitizer overhead included) and 5 s per
# input; an input that passes them is a finding, like a crash.
#
# Convention: the target fuzz_<name> (from fuzz/fuzz_<name>.cpp) starts from
# the seed corpus fuzz/corpus/<name>/ with the dictionary fuzz/dict/<name>.dict.
# Its regression corpus is the <name>/ folder that pg_hostile_inputs writes
# (the inputs that once cost gigabytes or seconds). Fuzzing runs on a scratch
# copy, so the committed corpus never grows; failing inputs are kept under
# <build>/artifacts/<name>/. The build folder is build/fuzz unless
# PG_FUZZ_BUILD names another.
set -euo pipefail
seconds=${1:?usage: fuzz.sh SECONDS}
cd "$(dirname "$0")/.."
root=$PWD
build=${PG_FUZZ_BUILD:-$root/build/fuzz}
# The largest pictures the readers accept take about two seconds under the
# sanitizers on an idle machine; the time limit leaves room for a loaded
# one, so only a real runaway (a loop, a quadratic walk) counts as a
# timeout. Memory limits are exact: they are what the readers promise.
limits=(-rss_limit_mb=512 -malloc_limit_mb=256 -timeout=15)
# The address sanitizer keeps freed blocks back (its quarantine, 256 MB by
# default) and gives freed pages back to the system only now and then; both
# count towards the resident limit as if the readers held them, so a run of
# large but legal pictures could pass it. Smaller and more often, the limit
# measures the readers (peak about 150 MB instead of 350 to 530).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=64:allocator_release_to_os_interval_ms=500"

shopt -s nullglob
targets=()
for t in "$build"/fuzz/fuzz_*; do
  [[ -f $t && -x $t ]] && targets+=("$t")
done
if ((${#targets[@]} == 0)); then
  echo "fuzz: no targets in $build/fuzz (build the fuzz preset first)" >&2
  exit 1
fi
hostile=$(find "$build" -name pg_hostile_inputs -type f -perm -u+x | head -n 1)
if [[ -z $hostile ]]; then
  echo "fuzz: no pg_hostile_inputs in $build (build the fuzz preset first)" >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$hostile" "$scratch/regressions"
failed=()
for t in "${targets[@]}"; do
  name=$(basename "$t")
  name=${name#fuzz_}
  artifacts="$build/artifacts/$name"
  mkdir -p "$artifacts"
  regressions=("$scratch/regressions/$name"/*)
  if ((${#regressions[@]})); then
    echo "== fuzz_$name: replaying ${#regressions[@]} regression inputs"
    if ! "$t" "${limits[@]}" -artifact_prefix="$artifacts/" "${regressions[@]}" \
        >"$scratch/$name.replay.log" 2>&1; then
      tail -n 40 "$scratch/$name.replay.log" >&2
      failed+=("$name (regressions)")
      continue
    fi
  fi
  corpus="$scratch/$name"
  mkdir -p "$corpus"
  if [[ -d $root/fuzz/corpus/$name ]]; then
    cp -R "$root/fuzz/corpus/$name/." "$corpus/"
  else
    echo "fuzz: warning: no seed corpus fuzz/corpus/$name/" >&2
  fi
  dict=()
  [[ -f $root/fuzz/dict/$name.dict ]] && dict=(-dict="$root/fuzz/dict/$name.dict")
  echo "== fuzz_$name for ${seconds}s"
  if ! "$t" -max_total_time="$seconds" "${limits[@]}" "${dict[@]}" -print_final_stats=1 \
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

#!/usr/bin/env bash
# The same commit gives byte-identical packages wherever it is built: two
# clones of HEAD in folders of different names and lengths (one with
# spaces and letters outside ASCII), built by scripts/release.sh with a
# different umask, time zone, locale and home, must write the same dist/.
#
#   tests/release/reproducible.sh
#
# It builds everything twice (about ten minutes on two cores); uncommitted
# changes are not part of a clone, so commit first.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
a=$scratch/a/pairglyph
b="$scratch/second build, ünd längerer Name/プロジェクト/pairglyph"
mkdir -p "$(dirname "$a")" "$(dirname "$b")"
git clone -q "$root" "$a"
git clone -q "$root" "$b"
[ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ] ||
  echo "reproducible: note: uncommitted changes in $root are not built here" >&2

echo "== first build in $a"
(cd "$a" && ./scripts/release.sh) >"$scratch/a.log" 2>&1 || { tail -n 40 "$scratch/a.log" >&2; exit 1; }
echo "== second build in $b"
mkdir -p "$scratch/home"
(umask 077 && cd "$b" && HOME=$scratch/home TZ=Asia/Tokyo LANG=ja_JP.UTF-8 ./scripts/release.sh) \
  >"$scratch/b.log" 2>&1 || { tail -n 40 "$scratch/b.log" >&2; exit 1; }

status=0
for f in "$a"/dist/*; do
  name=$(basename "$f")
  if cmp -s "$f" "$b/dist/$name"; then
    echo "reproducible: same: $name"
  else
    echo "reproducible: DIFFERENT: $name" >&2
    status=1
  fi
done
[ "$(ls "$a/dist")" = "$(ls "$b/dist")" ] || { echo "reproducible: the two dist folders hold different files" >&2; status=1; }
if ((status)); then
  # What differs, for the post-mortem: the first differing members.
  for z in "$a"/dist/*.zip; do
    name=$(basename "$z")
    cmp -s "$z" "$b/dist/$name" && continue
    mkdir -p "$scratch/x/a" "$scratch/x/b"
    unzip -q -o "$z" -d "$scratch/x/a"; unzip -q -o "$b/dist/$name" -d "$scratch/x/b"
    diff -r "$scratch/x/a" "$scratch/x/b" >&2 || true
  done
  exit 1
fi
echo "reproducible: both builds wrote the same $(ls "$a/dist" | wc -l) files"

#!/usr/bin/env bash
# Sets up this machine (Debian 12), builds Pairglyph in Release and writes
# the packages users download into dist/:
#
#   pairglyph-VERSION-windows-x64.zip        Tessary.exe, Depthwell.exe,
#                                            pairglyph.exe, README, licences
#   pairglyph-VERSION-windows-x64-debug.zip  their debugging information
#   pairglyph_VERSION_amd64.deb              /usr/bin/pairglyph, its man page
#   SHA256SUMS                               for `sha256sum -c`
#
#   scripts/release.sh [DIST]     (DIST: another folder than dist/)
#
# The same commit gives the same bytes wherever it is checked out and built:
# every time stamp is the commit's (SOURCE_DATE_EPOCH), the build folders'
# paths are mapped away (PG_REPRODUCIBLE), archive entries go in sorted
# order with fixed owners and modes. Uncommitted changes are built as they
# are, with the time of the last commit.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dist=$(realpath -m "${1:-$root/dist}")
jobs=$(nproc 2>/dev/null || echo 2)

"$root/scripts/setup.sh"

version=$(sed -n 's/^project(Pairglyph VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no project VERSION in CMakeLists.txt" >&2; exit 1; }
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || true)
[ -n "$SOURCE_DATE_EPOCH" ] || { echo "release: not a git checkout (the packages take the commit's time)" >&2; exit 1; }
export SOURCE_DATE_EPOCH
# Nothing of the builder's own set-up reaches the packages.
export LC_ALL=C.UTF-8 TZ=UTC
umask 022

build=$root/build/release
common=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS=-g -DCMAKE_CXX_FLAGS=-g -DPG_REPRODUCIBLE=ON
        -DPG_BUILD_TESTS=OFF -DPG_BUILD_BENCHMARKS=OFF)

echo "== release $version: the Windows programs"
cmake -S "$root" -B "$build/windows" --toolchain "$root/cmake/mingw-w64.cmake" "${common[@]}" >/dev/null
cmake --build "$build/windows" -j"$jobs" --target Tessary Depthwell pairglyph

echo "== release $version: the native command line"
cmake -S "$root" -B "$build/native" "${common[@]}" >/dev/null
cmake --build "$build/native" -j"$jobs" --target pairglyph

stage=$build/stage
rm -rf "$stage"
mkdir -p "$stage" "$dist"
rm -f "$dist"/pairglyph[-_]* "$dist/SHA256SUMS"

# Every file of a package carries the commit's time and plain modes.
normalise() {
  find "$1" -type d -exec chmod 0755 {} +
  find "$1" -type f -exec chmod 0644 {} +
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# ---- the Windows zip and its debugging information
winname=pairglyph-$version-windows-x64
win=$stage/$winname
windebug=$stage/$winname-debug
mkdir -p "$win" "$windebug"
objcopy=x86_64-w64-mingw32-objcopy
for exe in app/Tessary.exe depthtool/Depthwell.exe cli/pairglyph.exe; do
  name=$(basename "$exe")
  "$objcopy" --only-keep-debug "$build/windows/$exe" "$windebug/$name.debug"
  # The link names the debug file; gdb looks for it beside the program.
  (cd "$windebug" && "$objcopy" --strip-all --add-gnu-debuglink="$name.debug" \
     "$build/windows/$exe" "$win/$name")
done
# Notepad and every other Windows editor show CRLF text as written.
sed 's/$/\r/' packaging/windows/README.txt | sed "s/@VERSION@/$version/g" >"$win/README.txt"
sed 's/$/\r/' packaging/windows/LICENSES.txt >"$win/LICENSES.txt"
mkdir -p "$win/licenses"
for f in packaging/licenses/*.txt; do sed 's/$/\r/' "$f" >"$win/licenses/$(basename "$f")"; done
normalise "$win"
normalise "$windebug"
python3 packaging/make_zip.py "$dist/$winname.zip" "$win" "$SOURCE_DATE_EPOCH"
python3 packaging/make_zip.py "$dist/$winname-debug.zip" "$windebug" "$SOURCE_DATE_EPOCH"

# ---- the Debian package
deb=$stage/deb
cli=$build/native/cli/pairglyph
mkdir -p "$deb/DEBIAN" "$deb/usr/bin" "$deb/usr/share/man/man1" "$deb/usr/share/doc/pairglyph"
objcopy --strip-all "$cli" "$deb/usr/bin/pairglyph"
sed "s/^\.TH PAIRGLYPH 1 \"\" \"Pairglyph\"/.TH PAIRGLYPH 1 \"$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d)\" \"Pairglyph $version\"/" \
  doc/pairglyph.1 | gzip -9 -n >"$deb/usr/share/man/man1/pairglyph.1.gz"
gzip -9 -n <CHANGELOG.md >"$deb/usr/share/doc/pairglyph/changelog.gz"
cp packaging/deb/copyright "$deb/usr/share/doc/pairglyph/copyright"

# Depends: the shared libraries the program is linked with (none when it is
# linked statically); Built-Using: the sources of what is linked in.
depends=""
if ldd "$deb/usr/bin/pairglyph" >/dev/null 2>&1; then
  shl=$stage/shlibdeps
  mkdir -p "$shl/debian"
  printf 'Source: pairglyph\n\nPackage: pairglyph\nArchitecture: amd64\n' >"$shl/debian/control"
  depends=$(cd "$shl" && dpkg-shlibdeps -O "$deb/usr/bin/pairglyph" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
fi
built_using=$(dpkg-query -W -f='${source:Package} (= ${source:Version}), ' libc6-dev libstdc++-12-dev \
  | sed 's/, $//')
installed_size=$(du -k -s --apparent-size --exclude=DEBIAN "$deb" | cut -f1)
{
  sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$installed_size/" \
      -e "s/@BUILT_USING@/$built_using/" packaging/deb/control.in
  [ -z "$depends" ] || echo "Depends: $depends"
} | sed '/^#/d' >"$deb/DEBIAN/control"
normalise "$deb"
chmod 0755 "$deb/usr/bin/pairglyph"
debfile=$dist/pairglyph_${version}_amd64.deb
dpkg-deb --root-owner-group -Zgzip -z9 --build "$deb" "$debfile" >/dev/null

(cd "$dist" && sha256sum "$winname.zip" "$winname-debug.zip" "$(basename "$debfile")" >SHA256SUMS)
echo "== release $version written to $dist:"
(cd "$dist" && ls -l "$winname.zip" "$winname-debug.zip" "$(basename "$debfile")" SHA256SUMS)

#!/usr/bin/env bash
# Checks what a user installs: the files of `cmake --install`, a manual page that renders
# without warnings, and a Debian package whose own binary runs after extraction.
# Needs the release build tools plus groff-base, dpkg-dev and file.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --workflow --preset release >/dev/null
cmake --install build/release --prefix "$work/prefix" >/dev/null
for f in bin/qxConsoleTicker share/man/man1/qxConsoleTicker.1 \
  share/doc/qxconsoleticker/examples/elapsed.sh; do
  [[ -f "$work/prefix/$f" ]] || { echo "install is missing $f" >&2; exit 1; }
done
echo "install: bin, man page and example in place"

# groff reports problems on standard error but still exits 0, so any output there fails.
groff -man -ww -z "$work/prefix/share/man/man1/qxConsoleTicker.1" 2>"$work/groff.log"
if [[ -s "$work/groff.log" ]]; then
  cat "$work/groff.log" >&2
  exit 1
fi
echo "man page: renders without warnings"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
deb=build/release/qxconsoleticker_${version}_$(dpkg --print-architecture).deb
rm -f build/release/*.deb
cmake --workflow --preset deb >/dev/null 2>&1
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
dpkg-deb -x "$deb" "$work/deb"
[[ -f "$work/deb/usr/share/man/man1/qxConsoleTicker.1.gz" ]] ||
  { echo "the package lacks the compressed man page" >&2; exit 1; }
status=0
out=$("$work/deb/usr/bin/qxConsoleTicker" -b1) || status=$?
printf '%s\n' "$out"
[[ "$out" == *"Returning Exit Code $status (byte 1)" ]] ||
  { echo "the packaged binary did not run as expected" >&2; exit 1; }
echo "package: $deb runs"

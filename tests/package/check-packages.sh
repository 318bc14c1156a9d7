#!/usr/bin/env bash
# Builds the Debian packages and checks them with the distribution's own
# tools: lintian without errors or warnings, a valid desktop entry and
# metainfo, and the project's version in both packages.
set -euo pipefail
build=$1 version=$2 app_id=$3
here=$(dirname "$0")
source "$here/build-debs.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build_debs "$build" "$work"
for package in loggercfg loggercfg-emulator; do
  deb=$work/${package}_${version}_amd64.deb
  [[ -f $deb ]] || { echo "FAIL: no $deb"; ls "$work"; exit 1; }
  [[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || { echo "FAIL: $package is not at version $version"; exit 1; }
done

# lintian refuses nothing by itself; count errors and warnings as failures.
lintian --fail-on error,warning "$work"/*.deb

root=$work/root
dpkg-deb -x "$work/loggercfg_${version}_amd64.deb" "$root"
desktop-file-validate "$root/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$app_id.metainfo.xml" \
  || { echo "FAIL: the metainfo's release is not $version"; exit 1; }
# The permission hint where a user looks for it.
grep -q dialout "$root/usr/share/metainfo/$app_id.metainfo.xml" || { echo "FAIL: no dialout hint in the metainfo"; exit 1; }
zgrep -q dialout "$root/usr/share/man/man1/loggercfg.1.gz" || { echo "FAIL: no dialout hint in the man page"; exit 1; }
[[ -x $root/usr/bin/loggerctl ]] || { echo "FAIL: no loggerctl in the package"; exit 1; }
zgrep -q '^\.SH EXIT STATUS' "$root/usr/share/man/man1/loggerctl.1.gz" || { echo "FAIL: loggerctl's man page gives no exit status"; exit 1; }
# The command-line companion stays off the widgets; Qt Gui draws its printed
# records, offscreen, and needs a font the package must bring.
needed=$(objdump -p "$root/usr/bin/loggerctl" | grep NEEDED)
[[ $needed == *libQt6Core* && $needed != *libQt6Widgets* ]] \
  || { echo "FAIL: loggerctl should not link the widgets: $needed"; exit 1; }
[[ $(dpkg-deb -f "$work/loggercfg_${version}_amd64.deb" Depends) == *fonts-liberation2* ]] \
  || { echo "FAIL: loggercfg does not depend on a font for its printed records"; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/loggercfg.png
  [[ $(identify -format %wx%h "$icon") == "${size}x${size}" ]] || { echo "FAIL: $icon"; exit 1; }
done
# The scalable icon is written by hand from the same shapes: drawn by another
# renderer, it must look like the painted one.
svg=$root/usr/share/icons/hicolor/scalable/apps/loggercfg.svg
rsvg-convert -w 256 -h 256 "$svg" -o "$work/svg.png"
differing=$(compare -metric AE -fuzz 10% "$work/svg.png" "$root/usr/share/icons/hicolor/256x256/apps/loggercfg.png" null: 2>&1 || true)
[[ $differing =~ ^[0-9]+$ && $differing -lt 200 ]] || { echo "FAIL: the scalable icon differs from the painted one in $differing pixels"; exit 1; }
# toml++ is compiled into both programs: its notice travels with them.
copyright=$root/usr/share/doc/loggercfg/copyright
grep -q 'toml++ 3.3.0' "$copyright" && grep -q 'Permission is hereby granted' "$copyright" \
  || { echo "FAIL: the package's copyright lacks toml++'s licence"; exit 1; }
# The manual is the one the build rendered, not some other file of that name.
[[ -n $(pdftotext "$root/usr/share/doc/loggercfg/Help.pdf" -) ]] || { echo "FAIL: Help.pdf holds no text"; exit 1; }
echo "package checks passed"

#!/usr/bin/env bash
# Builds the Debian package of a built tree and checks it: the Depends line computed from
# the programs' libraries, the files a desktop needs, the desktop entry and the chart type
# as the desktop's own tools read them, and the programs running from a scratch root the
# package is unpacked into. check-debian-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: ${debs[*]}"
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

[ "$(dpkg-deb -f "$deb" Package)" = tavix-editor ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for p in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libsdl2-2.0-0 libsndfile1 libsamplerate0 \
  libx11-6 libxi6 libaubio5 fonts-roboto-unhinted fonts-wqy-microhei; do
  grep -Eq "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
for f in bin/tavix-editor bin/tavix-chart bin/tavix-play bin/tavix-tempo \
  share/applications/tavix-editor.desktop share/icons/hicolor/64x64/apps/tavix-editor.png \
  share/mime/packages/tavix-editor.xml share/doc/tavix-editor/copyright \
  share/tavix-editor/examples/example.zts share/tavix-editor/examples/demo.ogg; do
  [ -s "$root/usr/$f" ] || fail "missing /usr/$f"
done
grep -q 'GPL-3.0+' "$root/usr/share/doc/tavix-editor/copyright" || fail "licence"

# The desktop entry opens a chart given as a file, and the chart type is read as such.
desktop=$root/usr/share/applications/tavix-editor.desktop
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
grep -qx 'Exec=tavix-editor %f' "$desktop" || fail "Exec line"
grep -q '^MimeType=.*application/x-zorvik-tavix-chart;' "$desktop" || fail "MimeType line"
cp -r "$root/usr/share/mime" "$work/mime"
update-mime-database "$work/mime" >/dev/null 2>&1 || fail "update-mime-database"
grep -qx 'application/x-zorvik-tavix-chart:\*.zts' <(cut -d: -f2- "$work/mime/globs2") ||
  fail "the chart type's glob"
[ -f "$work/mime/application/x-zorvik-tavix-chart.xml" ] || fail "the chart type"

# The programs run from the unpacked root, on the files it carries.
export LC_ALL=C.UTF-8
info=$("$root/usr/bin/tavix-chart" info "$root/usr/share/tavix-editor/examples/example.zts")
grep -qx 'cells: 64' <<<"$info" || fail "tavix-chart info: $info"
"$root/usr/bin/tavix-chart" convert "$root/usr/share/tavix-editor/examples/example.zts" \
  "$work/example.slk" >/dev/null
cmp "$work/example.slk" "$root/usr/share/tavix-editor/examples/example.slk" ||
  fail "the script converted by the installed tool"
"$root/usr/bin/tavix-editor" --help | grep -q 'CHART' || fail "tavix-editor --help"
tempo=$("$root/usr/bin/tavix-tempo" "$root/usr/share/tavix-editor/examples/demo.ogg")
grep -qx 'bpm: 100.00' <<<"$tempo" || fail "tavix-tempo on the demo song: $tempo"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/demo.raw" SDL_DISKAUDIODELAY=0 \
  "$root/usr/bin/tavix-play" "$root/usr/share/tavix-editor/examples/demo.ogg" --seconds 1 >/dev/null 2>&1
[ "$(stat -c %s "$work/demo.raw")" -gt 100000 ] || fail "tavix-play wrote no sound"
echo "package checked"

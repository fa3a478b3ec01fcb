#!/usr/bin/env bash
# Installs a built tree into a scratch prefix and checks what the desktop
# reads: the desktop file and the AppStream metainfo pass their validators,
# and the programs, shipped files and icons are in place.
# Usage: test_install.sh BUILD_DIR
set -u
build="$1"
for tool in desktop-file-validate:desktop-file-utils appstreamcli:appstream; do
  command -v "${tool%%:*}" >/dev/null || { echo "missing ${tool%%:*}: install the Debian package ${tool##*:}"; exit 1; }
done
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail=0
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "cmake --install failed"; exit 1; }
desktop-file-validate "$prefix/share/applications/vyrelle.desktop" || fail=1
appstreamcli validate --no-net "$prefix/share/metainfo/example.vyrelle.Vyrelle.metainfo.xml" >/dev/null || {
  appstreamcli validate --no-net "$prefix/share/metainfo/example.vyrelle.Vyrelle.metainfo.xml"; fail=1; }
grep -qx 'MimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;x-scheme-handler/mailto;' \
  "$prefix/share/applications/vyrelle.desktop" || { echo "MimeType line wrong"; fail=1; }
grep -qx 'Exec=vyrelle %u' "$prefix/share/applications/vyrelle.desktop" || { echo "Exec line wrong"; fail=1; }
for f in bin/vyrelle bin/vyrelle-cli share/vyrelle/start.html share/icons/hicolor/256x256/apps/vyrelle.png; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; fail=1; }
done
if command -v convert >/dev/null || command -v magick >/dev/null; then
  size=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/48x48/apps/vyrelle.png" 2>/dev/null)
  [ "$size" = "48x48" ] || { echo "48x48 icon is '$size'"; fail=1; }
fi
[ $fail -eq 0 ] && echo "installed files valid"
exit $fail

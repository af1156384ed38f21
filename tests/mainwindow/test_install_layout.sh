#!/usr/bin/env bash
# Installs the build tree into a scratch DESTDIR and checks what a desktop user gets.
set -euo pipefail
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null

fail=0
expect() {
  if [ ! -f "$dest/$1" ]; then
    echo "missing: $1"
    fail=1
  fi
}
expect usr/bin/tavrino-wallpaper-manager
expect usr/libexec/tavrino-wallpaper-manager/tavrino-wallpaper-decoder
for file in share/applications/example.tavrino.WallpaperManager.desktop \
  share/metainfo/example.tavrino.WallpaperManager.metainfo.xml \
  share/man/man1/tavrino-wallpaper-manager.1.gz \
  share/doc/tavrino-wallpaper-manager/copyright share/doc/tavrino-wallpaper-manager/changelog.gz; do
  expect "usr/$file"
done
# /etc/xdg/autostart for a system-wide build, the prefix's etc otherwise.
autostart=$(cd "$dest" && find . -path '*etc/xdg/autostart/tavrino-wallpaper-manager.desktop' | head -n 1)
[ -n "$autostart" ] || { echo "missing: the log-on entry"; fail=1; autostart=/nonexistent; }
expect usr/share/tavrino-wallpaper-manager/help/index.html
for size in 16 32 48 256; do
  expect "usr/share/icons/hicolor/${size}x${size}/apps/tavrino-wallpaper-manager.png"
done
expect usr/share/icons/hicolor/scalable/apps/tavrino-wallpaper-manager.svg

for entry in usr/share/applications/example.tavrino.WallpaperManager.desktop "$autostart"; do
  if ! desktop-file-validate "$dest/$entry"; then
    echo "invalid desktop entry: $entry"
    fail=1
  fi
done
grep -qx 'Exec=tavrino-wallpaper-manager /startup' "$dest/$autostart" \
  || { echo "the log-on entry does not pass /startup"; fail=1; }

# The installed program finds its help pages from its own folder.
"$dest/usr/bin/tavrino-wallpaper-manager" --version | grep -q '^tavrino-wallpaper-manager 1\.0\.0$' \
  || { echo "--version does not say 1.0.0"; fail=1; }

if [ $fail -eq 0 ]; then
  echo "1 passed, 0 failed"
else
  echo "0 passed, 1 failed"
fi
exit $fail

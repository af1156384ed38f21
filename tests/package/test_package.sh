#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it: lintian finds no error and no
# warning, the shipped AppStream metadata validates, man shows the installed manual page
# cleanly, and the page names the same switches and variables as --help.
# Usage: test_package.sh <build tree> <program>
set -euo pipefail
build=$1
program=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail=0
check() {  # check <what> <command...>: runs the command, says what failed
  local what=$1
  shift
  if ! "$@" >"$scratch/out" 2>&1; then
    echo "FAILED: $what"
    cat "$scratch/out"
    fail=1
  fi
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 \
  || { cat "$scratch/cpack.log"; echo "0 passed, 1 failed"; exit 1; }
deb=$(find "$scratch/pkg" -maxdepth 1 -name '*.deb' | head -n 1)
root="$scratch/root"
dpkg-deb -x "$deb" "$root"

check "lintian" lintian --fail-on error,warning --tag-display-limit 0 "$deb"
check "appstreamcli validate" \
  appstreamcli validate --no-net "$root/usr/share/metainfo/example.tavrino.WallpaperManager.metainfo.xml"

# man finds the page where it was installed, and groff has nothing to say about it.
page="$scratch/page.txt"
if ! LC_ALL=C.UTF-8 MANWIDTH=200 man --warnings -M "$root/usr/share/man" tavrino-wallpaper-manager \
    >"$page" 2>"$scratch/man.err" || [ -s "$scratch/man.err" ] || ! grep -q '^NAME' "$page"; then
  echo "FAILED: man tavrino-wallpaper-manager"
  cat "$scratch/man.err"
  fail=1
fi

# The switches and environment variables each text names, one a line.
names() {
  grep -oE '(^|[][ ,|(])(--?[a-z][a-z-]*|/startup|TAVRINO_[A-Z_]+)' "$1" | sed -E 's/^[][ ,|(]//' | sort -u
}
"$program" --help >"$scratch/help.txt"
if ! diff <(names "$scratch/help.txt") <(names "$page") >"$scratch/diff"; then
  echo "FAILED: --help (<) and the manual page (>) name different switches or variables"
  cat "$scratch/diff"
  fail=1
fi

if [ $fail -eq 0 ]; then
  echo "1 passed, 0 failed"
else
  echo "0 passed, 1 failed"
fi
exit $fail

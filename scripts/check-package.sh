#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh, into build-package/) and
# checks it with Debian's own checkers: lintian reports no error,
# desktop-file-validate passes on the desktop entry, appstreamcli on the
# metainfo and on the installed tree. Prints each checker's remarks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" test

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$out" && "$root/scripts/package.sh")
deb=$(ls "$out"/tegamiya_*_amd64.deb)
echo "== $(basename "$deb"): $(du -k "$deb" | cut -f1) KiB"
dpkg-deb --field "$deb" Depends Recommends

echo "== lintian"
lintian --fail-on error --display-info "$deb"

tree="$out/tree"
dpkg-deb -x "$deb" "$tree"
echo "== desktop-file-validate"
desktop-file-validate "$tree/usr/share/applications/tegamiya.desktop"
echo "== appstreamcli"
appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml
appstreamcli validate-tree --no-net "$tree"
echo "== the package passes its checks"

#!/usr/bin/env bash
# Builds the Debian package tegamiya_<version>_amd64.deb into the current
# folder: a release build of the deliverables only (no tests, no
# sanitizers) with Debian's hardening flags, installed under /usr and packed
# by CPack's DEB generator. Installs what is missing first.
#   scripts/package.sh            build into build-package/ and pack
#   BUILD_DIR=dir scripts/package.sh   another build folder
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(pwd)
"$root/scripts/install-deps.sh" build

build=${BUILD_DIR:-$root/build-package}
# Debian's build flags (stack protector, fortify, full RELRO); no debug
# information, the package's files are stripped anyway.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g
export CFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
export CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTEGAMIYA_TESTS=OFF -DTEGAMIYA_SANITIZE=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB)
deb=$(cd "$build" && ls -t tegamiya_*_amd64.deb | head -n 1)
[ "$build" -ef "$out" ] || cp "$build/$deb" "$out/$deb"
echo "$out/$deb"

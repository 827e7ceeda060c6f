#!/usr/bin/env bash
# Installs what is missing, builds Tegamiya and starts it. Without a display
# it starts it on a virtual X display and leaves a screenshot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" build

build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEGAMIYA_TESTS=OFF
cmake --build "$build" -j "$(nproc)" --target tegamiya

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/bin/tegamiya" "$@"
fi

echo "No display: starting Tegamiya on a virtual X display (Xvfb)."
pkgs=()
command -v Xvfb >/dev/null || pkgs+=(xvfb)
command -v import >/dev/null || pkgs+=(imagemagick)
if [ ${#pkgs[@]} -gt 0 ]; then
  sudo=; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${pkgs[@]}" xauth
fi
disp=:77
Xvfb "$disp" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 1
DISPLAY=$disp "$build/bin/tegamiya" "$@" &
app=$!
sleep 4
shot="$root/tegamiya-screenshot.png"
DISPLAY=$disp import -window root "$shot"
echo "Screenshot: $shot"
echo "Tegamiya is running on display $disp (pid $app); press Ctrl+C to end it."
wait $app

#!/bin/sh
# Runs a test program on an X display of its own, managed by openbox (a
# plain virtual display has no window manager). Usage: with_openbox.sh PROGRAM [ARGS]
set -eu
scratch=$(mktemp -d)
# openbox reads and writes under the home: never the real one.
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/.config" XDG_CACHE_HOME="$scratch/.cache" \
       XDG_DATA_HOME="$scratch/.local/share"
# The X server picks a free display number itself (-displayfd) and writes
# it once it accepts clients: runs started at the same moment never pick
# the same one (as choosing a number by its lock file can). Local clients
# only. -noreset: the server does not reset when its last client leaves (a
# client connecting during a reset is refused).
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb=$!
wm=
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
i=0
until [ -s "$scratch/display" ]; do
  if ! kill -0 "$xvfb" 2>/dev/null || [ $i -ge 600 ]; then
    echo "no X display: $(cat "$scratch/xvfb.log")" >&2
    exit 1
  fi
  i=$((i + 1))
  sleep 0.1
done
DISPLAY=":$(head -n1 "$scratch/display")"
export DISPLAY
unset XAUTHORITY
openbox --sm-disable >"$HOME/openbox.log" 2>&1 &
wm=$!
rc=0
"$@" || rc=$?
exit $rc

#!/bin/sh
# Runs a test program on an X display of its own, managed by openbox (a
# plain virtual display has no window manager). Usage: with_openbox.sh PROGRAM [ARGS]
set -eu
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# openbox reads and writes under the home: never the real one.
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/.config" XDG_CACHE_HOME="$scratch/.cache" \
       XDG_DATA_HOME="$scratch/.local/share"
xvfb-run -a -s '-screen 0 1280x1024x24' sh -c '
  openbox --sm-disable >"$HOME/openbox.log" 2>&1 &
  wm=$!
  rc=0
  "$@" || rc=$?
  kill "$wm" 2>/dev/null || true
  wait "$wm" 2>/dev/null || true
  exit $rc
' with_openbox "$@"

#!/usr/bin/env bash
# Installs the Debian packages that scripts/packages/*.<kind>.txt name and
# that are not installed yet. Usage: install-deps.sh build|test|fuzz
# (test and fuzz include build).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
kinds=(build)
case "${1:-build}" in
  test) kinds=(build test) ;;
  fuzz) kinds=(build fuzz) ;;
esac

wanted=()
for kind in "${kinds[@]}"; do
  for list in "$here"/packages/*."$kind".txt; do
    [ -e "$list" ] || continue
    while read -r pkg _; do
      case "$pkg" in ''|'#'*) continue ;; esac
      wanted+=("$pkg")
    done < "$list"
  done
done

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"

#!/bin/sh
# Builds a fuzz target of the settings parsers with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) and runs it on its corpus.
# Needs clang and libclang-rt-14-dev.
#   run_fuzz.sh profile|placement WORKDIR SECONDS [more libFuzzer options]
# New corpus entries go to WORKDIR/corpus, crashes to WORKDIR/artifacts;
# copy a crash into tests/app/fuzz/<target>/crashers/ to keep it as a test.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
target=$1; work=$2; secs=$3; shift 3
case $target in
  profile) sources="$root/app/profile_text.cpp $root/cp932/cp932.cpp" ;;
  placement) sources="$root/app/window_placement.cpp" ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac
"$root/scripts/install-deps.sh" fuzz
mkdir -p "$work/corpus" "$work/artifacts"
# shellcheck disable=SC2086
clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" $sources "$here/fuzz_$target.cpp" -o "$work/${target}_fuzz"
exec "$work/${target}_fuzz" -dict="$here/$target.dict" -max_len=4096 -timeout=10 \
  -rss_limit_mb=2048 -max_total_time="$secs" -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$@" "$work/corpus" "$here/$target/corpus"

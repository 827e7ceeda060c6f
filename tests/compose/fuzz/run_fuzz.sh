#!/bin/sh
# Builds bmp_fuzz with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it on the seed corpus.
#   run_fuzz.sh WORKDIR SECONDS [more libFuzzer options]
# New corpus entries go to WORKDIR/corpus, crashes to WORKDIR/artifacts;
# copy a crash into tests/compose/fuzz/crashers/ to keep it as a test.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
work=$1; secs=$2; shift 2
"$root/scripts/install-deps.sh" fuzz
mkdir -p "$work/corpus" "$work/artifacts"
clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$root/compose/bmp_reader.cpp" "$here/fuzz_bmp.cpp" -o "$work/bmp_fuzz"
exec "$work/bmp_fuzz" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
  -max_total_time="$secs" -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$@" "$work/corpus" "$here/corpus"

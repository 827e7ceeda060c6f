#!/bin/sh
# Builds jlode_fuzz with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it on the seed corpus with the
# dictionary. Needs clang and libclang-rt-14-dev.
#   run_fuzz.sh WORKDIR SECONDS [more libFuzzer options]
# New corpus entries go to WORKDIR/corpus, crashes to WORKDIR/artifacts;
# copy a crash into tests/jlode/crashers/ to keep it as a test.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
work=$1; secs=$2; shift 2
"$root/scripts/install-deps.sh" fuzz
mkdir -p "$work/corpus" "$work/artifacts"
clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root/jlode" -I"$root/tests/jlode" \
  "$root"/jlode/load_jpeg.cpp "$root"/jlode/markers.cpp "$root"/jlode/scan.cpp \
  "$root"/jlode/idct.cpp "$root"/jlode/colour.cpp \
  "$root/tests/jlode/reference_decoder.cpp" "$here/fuzz_jlode.cpp" \
  -o "$work/jlode_fuzz"
exec "$work/jlode_fuzz" -dict="$here/jlode.dict" -max_len=65536 -timeout=20 \
  -rss_limit_mb=4096 -max_total_time="$secs" -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$@" "$work/corpus" "$root/tests/jlode/corpus"

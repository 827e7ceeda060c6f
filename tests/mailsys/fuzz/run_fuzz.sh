#!/bin/sh
# Builds the vCard reader's fuzz target with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) and runs it on its corpus
# with its dictionary. Needs clang and libclang-rt-14-dev.
#   run_fuzz.sh WORKDIR SECONDS [more libFuzzer options]
# New corpus entries go to WORKDIR/corpus, crashes to WORKDIR/artifacts;
# copy a crash into tests/mailsys/fuzz/vcard/crashers/ to keep it as a test.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
work=$1; secs=$2; shift 2
"$root/scripts/install-deps.sh" fuzz
mkdir -p "$work/corpus" "$work/artifacts"
m="$root/mailsys"
# shellcheck disable=SC2046
clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" -I"$m" $(pkg-config --cflags glib-2.0) \
  "$m/vcard.cpp" "$m/address_book.cpp" "$m/charset.cpp" "$m/profile.cpp" "$m/fsutil.cpp" \
  "$root/cp932/cp932.cpp" "$here/fuzz_vcard.cpp" \
  $(pkg-config --libs glib-2.0) -o "$work/vcard_fuzz"
exec "$work/vcard_fuzz" -dict="$here/vcard.dict" -max_len=8192 -timeout=10 \
  -rss_limit_mb=2048 -max_total_time="$secs" -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$@" "$work/corpus" "$here/vcard/corpus"

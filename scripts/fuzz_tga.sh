#!/usr/bin/env bash
# Fuzzes the TGA reader and the decoder's size guard with libFuzzer for a bounded time.
# Not part of the test suite. Usage: scripts/fuzz_tga.sh [seconds, default 60]
# Installs clang and libclang-rt-14-dev (Debian) when missing. Findings land in build-fuzz/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-fuzz"
seconds="${1:-60}"
for pkg in clang libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing="${missing:-} $pkg"
done
if [ -n "${missing:-}" ]; then
    if [ "$(id -u)" -eq 0 ]; then apt-get install -y -q --no-install-recommends $missing; else sudo apt-get install -y -q --no-install-recommends $missing; fi
fi
mkdir -p "$out/corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I "$root/engine/display" \
    "$root/engine/display/KGraphicPixels.cpp" "$root/tests/fuzz/tga_fuzz.cpp" \
    -o "$out/tga_fuzz"
# Seeds: a small 24-bit and 32-bit picture, one with the "pihs" prefix.
printf '\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\30\0%s' 'aaabbbcccddd' >"$out/corpus/seed24.tga"
printf '\0\0\2\0\0\0\0\0\0\0\0\0\1\0\2\0\40\0%s' 'aaaabbbb' >"$out/corpus/seed32.tga"
printf 'pihs\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\30\0%s' 'abc' >"$out/corpus/seedpihs.tga"
cd "$out"
./tga_fuzz -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 corpus

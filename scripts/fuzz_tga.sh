#!/usr/bin/env bash
# Fuzzes the TGA reader and the decoder's size guard (target tga), the game record
# reader and replay (target record), or the seed ticket's parser and the score server's
# check of a ticket (target ticket), with libFuzzer for a bounded time.
# Not part of the test suite. Usage: scripts/fuzz_tga.sh [seconds, default 60] [tga|record|ticket]
# Installs clang and libclang-rt-14-dev (Debian) when missing. Findings land in build-fuzz/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-fuzz"
seconds="${1:-60}"
target="${2:-tga}"
for pkg in clang libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing="${missing:-} $pkg"
done
if [ -n "${missing:-}" ]; then
    if [ "$(id -u)" -eq 0 ]; then apt-get install -y -q --no-install-recommends $missing; else sudo apt-get install -y -q --no-install-recommends $missing; fi
fi
if [ "$target" = record ]; then
    mkdir -p "$out/record_corpus"
    clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I "$root/game/rules" \
        "$root"/game/rules/*.cpp "$root/tests/fuzz/record_fuzz.cpp" -o "$out/record_fuzz"
    # Seed: a header and a few inputs of a relax game: a press on cell 5, Escape and its decision.
    printf 'BRXR\2\0\2\0\3\2\7\140\1\0\0\0\0\0\0\0\0\1\3\1\1\1\5\2\3\0\3\6\1\3\10\1\4\0' \
        >"$out/record_corpus/seed.rec"
    cd "$out"
    exec ./record_fuzz -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 record_corpus
fi
if [ "$target" = ticket ]; then
    mkdir -p "$out/ticket_corpus"
    clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I "$root/game/rules" \
        -I "$root/server" "$root/game/rules/protocol.cpp" "$root/server/tickets.cpp" "$root/server/requests.cpp" \
        "$root/tests/fuzz/ticket_fuzz.cpp" -lnettle -o "$out/ticket_fuzz"
    printf 'brolix0dif1.4242.1800000000.%064d' 0 >"$out/ticket_corpus/seed.ticket"
    cd "$out"
    exec ./ticket_fuzz -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 ticket_corpus
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

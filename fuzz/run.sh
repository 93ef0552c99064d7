#!/bin/sh
# Runs every fuzz target of a fuzz build: first its saved regression inputs
# (fuzz/regressions/<target>/, each a crash found once and fixed), then a bounded
# fuzzing run over its seeds. Stops at the first crash, non-zero.
#   sh fuzz/run.sh <fuzz build folder> [seconds per target]
set -eu
BUILD=$1
SECONDS_EACH=${2:-5}
SRC=$(cd "$(dirname "$0")" && pwd)
BIN="$BUILD/fuzz"
WORK="$BUILD/fuzz-work"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

max_len() {
    case "$1" in
        fuzz_find|fuzz_urldecode|fuzz_gamepath) echo 4096 ;;
        fuzz_replayfile|fuzz_versionresource|fuzz_mapfile) echo 131072 ;;
        *) echo 65536 ;;
    esac
}

for target in fuzz_find fuzz_urldecode fuzz_htmltotext fuzz_melee_listing fuzz_dota_listing \
              fuzz_melee_detail fuzz_dota_detail fuzz_versionresource fuzz_announcement \
              fuzz_gamepath fuzz_replayfile fuzz_mapfile; do
    corpus="$WORK/corpus/$target"
    artifacts="$WORK/artifacts/$target"
    mkdir -p "$corpus" "$artifacts"
    regressions=$(find "$SRC/regressions/$target" -type f 2>/dev/null | sort || true)
    if [ -n "$regressions" ]; then
        # One run of each saved input; word splitting is wanted (names have no blanks).
        "$BIN/$target" -rss_limit_mb=2048 -timeout=10 $regressions >"$WORK/$target.regressions.log" 2>&1 || {
            cat "$WORK/$target.regressions.log"
            echo "fuzz: $target fails on a saved regression input" >&2
            exit 1
        }
    fi
    set -- "$corpus"
    # The real replays of the tests seed the replay reader: every version and layout.
    real=""
    if [ "$target" = fuzz_replayfile ]; then real="$SRC/../tests/data/real-replays"; fi
    for dir in "$BUILD/fuzz/seeds/$target" "$SRC/seeds/$target" "$SRC/regressions/$target" $real; do
        if [ -d "$dir" ]; then set -- "$@" "$dir"; fi
    done
    if ! "$BIN/$target" -max_total_time="$SECONDS_EACH" -max_len="$(max_len "$target")" \
            -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
            -artifact_prefix="$artifacts/" "$@" >"$WORK/$target.log" 2>&1; then
        tail -n 60 "$WORK/$target.log"
        echo "fuzz: $target crashed; the input is in $artifacts/" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$WORK/$target.log")
    echo "fuzz: $target ok (${runs:-?} runs in ${SECONDS_EACH}s)"
done

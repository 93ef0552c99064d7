#!/bin/sh
# The one test command: installs, builds and runs every test, then the tests that
# need no web engine under AddressSanitizer + UndefinedBehaviorSanitizer, then the
# fuzz targets for a bounded time. Stops at the first failure, non-zero.
# Build folders: build (Release), build-asan, build-fuzz.
#   sh scripts/test.sh
cd "$(dirname "$0")/.." || exit 1
ROOT=$(pwd)
FUZZ_SECONDS=${QUILLMARK_FUZZ_SECONDS:-5}   # per fuzz target

SUMMARY=""
START=$(date +%s)
PASSED=0
FAILED=0

# ctest_counted <ctest args...>: runs ctest and adds its counts to the totals.
ctest_counted() {
    out=$(mktemp)
    ctest "$@" 2>&1 | tee "$out"
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$out" | tail -n 1)
    rm -f "$out"
    [ -n "$line" ] || return 1
    failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
    PASSED=$((PASSED + total - failed))
    FAILED=$((FAILED + failed))
    [ "$failed" -eq 0 ]
}

summary() {
    echo
    echo "== scripts/test.sh summary =="
    printf '%s' "$SUMMARY"
    echo "total: $(( $(date +%s) - START ))s"
    echo "ctest: $PASSED passed, $FAILED failed"
}

# phase <name> <command...>: runs the command, notes its time, stops on failure.
phase() {
    name=$1
    shift
    echo
    echo "== $name =="
    t0=$(date +%s)
    "$@"
    rc=$?
    took=$(( $(date +%s) - t0 ))
    if [ "$rc" -ne 0 ]; then
        SUMMARY="$SUMMARY$name: FAILED (exit $rc) after ${took}s
"
        summary
        exit "$rc"
    fi
    SUMMARY="$SUMMARY$name: ok, ${took}s
"
}

release() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release &&
        cmake --build build -j2 &&
        export QUILLMARK_SCREENSHOTS="$ROOT/build/screenshots" &&
        ctest_counted --test-dir build --output-on-failure
}

# The sanitizers with gcc, -O1 and Qt's own assertions on; the tests that load the
# web engine are not built (they carry the label "webengine"). Freed memory is held
# back only up to 32 MB (use-after-free is still caught there), so that the tests'
# memory bounds measure the program rather than AddressSanitizer's quarantine.
sanitized() {
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
        -DQUILLMARK_SANITIZE=ON -DQUILLMARK_BUILD_BENCH=OFF &&
        cmake --build build-asan -j2 &&
        export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=32}" UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 &&
        ctest_counted --test-dir build-asan --output-on-failure -LE webengine
}

fuzzing() {
    cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DQUILLMARK_FUZZ=ON \
        -DQUILLMARK_BUILD_TESTS=OFF -DQUILLMARK_BUILD_BENCH=OFF &&
        cmake --build build-fuzz -j2 --target fuzzers &&
        sh fuzz/run.sh "$ROOT/build-fuzz" "$FUZZ_SECONDS"
}

phase "install (scripts/setup.sh)" sh scripts/setup.sh
phase "Release build and ctest" release
phase "ASan+UBSan build and ctest -LE webengine" sanitized
phase "fuzzing (${FUZZ_SECONDS}s per target)" fuzzing
summary

#!/bin/sh
# Refreshes the pictures in docs/: builds the tests that take them (in "build", or
# the folder named by QUILLMARK_BUILD_DIR), runs them on the offscreen platform
# against the bundled demo site and copies the chosen pictures into docs/.
set -e
cd "$(dirname "$0")/.."
build="${QUILLMARK_BUILD_DIR:-build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" -j2 --target test_endtoend test_dota_template test_dialogs test_local_window

shots="$(mktemp -d)"
trap 'rm -rf "$shots"' EXIT
# As on a Chinese player's desktop: the file dialog's sizes, types and dates follow
# the system's language.
LANG=zh_CN.UTF-8 LANGUAGE=zh_CN QUILLMARK_SCREENSHOTS="$shots" ctest --test-dir "$build" -R '^(test_endtoend|test_dota_template|test_dialogs|test_local_window)$' --output-on-failure

mkdir -p docs
# picture taken by a test -> picture in docs/
for pair in e2e-1-listing.png:listing.png e2e-3-detail.png:melee-detail.png e2e-4-progress.png:download.png \
            e2e-6-dota.png:dota-detail.png dota-banpick.png:dota-banpick.png \
            dialog-game-path.png:game-path-dialog.png \
            local-analysis.png:local-analysis.png local-minimap.png:local-minimap.png; do
    from="${pair%%:*}"
    to="${pair#*:}"
    if [ ! -f "$shots/$from" ]; then
        echo "missing screenshot: $from" >&2
        exit 1
    fi
    cp "$shots/$from" "docs/$to"
    echo "docs/$to"
done

#!/bin/sh
# Installs a built tree into a fresh temporary prefix and checks what a desktop
# needs to find there: both programs, the demo game folder, the desktop entry with
# its icon in every size, and the metainfo that launches that entry.
# Usage: check-install.sh <cmake> <build dir> <application id>
set -u
cmake=$1 build=$2 id=$3
prefix=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-install.XXXXXX") || exit 1
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install" >&2; exit 1; }

for f in bin/quillmark bin/quillmark-demo-site share/quillmark/demo-game/War3.exe; do
    [ -f "$prefix/$f" ] && [ -x "$prefix/$f" ] || fail "$f is missing or not executable"
done
[ -s "$prefix/share/quillmark/demo-game/Game.dll" ] || fail "share/quillmark/demo-game/Game.dll is missing"
# Only what the build made goes out: no launch record of a test run.
[ ! -e "$prefix/share/quillmark/demo-game/last-launch.txt" ] || fail "the demo game folder holds last-launch.txt"

# The licence travels with the program.
grep -q "GNU GENERAL PUBLIC LICENSE" "$prefix/share/doc/quillmark/LICENSE" 2>/dev/null \
    || fail "share/doc/quillmark/LICENSE is missing"

desktop="$prefix/share/applications/$id.desktop"
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
[ -f "$desktop" ] || fail "share/applications/$id.desktop is missing"
[ -f "$metainfo" ] || fail "share/metainfo/$id.metainfo.xml is missing"
if [ -f "$desktop" ]; then
    for line in "Exec=quillmark" "Icon=$id" "Type=Application" "Terminal=false" "Categories=Game;"; do
        grep -qx "$line" "$desktop" || fail "the desktop entry lacks the line $line"
    done
fi
if [ -f "$metainfo" ]; then
    grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo does not carry the id $id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
        || fail "the metainfo does not launch $id.desktop"
fi

# Each icon must be a PNG whose header says the size of its folder.
for size in 16 32 48 64 128 256; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
    if [ ! -f "$png" ]; then fail "icon ${size}x${size} is missing"; continue; fi
    head=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
    expect=$(printf '89504e470d0a1a0a0000000d49484452%08x%08x' "$size" "$size")
    [ "$head" = "$expect" ] || fail "icon ${size}x${size} is not a ${size}x${size} PNG"
done

[ "$failures" -eq 0 ] || exit 1
echo "installed tree complete"

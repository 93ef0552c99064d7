#!/bin/sh
# Stand-in for the game executable of the demo game folder. It records the
# arguments it was started with, one a line, in last-launch.txt beside itself
# (written whole, then moved into place, so a reader never sees half of it)
# and prints them.
dir=$(dirname "$0")
tmp="$dir/.last-launch.$$"
: > "$tmp"
for arg in "$@"; do
    printf '%s\n' "$arg" >> "$tmp"
done
mv -f "$tmp" "$dir/last-launch.txt"
cat "$dir/last-launch.txt"

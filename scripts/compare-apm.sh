#!/bin/sh
# Every player's APM of the real test replays, by this program's rule and by the
# npm package w3gjs, side by side: a comparison, not a test (the two count
# different things; see details/replaygame.h for ours). Needs a built bench_all
# and node with w3gjs (QUILLMARK_W3GJS_DIR: a folder where `npm install w3gjs` ran;
# install it outside the repository).
#   sh scripts/compare-apm.sh [build folder]
set -eu
cd "$(dirname "$0")/.."
BUILD=${1:-build}
FILES=$(find tests/data/real-replays -name '*.w3g' -o -name '*.nwg' | sort)
OURS=$(mktemp)
THEIRS=$(mktemp)
trap 'rm -f "$OURS" "$THEIRS"' EXIT
# shellcheck disable=SC2086
"$BUILD/bench/bench_all" --replay-apm $FILES | sort >"$OURS"
# shellcheck disable=SC2086
node scripts/w3gjs-bench.js apm $FILES | sort >"$THEIRS"
printf 'file\tplayer\tours\tw3gjs\tours/w3gjs\n'
# w3gjs keeps the classic records' names, which may be cut short ("Серник#26"):
# a name that begins ours matches too.
awk -F '\t' 'NR == FNR { w[$1 "\t" $2] = $3; next }
             { k = $1 "\t" $2; t = "-";
               if (k in w) t = w[k];
               else for (o in w) { split(o, f, "\t"); if (f[1] == $1 && index($2, f[2]) == 1) t = w[o] }
               r = (t != "-" && t > 0) ? sprintf("%.2f", $3 / t) : "-";
               printf "%s\t%s\t%s\t%s\t%s\n", $1, $2, $3, t, r }' "$THEIRS" "$OURS"

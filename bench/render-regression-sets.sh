#!/bin/bash
# Renders every set the analysis is compared on into OUTROOT (default
# /work/corpora), three renders at a time, each a corpus folder that
# AnalyseSongs and the kit's score_dir.py read:
#
#   bench/render-regression-sets.sh [OUTROOT]
#
#   devset           the kit's development set (real, composed, hard; not
#                    its stretch tones), linked from DEVSET (/tmp/qm-devset,
#                    made by ../shared/devkit/make-devset.sh)
#   all-s0..s6       bench/meter-songs.py --set all, seeds 0, 1, 2, 5, 6
#   lilt-s0..s5      bench/meter-songs.py --set lilt, seeds 0-5
#   kit-<kind>-s1..5 bench/kit-songs.py (waltz, ballad, four, blues, jig)
#   kit-sixfour-s1   bench/kit-songs.py --kinds sixfour (8 songs in 6/4)
#
# A folder that already has its index.json is left as it is.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:-/work/corpora}
DEVSET=${DEVSET:-/tmp/qm-devset}
PY=/usr/bin/python3
mkdir -p "$OUT"

# The development set without its tones: AnalyseSongs takes every file
# under a folder and does not follow linked folders, so each file is linked.
if [ ! -e "$OUT/devset/index.json" ]; then
  for sub in real composed hard; do
    mkdir -p "$OUT/devset/$sub"
    ln -sf "$DEVSET/$sub"/* "$OUT/devset/$sub/"
  done
  $PY - "$DEVSET/index.json" "$OUT/devset/index.json" <<'PYEOF'
import json, sys
index = json.load(open(sys.argv[1]))
index["items"] = [i for i in index["items"] if i["set"] in ("real", "composed", "hard")]
json.dump(index, open(sys.argv[2], "w"), indent=1)
PYEOF
fi

jobs=()
for seed in 0 1 2 5 6; do
  jobs+=("$OUT/all-s$seed|$PY $ROOT/bench/meter-songs.py $OUT/all-s$seed --set all --seed $seed")
done
for seed in 0 1 2 3 4 5; do
  jobs+=("$OUT/lilt-s$seed|$PY $ROOT/bench/meter-songs.py $OUT/lilt-s$seed --set lilt --seed $seed")
done
for seed in 1 2 3 4 5; do
  # One process a seed, one song at a time within it.
  jobs+=("$OUT/kit-jig-s$seed|$PY $ROOT/bench/kit-songs.py $OUT --seeds $seed --jobs 1")
done
jobs+=("$OUT/kit-sixfour-s1|$PY $ROOT/bench/kit-songs.py $OUT --kinds sixfour --seeds 1 --jobs 1")
for job in "${jobs[@]}"; do
  [ -e "${job%%|*}/index.json" ] || echo "${job#*|}"
done | xargs -P 3 -I{} bash -c '{} > /dev/null'
echo "$(ls -d "$OUT"/*/index.json | wc -l) corpora in $OUT"

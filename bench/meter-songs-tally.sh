#!/bin/bash
# How many songs of a meter keep their beats at their tempo, through the
# program's own import, in both of its modes, beside another build.
#
#   bench/meter-songs-tally.sh CORPUS NEW_ANALYSESONGS [OLD_ANALYSESONGS]
#
# CORPUS is a folder of bench/meter-songs.py (or any test-song kit corpus:
# index.json, each song's .wav and ground-truth .json). Each build runs
# AnalyseSongs on it with the default import and with --free-meter, the
# kit's score_dir.py scores both, and bench/meter-songs-tally.py prints one
# line per build and mode and every song the new build loses. METER (3/4 by
# default), LO and HI (80 and 180 BPM) choose the songs counted; WORK
# (/tmp/qm-meter-tally) holds the estimates.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
KIT=$(cd "$ROOT/../shared/devkit" && pwd)
CORPUS=$(cd "$1" && pwd)
NEW=$2
OLD=${3:-}
WORK=${WORK:-/tmp/qm-meter-tally}
PY=/usr/bin/python3
SETS=$($PY -c "import json,sys; print(','.join(sorted({i['set'] for i in json.load(open(sys.argv[1]))['items']})))" \
  "$CORPUS/index.json")

analyse() {  # analyse BUILD NAME: both modes side by side, then scored
  for mode in default free; do
    out="$WORK/$2/$mode"
    rm -rf "$out"
    mkdir -p "$out"
    extra=()
    [ "$mode" = free ] && extra=(--free-meter)
    "$1" "$CORPUS" "$out" "${extra[@]}" > "$out/run.log" 2>&1 &
  done
  wait
  for mode in default free; do
    out="$WORK/$2/$mode"
    rm -rf "$out/import"
    $PY "$KIT/eval/score_dir.py" "$CORPUS" "$out" --sets "$SETS" --json "$out/scores.json" > /dev/null
  done
}

analyse "$NEW" new
args=(--meter "${METER:-3/4}" --lo "${LO:-80}" --hi "${HI:-180}" "$CORPUS" "$WORK/new")
if [ -n "$OLD" ]; then
  analyse "$OLD" old
  args+=(--against "$WORK/old")
fi
$PY "$ROOT/bench/meter-songs-tally.py" "${args[@]}"

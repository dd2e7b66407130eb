#!/bin/bash
# Onset F of the spectral stretch on the generated songs of
# bench/make-stretch-songs.py, beside Debian's rubberband, at ratios 1.1,
# 1.25 and 1.5, scored by the test-song kit's stretch.py.
#
#   bench/stretch-songs.sh SONGDIR [TimeStretchBench ...]
#
# Each TimeStretchBench given (default build/bench-release's) is one column,
# named by its build folder; rubberband's default engine is the last. Three
# stretches run side by side. Prints one markdown table.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
KIT=$(cd "$ROOT/../shared/devkit" && pwd)
SONGS=$1; shift
[ $# -gt 0 ] || set -- "$ROOT/build/bench-release/bin/TimeStretchBench"
WORK=${WORK:-/tmp/qm-stretch-songs}
RATIOS=${RATIOS:-1.1 1.25 1.5}
PY=/usr/bin/python3
mkdir -p "$WORK"
JOBS="$WORK/jobs.txt"
: > "$JOBS"
col=0
for bench in "$@" rubberband; do
  col=$((col + 1))
  for input in "$SONGS"/*.wav; do
    for ratio in $RATIOS; do
      echo "$col $bench $input $ratio" >> "$JOBS"
    done
  done
done
# One job: stretch, score, print "column song ratio F".
one() {
  col=$1 bench=$2 input=$3 ratio=$4
  name=$(basename "$input" .wav)
  out="$WORK/$name.$ratio.$col.wav"
  if [ "$bench" = rubberband ]; then rubberband -q -t "$ratio" "$input" "$out" >/dev/null 2>&1
  else "$bench" "$input" "$out" "$ratio" >/dev/null 2>&1; fi
  f=$(cd "$KIT/eval" && $PY stretch.py "$input" "$out" "$ratio" --kind music --json |
      $PY -c 'import json,sys; print("%.3f" % json.load(sys.stdin)["onset_F"])')
  rm -f "$out"
  echo "$col $name $ratio $f"
}
export KIT PY WORK
export -f one
RESULTS="$WORK/results.txt"
xargs -P "${PARALLEL:-3}" -L 1 bash -c 'one "$@"' _ < "$JOBS" > "$RESULTS"
NAMES=""
for bench in "$@"; do NAMES="$NAMES $(basename "$(dirname "$(dirname "$bench")")")"; done
$PY - "$RESULTS" $NAMES rubberband <<'PYEOF'
import sys
rows = {}
for line in open(sys.argv[1]):
    col, name, ratio, f = line.split()
    rows.setdefault(name, {})[(int(col), ratio)] = f
names = sys.argv[2:]
ratios = sorted({r for v in rows.values() for (_, r) in v}, key=float)
head = ["song"] + ["%s %s" % (n, r) for r in ratios for n in names]
print("| " + " | ".join(head) + " |")
print("|" + "---|" * len(head))
for song in sorted(rows):
    cells = [rows[song].get((c + 1, r), "-") for r in ratios for c in range(len(names))]
    print("| " + " | ".join([song] + cells) + " |")
PYEOF

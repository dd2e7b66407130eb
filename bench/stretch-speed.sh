#!/bin/sh
# Two builds of the spectral stretch side by side, for a change meant to
# keep the output and gain speed: every input is stretched by both
# TimeStretchBench programs at every ratio and the outputs are compared
# byte by byte; then the wall time of the whole command (reading and
# writing the files included) is taken, best of RUNS, pinned to one core,
# the two programs taking turns so that the host's drift falls on both
# alike.
#
#   bench/stretch-speed.sh BEFORE_BENCH AFTER_BENCH [WAV_DIR...]
#
# Inputs: the test-song kit's tones in DEVSET (default /tmp/qm-devset,
# rendered by the kit when missing) and the WAV files of each WAV_DIR
# (e.g. cuts made by bench/make-stretch-songs.py and
# bench/make-stretch-kit-cuts.py). Settings from the environment:
# RATIOS compared (default "0.8 1.1 1.25 1.5"), CORE to pin to (default
# 2), RUNS per program (default 21), TIMED the input:ratio pairs timed
# (default the kit's drum loop and music at 1.25, the drum loop at 1.5;
# empty: none),
# WORK for the outputs (default /tmp/qm-stretch-speed). Prints markdown;
# exits 1 when any output differs.
set -eu
[ $# -ge 2 ] || { sed -n 2,21p "$0"; exit 2; }
BEFORE=$1
AFTER=$2
shift 2
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEVSET=${DEVSET:-/tmp/qm-devset}
RATIOS=${RATIOS:-0.8 1.1 1.25 1.5}
CORE=${CORE:-2}
RUNS=${RUNS:-21}
TIMED=${TIMED-t04_drumloop:1.25 t05_music30:1.25 t04_drumloop:1.5}
WORK=${WORK:-/tmp/qm-stretch-speed}

[ -d "$DEVSET/tones" ] || "$ROOT/../shared/devkit/make-devset.sh" "$DEVSET"
mkdir -p "$WORK/before" "$WORK/after"

compared=0
differing=0
inputs=$(ls "$DEVSET"/tones/*.wav)
for dir in "$@"; do inputs="$inputs $(ls "$dir"/*.wav)"; done
echo "| output | same bits |"
echo "|---|---|"
for input in $inputs; do
  name=$(basename "$input" .wav)
  for ratio in $RATIOS; do
    "$BEFORE" "$input" "$WORK/before/$name.$ratio.wav" "$ratio" >/dev/null 2>&1
    "$AFTER" "$input" "$WORK/after/$name.$ratio.wav" "$ratio" >/dev/null 2>&1
    compared=$((compared + 1))
    if ! cmp -s "$WORK/before/$name.$ratio.wav" "$WORK/after/$name.$ratio.wav"; then
      differing=$((differing + 1))
      echo "| $name at $ratio | no |"
    fi
  done
done
echo "| all $compared | $((compared - differing)) of $compared |"
echo

now() { date +%s.%N; }
# The smaller of two numbers, and a - b, in awk (no bc needed).
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
less() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f", a - b }'; }
echo "| input | ratio | before (s) | after (s) | change |"
echo "|---|---|---|---|---|"
for pair in $TIMED; do
  name=${pair%%:*}
  ratio=${pair#*:}
  input="$DEVSET/tones/$name.wav"
  best_before=1e9
  best_after=1e9
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    for which in before after; do
      bench=$BEFORE
      [ "$which" = after ] && bench=$AFTER
      start=$(now)
      taskset -c "$CORE" "$bench" "$input" "$WORK/timed.wav" "$ratio" >/dev/null 2>&1
      took=$(less "$(now)" "$start")
      if [ "$which" = before ]; then
        best_before=$(smaller "$took" "$best_before")
      else
        best_after=$(smaller "$took" "$best_after")
      fi
    done
    i=$((i + 1))
  done
  awk -v n="$name" -v r="$ratio" -v b="$best_before" -v a="$best_after" \
    'BEGIN { printf "| %s | %s | %.3f | %.3f | %+.1f %% |\n", n, r, b, a, (a / b - 1) * 100 }'
done
[ "$differing" -eq 0 ]

#!/bin/sh
# Quality and speed of the spectral stretch beside Debian's rubberband
# command (its default engine and --fine), on the stretch inputs of the
# test-song kit at ratios 0.8 and 1.25, scored by the kit's stretch.py.
#
#   bench/stretch-compare.sh [DEVSET_DIR]
#
# Renders the kit first when DEVSET_DIR (default /tmp/qm-devset) has no
# tones/, installs rubberband-cli when it is missing (a benchmark-only
# dependency), builds bin/TimeStretchBench in build/bench-release and
# prints one markdown table. Times are wall-clock seconds of the whole
# command (reading and writing the files included) against the input's
# duration, and the same for the command's processor time (user and
# system), which a busy machine disturbs less.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
KIT=$(cd "$ROOT/../shared/devkit" && pwd)
DEVSET=${1:-/tmp/qm-devset}
BUILD=${BUILD:-$ROOT/build/bench-release}
WORK=${WORK:-/tmp/qm-stretch-bench}
PY=/usr/bin/python3

if ! command -v rubberband >/dev/null 2>&1; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get install -y rubberband-cli >/dev/null
fi
[ -d "$DEVSET/tones" ] || "$KIT/make-devset.sh" "$DEVSET"
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$BUILD" --target TimeStretchBench -j4 >/dev/null
BENCH="$BUILD/bin/TimeStretchBench"
mkdir -p "$WORK"

now() { date +%s.%N; }
RESULTS="$WORK/results.txt"
: > "$RESULTS"
for input in "$DEVSET"/tones/*.wav; do
  name=$(basename "$input" .wav)
  for ratio in 0.8 1.25; do
    for engine in quillmere rubberband rubberband-fine; do
      out="$WORK/$name.$ratio.$engine.wav"
      start=$(now)
      case $engine in
        quillmere) set -- "$BENCH" "$input" "$out" "$ratio" ;;
        rubberband) set -- rubberband -q -t "$ratio" "$input" "$out" ;;
        rubberband-fine) set -- rubberband -q --fine -t "$ratio" "$input" "$out" ;;
      esac
      /usr/bin/time -o "$WORK/cpu" -f "%U %S" "$@" >/dev/null 2>&1
      end=$(now)
      cpu=$(awk '{print $1 + $2}' "$WORK/cpu")
      score=$(cd "$KIT/eval" && $PY stretch.py "$input" "$out" "$ratio" --json | tr -d '\n ')
      echo "$input $ratio $engine $start $end $cpu $score" >> "$RESULTS"
    done
  done
done

$PY - "$RESULTS" <<'PYEOF'
import json, sys, wave
rows = []
for line in open(sys.argv[1]):
    path, ratio, engine, start, end, cpu, score = line.split(" ", 6)
    with wave.open(path) as w:
        duration = w.getnframes() / w.getframerate()
    name = path.rsplit("/", 1)[-1][:-4]
    rows.append((name, float(ratio), engine, duration / (float(end) - float(start)),
                 duration / max(float(cpu), 1e-3), json.loads(score)))
def fmt(v, f="{:.2f}"):
    return "-" if v is None else f.format(v)
print("| input | ratio | engine | x realtime | x realtime (cpu) | len err | cents med | drift | noise dB (in) | kept | extra | onset F |")
print("|---|---|---|---|---|---|---|---|---|---|---|---|")
for name, ratio, engine, speed, cpuSpeed, s in rows:
    print("| {} | {} | {} | {} | {} | {} | {} | {} | {} | {} | {} | {} |".format(
        name, ratio, engine, fmt(speed, "{:.1f}"), fmt(cpuSpeed, "{:.1f}"), s.get("len_err"),
        fmt(s.get("cents_med"), "{:.3f}"), fmt(s.get("drift_cents"), "{:.3f}"),
        "-" if "noise_db" not in s else "{:.1f} ({:.1f})".format(s["noise_db"], s["noise_in_db"]),
        fmt(s.get("kept")), s.get("extra", "-"), fmt(s.get("onset_F"), "{:.3f}")))
PYEOF

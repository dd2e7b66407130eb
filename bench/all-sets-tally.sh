#!/bin/bash
# Every set we have, imported by two builds in both import modes, every
# song that either build gets right and the other does not named.
#
#   bench/all-sets-tally.sh [LABEL=]NEW_ANALYSESONGS [LABEL=]OLD_ANALYSESONGS [CORPUS ...]
#
# Each build's AnalyseSongs runs over each corpus (default: every folder of
# CORPORA, /work/corpora, that has an index.json) with the default import
# and with --free-meter, at most JOBS (3) processes at a time; the kit's
# score_dir.py scores each run. Runs are kept under
# CORPORA/runs/<label>/<corpus>/<mode>/ (estimates, run.log, scores.json)
# and used again while the build and the corpus are unchanged (stamp: the
# binary's checksum and one of the corpus's index and of its files' names,
# sizes and times, so a set rendered again runs again): a baseline runs
# once. A build without a label is labelled by its binary's checksum. The
# report (bench/all-sets-tally.py) goes to the standard output.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
KIT=$(cd "$ROOT/../shared/devkit" && pwd)
CORPORA=${CORPORA:-/work/corpora}
JOBS=${JOBS:-3}
PY=/usr/bin/python3
[ $# -ge 2 ] || { sed -n 2,16p "$0"; exit 2; }

labels=() ; builds=()
for arg in "$1" "$2"; do
  if [[ "$arg" == *=* ]]; then
    label=${arg%%=*}; bin=${arg#*=}
  else
    bin=$arg; label=bin-$(sha256sum "$bin" | cut -c1-12)
  fi
  [ -x "$bin" ] || { echo "all-sets-tally: $bin is not a program" >&2; exit 2; }
  labels+=("$label"); builds+=("$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")")
done
shift 2
corpora=()
if [ $# -gt 0 ]; then
  for c in "$@"; do corpora+=("$(cd "$c" && pwd)"); done
else
  for index in "$CORPORA"/*/index.json; do corpora+=("$(dirname "$index")"); done
fi

# One line per run still to do: label, binary, corpus, mode.
todo=$(mktemp)
trap 'rm -f "$todo"' EXIT
fingerprint() {  # CORPUS: its index, and every file's name, size and time
  { cat "$1/index.json"; (cd "$1" && find -L . -type f -printf '%P %s %T@\n' | LC_ALL=C sort); } |
    sha256sum | cut -c1-64
}
sums=("$(sha256sum "${builds[0]}" | cut -c1-64)" "$(sha256sum "${builds[1]}" | cut -c1-64)")
for corpus in "${corpora[@]}"; do
  print=$(fingerprint "$corpus")
  for i in 0 1; do
    stamp="${sums[$i]} $print"
    for mode in default free; do
      out="$CORPORA/runs/${labels[$i]}/$(basename "$corpus")/$mode"
      if [ -f "$out/stamp" ] && [ "$(cat "$out/stamp")" = "$stamp" ] && [ -f "$out/scores.json" ]; then
        continue
      fi
      printf '%s\t%s\t%s\t%s\t%s\n' "$out" "${builds[$i]}" "$corpus" "$mode" "$stamp" >> "$todo"
    done
  done
done

run_one() {  # OUT BUILD CORPUS MODE STAMP: import, score, stamp
  local out=$1 build=$2 corpus=$3 mode=$4 stamp=$5 extra=() sets
  # Another tally may be making the same run (a baseline both ask for):
  # wait for it and take its result.
  mkdir -p "$(dirname "$out")"
  exec 9> "$out.lock"
  flock 9
  if [ -f "$out/stamp" ] && [ "$(cat "$out/stamp")" = "$stamp" ] && [ -f "$out/scores.json" ]; then
    return 0
  fi
  rm -rf "$out"
  mkdir -p "$out"
  [ "$mode" = free ] && extra=(--free-meter)
  # A refused file (the development set's mono, 48 kHz, 24-bit ones) makes
  # AnalyseSongs end non-zero; its run.log says which.
  "$build" "$corpus" "$out" "${extra[@]}" > "$out/run.log" 2>&1 || true
  rm -rf "$out/import"
  sets=$($PY -c "import json,sys; print(','.join(sorted({i['set'] for i in json.load(open(sys.argv[1]))['items']})))" \
    "$corpus/index.json")
  $PY "$KIT/eval/score_dir.py" "$corpus" "$out" --sets "$sets" --json "$out/scores.json" > /dev/null
  echo "$stamp" > "$out/stamp"
  echo "done $out" >&2
}
export -f run_one
export PY KIT
if [ -s "$todo" ]; then
  echo "$(wc -l < "$todo") runs to do, $JOBS at a time" >&2
  tr '\t' '\n' < "$todo" | tr '\n' '\0' | xargs -0 -n 5 -P "$JOBS" bash -c 'run_one "$@"' run_one
fi

$PY "$ROOT/bench/all-sets-tally.py" --new "${labels[0]}=$CORPORA/runs/${labels[0]}" \
  --old "${labels[1]}=$CORPORA/runs/${labels[1]}" "${corpora[@]}"

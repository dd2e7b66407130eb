#!/usr/bin/python3
"""Whole songs made with the test-song kit's composer for measuring the
song analysis: one corpus folder per kind and seed.

  kit-songs.py OUTROOT [--kinds waltz,ballad,four,blues,jig] [--seeds 1,2,3,4,5] [--jobs 3]

Writes OUTROOT/kit-<kind>-s<seed>/ with <kind>/NAME.wav, NAME.mid and
NAME.json (the kit's ground truth) and index.json listing them, so that
AnalyseSongs and the kit's score_dir.py read the folder as a corpus. The
kinds, and how many a seed makes:

  waltz   20  3/4 at 80-190 BPM (the kit's waltz arrangement)
  ballad  10  4/4 ballads at 56-92
  four    10  4/4 rock, pop and swing in turn at 90-200
  blues    5  12/8 blues (twelve-bar form) at 40-76 dotted BPM
  jig      5  6/8 jigs at 44-108 dotted BPM
  sixfour  8  6/4 at 60-140 BPM: the waltz arrangement with each bar two
              waltz bars long and one chord a bar (the composer has no
              six-beat patterns of its own; they are given it here from
              its three-beat ones). Not among the default kinds.

Over the default seeds 1-5 that is 100 waltzes, 50 ballads, 50 fast 4/4
songs, 25 blues and 25 jigs. A seed draws each song's tempo, key, mode,
form and the composer's own seed; the same seed always gives the same
songs. The composer and its rendering (fluidsynth, peak-normalised
16-bit WAV) are the kit's own (corpus/compose.py, corpus/make_corpus.py),
imported, not copied. Songs last 100 s or more (the composer doubles a
short form).
"""
import argparse
import json
import os
import random
import sys

KIT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared",
                                    "devkit", "corpus"))
sys.path.insert(0, KIT)
import compose  # noqa: E402
import make_corpus  # noqa: E402

# kind: (songs per seed, meter, styles in turn, lowest and highest BPM)
KINDS = {
    "waltz": (20, 3, ["waltz"], 80, 190),
    "ballad": (10, 4, ["ballad"], 56, 92),
    "four": (10, 4, ["rock", "pop", "swing"], 90, 200),
    "blues": (5, "12/8", ["blues"], 40, 76),
    "jig": (5, "6/8", ["jig"], 44, 108),
    "sixfour": (8, "6/4", ["waltz"], 60, 140),
}
DEFAULT_KINDS = ["waltz", "ballad", "four", "blues", "jig"]
KEYS = ["C", "Db", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"]
BLUES_FORM = [("intro", 4), ("verse", 12), ("solo", 12), ("verse", 12), ("ending", 4)]


def six_beat_bars():
    """Give the composer bars of six quarters, each two of its three-beat
    bars: the second half's kick a little softer, so the bar's first beat
    stays its strongest."""
    if 6 in compose.DRUMS:
        return
    def doubled(hits, soften):
        return list(hits) + [(at + 3, what, velocity - (soften if what == compose.KICK else 0))
                             for at, what, velocity in hits]
    compose.DRUMS[6] = {k: doubled(v, 20) for k, v in compose.DRUMS[3].items()}
    compose.COMP[6] = {k: (v if v == "arp" else [(b + s, ln) for s in (0, 3) for b, ln in v])
                       for k, v in compose.COMP[3].items()}
    compose.BASS[6] = {k: [(b + s,) + tuple(rest) for s in (0, 3) for b, *rest in v]
                       for k, v in compose.BASS[3].items()}
    compose.RHYTHMS[6] = [a + b for a in compose.RHYTHMS[3] for b in compose.RHYTHMS[3]][::3]
    compose.SOLO_RHYTHMS[6] = [a + b for a in compose.SOLO_RHYTHMS[3] for b in compose.SOLO_RHYTHMS[3]]


def plan(kind, seed):
    """(name, key, mode, meter, bpm, form, style, composer seed) rows."""
    count, meter, styles, lo, hi = KINDS[kind]
    rng = random.Random(f"{kind}-{seed}")
    step = (hi - lo) / count
    rows, taken = [], set()
    for i in range(count):
        # Tempi spread over the range, one a slice of it.
        bpm = int(round(lo + step * i + rng.uniform(0.0, step)))
        bpm = min(hi, max(lo, bpm))
        while bpm in taken and bpm < hi:
            bpm += 1
        taken.add(bpm)
        style = styles[i % len(styles)]
        key = rng.choice(KEYS)
        mode = "min" if rng.random() < 0.4 else "maj"
        form = BLUES_FORM if style == "blues" else rng.choice([compose.FORM_A, compose.FORM_B, compose.FORM_C])
        label = "sixfour" if kind == "sixfour" else style
        name = f"k{seed}{kind[0]}{i + 1:02d}_{label}_{key}{'m' if mode == 'min' else ''}_{bpm}"
        rows.append((name, key, mode, meter, bpm, form, style, 7000 + 100 * seed + i))
    return rows


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("out")
    ap.add_argument("--kinds", default=",".join(DEFAULT_KINDS))
    ap.add_argument("--seeds", default="1,2,3,4,5")
    ap.add_argument("--jobs", type=int, default=3)
    a = ap.parse_args()
    for kind in a.kinds.split(","):
        if kind not in KINDS:
            sys.exit(f"unknown kind {kind}: one of {', '.join(KINDS)}")
        if kind == "sixfour":
            six_beat_bars()
        for seed in (int(s) for s in a.seeds.split(",")):
            folder = os.path.join(a.out, f"kit-{kind}-s{seed}")
            songs = compose._songs(plan(kind, seed))
            truths = make_corpus.make_songs(os.path.join(folder, kind), songs, kind, a.jobs)
            items = [{"set": kind, "name": g["name"], "audio": f"{kind}/{g['audio']}",
                      "gt": f"{kind}/{g['name']}.json", "duration": g["duration"],
                      "description": g.get("description", "")} for g in truths]
            with open(os.path.join(folder, "index.json"), "w", encoding="utf-8") as f:
                json.dump({"items": items}, f, indent=1)
            print(f"{folder}: {len(items)} songs")


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Songs of one meter that keep their beats at their tempo, from the
test-song kit's scores of an analysis run in both import modes.

  meter-songs-tally.py CORPUS RUN [--against OLDRUN] [--meter 3/4] [--lo 80] [--hi 180]

RUN holds default/scores.json and free/scores.json as score_dir.py writes
them (bench/meter-songs-tally.sh makes them). A song keeps its beats when
its beat F is 0.95 or more and its written tempo is within 4 % of the
truth. Prints the count per mode and, with --against, the old run's count
and every song the new run loses or gains.
"""
import argparse
import json
import os


def keeps_its_beats(entry):
    beats = entry.get("beats", {})
    truth = beats.get("tempo_ref") or 0.0
    tempo = beats.get("tempo_est") or 0.0
    return beats.get("F", 0.0) >= 0.95 and truth > 0.0 and abs(tempo - truth) <= 0.04 * truth


def ground_truths(corpus):
    """Each song of the corpus by name, with its ground truth."""
    with open(os.path.join(corpus, "index.json")) as f:
        items = json.load(f)["items"]
    out = {}
    for item in items:
        with open(os.path.join(corpus, item["gt"])) as f:
            out[item["name"]] = json.load(f)
    return out


def songs_of_meter(corpus, meter, lo, hi):
    return {name: truth["tempo_bpm"] for name, truth in ground_truths(corpus).items()
            if truth.get("meter") == meter and lo <= truth.get("tempo_bpm", 0.0) <= hi}


def scores(run, mode):
    with open(os.path.join(run, mode, "scores.json")) as f:
        return json.load(f)


def summary(entry):
    beats = entry.get("beats", {})
    return (f"beat F {beats.get('F', 0.0):.3f}, tempo {beats.get('tempo_est')}, "
            f"{beats.get('meter_est')} a bar, downbeat F {beats.get('DB_F', 0.0):.3f}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("corpus")
    parser.add_argument("run")
    parser.add_argument("--against")
    parser.add_argument("--meter", default="3/4")
    parser.add_argument("--lo", type=float, default=80.0)
    parser.add_argument("--hi", type=float, default=180.0)
    args = parser.parse_args()
    songs = songs_of_meter(args.corpus, args.meter, args.lo, args.hi)
    print(f"{len(songs)} songs in {args.meter} at {args.lo:g}-{args.hi:g} BPM")
    for mode in ("default", "free"):
        new = scores(args.run, mode)
        kept = sorted(n for n in songs if n in new and keeps_its_beats(new[n]))
        line = f"{mode:8s} {len(kept)} keep their beats"
        if args.against:
            old = scores(args.against, mode)
            before = {n for n in songs if n in old and keeps_its_beats(old[n])}
            line += f" ({len(before)} before)"
        print(line)
        for name in sorted(songs):
            if name not in new:
                print(f"  {name}: not analysed")
            elif args.against and name in old and keeps_its_beats(old[name]) != keeps_its_beats(new[name]):
                change = "LOST" if keeps_its_beats(old[name]) else "gained"
                print(f"  {change} {name} ({songs[name]:g} BPM): {summary(old[name])} -> {summary(new[name])}")
            elif not keeps_its_beats(new[name]):
                print(f"  misses {name} ({songs[name]:g} BPM): {summary(new[name])}")


if __name__ == "__main__":
    main()

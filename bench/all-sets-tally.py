#!/usr/bin/python3
"""Two builds' import runs over many corpora, compared song by song.

  all-sets-tally.py --new LABEL=RUNS --old LABEL=RUNS CORPUS ...

RUNS/<corpus>/<mode>/scores.json are the kit's scores of a build's run in
each import mode (default, free), as bench/all-sets-tally.sh keeps them.
A song is right when it keeps its beats at its tempo (beat F 0.95 or more,
written tempo within 4 % of the truth, as bench/meter-songs-tally.py
counts). Prints, per corpus and mode, the songs right in each build and the
waltzes among them (3/4 at 80-180 BPM; with --free-meter they must also
have three beats a bar), every song right in one build and not the other
with both builds' beat F, tempo, beats a bar and downbeat F (and every
song whose beats, F 0.95 or more, one build keeps at a tempo not within
4 % and the other loses, as with the free meter's compound songs, whose
tempo it writes at half their dotted beat), and for the
development set (a corpus named devset) every song whose beat F or tempo is
worse in the new build, right or not. Totals close the report.
"""
import argparse
import importlib.util
import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("meter_songs_tally", os.path.join(HERE, "meter-songs-tally.py"))
meter_songs_tally = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(meter_songs_tally)
keeps_its_beats = meter_songs_tally.keeps_its_beats

MODES = ("default", "free")
WALTZ_LO, WALTZ_HI = 80.0, 180.0


def truths(corpus):
    return {name: (gt.get("meter", "?"), float(gt.get("tempo_bpm") or 0.0), gt.get("beats_per_bar"))
            for name, gt in meter_songs_tally.ground_truths(corpus).items()}


def scores(runs, corpus, mode):
    path = os.path.join(runs, os.path.basename(corpus), mode, "scores.json")
    with open(path) as f:
        return {k: v for k, v in json.load(f).items() if not k.startswith("mean:")}


def is_waltz(truth):
    meter, bpm, _ = truth
    return meter == "3/4" and WALTZ_LO <= bpm <= WALTZ_HI


def beats_kept(entry):
    return entry.get("beats", {}).get("F", 0.0) >= 0.95


def counts_as_waltz(entry, mode):
    """A waltz right in the free meter also has three beats a bar."""
    return keeps_its_beats(entry) and (mode == "default" or entry.get("beats", {}).get("meter_est") == 3)


def summary(entry):
    if entry is None:
        return "no estimate"
    b = entry.get("beats", {})
    tempo = b.get("tempo_est")
    return (f"F {b.get('F', 0.0):.3f}, {tempo:g} BPM" if tempo is not None else f"F {b.get('F', 0.0):.3f}, - BPM") + \
        f", {b.get('meter_est', '-')} a bar, DB F {b.get('DB_F', 0.0):.3f}"


def tempo_error(entry):
    b = entry.get("beats", {})
    ref, est = b.get("tempo_ref") or 0.0, b.get("tempo_est")
    return abs(est - ref) / ref if ref and est is not None else float("inf")


def worse(new, old):
    """What is worse in the new entry: beat F down by more than 0.0005, or
    the tempo's error up by more than half a percent."""
    if old is None:
        return []
    if new is None:
        return ["no estimate"]
    out = []
    fn, fo = new.get("beats", {}).get("F", 0.0), old.get("beats", {}).get("F", 0.0)
    if fn < fo - 0.0005:
        out.append(f"beat F {fo:.3f} -> {fn:.3f}")
    if tempo_error(new) > tempo_error(old) + 0.005:
        out.append(f"tempo {old['beats'].get('tempo_est')} -> {new['beats'].get('tempo_est')}")
    return out


RATIOS = [(1.0, "1"), (2.0, "2"), (0.5, "1/2"), (2 / 3, "2/3"), (1.5, "3/2"), (3.0, "3"), (1 / 3, "1/3")]


def reading(entry):
    """How a song came in: beats a bar and the written tempo over the
    truth's, as the nearest plain ratio (within 4 %)."""
    if entry is None:
        return "no estimate"
    b = entry.get("beats", {})
    ref, est = b.get("tempo_ref") or 0.0, b.get("tempo_est")
    ratio = "?"
    if ref and est:
        for r, text in RATIOS:
            if abs(est / ref - r) <= 0.04 * r:
                ratio = text
                break
    return f"{b.get('meter_est', '-')} a bar at {ratio}x tempo" + (", beats kept" if b.get("F", 0.0) >= 0.95 else "")


def census(label, runs, corpora):
    """Per meter of the truth and mode, how the songs came in."""
    tally = {}
    for corpus in corpora:
        truth = truths(corpus)
        for mode in MODES:
            try:
                got = scores(runs, corpus, mode)
            except FileNotFoundError:
                continue
            for n, (meter, _, _) in truth.items():
                key = (meter, mode)
                tally.setdefault(key, {})
                r = reading(got.get(n))
                tally[key][r] = tally[key].get(r, 0) + 1
    print(f"\nHow {label} reads each meter (beats a bar, written tempo / truth's, beat F >= 0.95):")
    for (meter, mode), readings in sorted(tally.items()):
        total = sum(readings.values())
        parts = "; ".join(f"{r}: {c}" for r, c in sorted(readings.items(), key=lambda x: -x[1]))
        print(f"  {meter} {mode} ({total}): {parts}")


def label_and_runs(arg):
    label, runs = arg.split("=", 1)
    return label, runs


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--new", required=True, type=label_and_runs)
    ap.add_argument("--old", required=True, type=label_and_runs)
    ap.add_argument("corpora", nargs="+")
    a = ap.parse_args()
    (new_label, new_runs), (old_label, old_runs) = a.new, a.old
    totals = {m: [0, 0, 0, 0, 0, 0] for m in MODES}  # songs, right new, old, waltzes, right new, old
    changes, devset_worse = [], []
    print(f"new = {new_label}, old = {old_label}; right = beat F >= 0.95 and tempo within 4 %")
    print(f"waltzes = 3/4 at {WALTZ_LO:g}-{WALTZ_HI:g} BPM (free meter: also 3 a bar)\n")
    print(f"| corpus | mode | songs | right {new_label} | right {old_label} | lost | gained "
          f"| waltzes | {new_label} | {old_label} |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for corpus in a.corpora:
        name = os.path.basename(os.path.normpath(corpus))
        truth = truths(corpus)
        for mode in MODES:
            try:
                new, old = scores(new_runs, corpus, mode), scores(old_runs, corpus, mode)
            except FileNotFoundError as e:
                print(f"| {name} | {mode} | {len(truth)} | not run: {e.filename} |")
                continue
            right_new = {n for n in truth if n in new and keeps_its_beats(new[n])}
            right_old = {n for n in truth if n in old and keeps_its_beats(old[n])}
            waltzes = [n for n in truth if is_waltz(truth[n])]
            w_new = sum(1 for n in waltzes if n in new and counts_as_waltz(new[n], mode))
            w_old = sum(1 for n in waltzes if n in old and counts_as_waltz(old[n], mode))
            lost, gained = sorted(right_old - right_new), sorted(right_new - right_old)
            # The free meter writes many compound songs' tempo at half
            # their dotted beat in both builds; their beats are still
            # compared, so that no song loses its beats unnamed.
            kept_new = {n for n in truth if n in new and beats_kept(new[n])}
            kept_old = {n for n in truth if n in old and beats_kept(old[n])}
            beats_lost = sorted((kept_old - kept_new) - set(lost))
            beats_gained = sorted((kept_new - kept_old) - set(gained))
            print(f"| {name} | {mode} | {len(truth)} | {len(right_new)} | {len(right_old)} | {len(lost)} "
                  f"| {len(gained)} | {len(waltzes)} | {w_new} | {w_old} |")
            totals[mode] = [t + v for t, v in zip(totals[mode], (len(truth), len(right_new), len(right_old),
                                                                  len(waltzes), w_new, w_old))]
            for what, songs in (("LOST", lost), ("gained", gained), ("LOST beats", beats_lost),
                                ("gained beats", beats_gained)):
                for n in songs:
                    meter, bpm, _ = truth[n]
                    changes.append(f"{what} {name} {mode} {n} ({meter} at {bpm:g}): "
                                   f"{old_label} {summary(old.get(n))}; {new_label} {summary(new.get(n))}")
            if name == "devset":
                for n in sorted(truth):
                    why = worse(new.get(n), old.get(n))
                    if why:
                        devset_worse.append(f"{mode} {n}: {', '.join(why)} ({old_label} {summary(old.get(n))}; "
                                            f"{new_label} {summary(new.get(n))})")
    for mode in MODES:
        t = totals[mode]
        print(f"| **all** | {mode} | {t[0]} | {t[1]} | {t[2]} | | | {t[3]} | {t[4]} | {t[5]} |")
    print(f"\nSongs right in one build and not the other (LOST, gained), and songs whose beats (F >= 0.95) "
          f"one build keeps at a tempo not within 4 % and the other loses (LOST beats, gained beats) ({len(changes)}):")
    for line in changes or ["  none"]:
        print(f"  {line}")
    print(f"\nDevelopment set, beat F or tempo worse in {new_label} than in {old_label} ({len(devset_worse)}):")
    for line in devset_worse or ["  none"]:
        print(f"  {line}")
    census(new_label, new_runs, a.corpora)


if __name__ == "__main__":
    main()

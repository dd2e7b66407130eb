#!/usr/bin/python3
"""A corpus's songs cut to their first SECONDS, ground truth and all.

  bench/cut-corpus.py SRC DST SECONDS

Every song of SRC (the test-song kit's layout: index.json, <set>/NAME.wav,
NAME.json) longer than SECONDS + 1 is written to DST cut to SECONDS, its
beats, downbeats, onsets, chords and sections trimmed to match, so that
the kit's scorer measures the cut as a song of its own. Shorter songs are
left out. Used to measure the analysis at the lengths where its
periodicity is weakest (bench/README).
"""
import json
import os
import sys
import wave


def starts_before(x, end):
    if isinstance(x, list):
        return x[0] < end
    if isinstance(x, dict):
        return x.get("start", 0) < end
    return x < end


def cut(src, dst, seconds):
    items = []
    for it in json.load(open(os.path.join(src, "index.json")))["items"]:
        gt = json.load(open(os.path.join(src, it["gt"])))
        if gt["duration"] <= seconds + 1:
            continue
        os.makedirs(os.path.dirname(os.path.join(dst, it["audio"])), exist_ok=True)
        with wave.open(os.path.join(src, it["audio"])) as w:
            frames = w.readframes(int(seconds * w.getframerate()))
            with wave.open(os.path.join(dst, it["audio"]), "wb") as out:
                out.setparams(w.getparams())
                out.writeframes(frames)
        keep = [i for i, b in enumerate(gt["beats"]) if b < seconds]
        gt["beats"] = [gt["beats"][i] for i in keep]
        if "beat_positions" in gt:
            gt["beat_positions"] = [gt["beat_positions"][i] for i in keep]
        for key in ("downbeats", "onsets", "sections", "segments"):
            if isinstance(gt.get(key), list):
                gt[key] = [x for x in gt[key] if starts_before(x, seconds)]
        if "chords" in gt:
            gt["chords"] = [[a, min(b, seconds), c] for a, b, c in gt["chords"] if a < seconds]
        gt["duration"] = seconds
        json.dump(gt, open(os.path.join(dst, it["gt"]), "w"))
        items.append(dict(it, duration=seconds))
    json.dump({"items": items}, open(os.path.join(dst, "index.json"), "w"), indent=1)
    return len(items)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    print(cut(sys.argv[1], sys.argv[2], float(sys.argv[3])), "songs cut")

#!/usr/bin/python3
"""Writes ten songs with the test-song kit's own composer (drums, bass,
comp, pad and melody; pop, rock, ballad, swing and waltz, drums loud and
soft) and cuts 30 s of each to a stereo 16-bit WAV, for measuring the
time stretch's attacks on music like the kit's.

  bench/make-stretch-kit-cuts.py [--fresh] OUTDIR

--fresh writes a second set of ten (n11-n20: other seeds, keys, tempi
and cut starts), for checking that a change made while watching the
first set carries over to songs it was not tuned on. The seeds, tempi
and cut starts are fixed, so the same command gives the same cuts. Needs what the kit's corpus needs (python3-mido, numpy,
fluidsynth, fluid-soundfont-gm). The WAV files are measurement material:
never commit them. bench/stretch-songs.sh OUTDIR gives their onset table.
"""
import os
import sys
from concurrent.futures import ThreadPoolExecutor

KIT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "devkit")
sys.path.insert(0, os.path.join(KIT, "corpus"))
sys.path.insert(0, os.path.join(KIT, "eval"))
import compose  # noqa: E402
import make_corpus  # noqa: E402
from common import read_audio, write_wav  # noqa: E402

CUT_S = 30.0
# name, key, mode, beats per bar, tempo, style, seed, drum volume (MIDI
# CC7; the kit's own is 110), cut start in seconds.
CUTS = [
    ("n01_pop_E_120", "E", "maj", 4, 120, "pop", 901, 110, 20.0),
    ("n02_pop_Bb_100_soft", "Bb", "maj", 4, 100, "pop", 902, 60, 25.0),
    ("n03_rock_Am_140", "A", "min", 4, 140, "rock", 903, 120, 18.0),
    ("n04_rock_G_112_soft", "G", "maj", 4, 112, "rock", 904, 70, 30.0),
    ("n05_ballad_Eb_70", "Eb", "maj", 4, 70, "ballad", 905, 110, 20.0),
    ("n06_ballad_Fm_80_loud", "F", "min", 4, 80, "ballad", 906, 127, 35.0),
    ("n07_swing_C_126", "C", "maj", 4, 126, "swing", 907, 110, 22.0),
    ("n08_swing_Dm_96_soft", "D", "min", 4, 96, "swing", 908, 65, 28.0),
    ("n09_waltz_A_150", "A", "maj", 3, 150, "waltz", 909, 110, 20.0),
    ("n10_waltz_Cm_104_loud", "C", "min", 3, 104, "waltz", 910, 127, 26.0),
]
FRESH = [
    ("n11_pop_D_108", "D", "maj", 4, 108, "pop", 911, 110, 24.0),
    ("n12_pop_Gm_126_soft", "G", "min", 4, 126, "pop", 912, 55, 16.0),
    ("n13_rock_E_150_loud", "E", "maj", 4, 150, "rock", 913, 127, 21.0),
    ("n14_rock_Cm_96_soft", "C", "min", 4, 96, "rock", 914, 65, 27.0),
    ("n15_ballad_Ab_64", "Ab", "maj", 4, 64, "ballad", 915, 110, 31.0),
    ("n16_ballad_Bm_88_soft", "B", "min", 4, 88, "ballad", 916, 60, 19.0),
    ("n17_swing_F_138_loud", "F", "maj", 4, 138, "swing", 917, 124, 23.0),
    ("n18_swing_Em_104", "E", "min", 4, 104, "swing", 918, 110, 29.0),
    ("n19_waltz_Bb_168_soft", "Bb", "maj", 3, 168, "waltz", 919, 62, 17.0),
    ("n20_waltz_Gm_92", "G", "min", 3, 92, "waltz", 920, 110, 33.0),
]


def compose_cut(out, row):
    """The song's MIDI, with its drum volume (the composer reads the mix
    from a table of its module while it writes the file)."""
    name, key, mode, meter, bpm, style, seed, drums, _ = row
    song = compose._songs([(name, key, mode, meter, bpm, compose.FORM_A, style, seed)])[0]
    kept = compose.MIX[9]
    compose.MIX[9] = (drums, kept[1])
    try:
        mid, _, _ = compose.Composer(song).build()
    finally:
        compose.MIX[9] = kept
    path = os.path.join(out, name + ".mid")
    mid.save(path)
    return path


def render_cut(out, row, mid_path):
    name, start = row[0], row[8]
    full = os.path.join(out, name + ".full.wav")
    make_corpus.render(mid_path, full)
    x, rate, _ = read_audio(full)
    os.remove(full)
    a, b = int(start * rate), int((start + CUT_S) * rate)
    write_wav(os.path.join(out, name + ".wav"), x[a:b], rate)
    return name


def main():
    args = sys.argv[1:]
    table = CUTS
    if args[:1] == ["--fresh"]:
        table, args = FRESH, args[1:]
    if len(args) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    out = args[0]
    os.makedirs(out, exist_ok=True)
    # Composed one after another (the drum volume is set in the composer's
    # module), rendered side by side.
    mids = [compose_cut(out, row) for row in table]
    with ThreadPoolExecutor(4) as pool:
        for name in pool.map(lambda a: render_cut(out, *a), zip(table, mids)):
            print(name, file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())

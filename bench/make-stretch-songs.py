#!/usr/bin/python3
"""Writes short songs of several kinds as MIDI and renders them to 30 s
stereo 16-bit WAV cuts for measuring the time stretch on music.

  bench/make-stretch-songs.py OUTDIR [--only NAME,...]

Each song is made from a seed, so the same command gives the same notes.
Needs Debian's python3-mido, numpy, fluidsynth and fluid-soundfont-gm.
The WAV files are measurement material: never commit them.
"""
import argparse
import os
import random
import subprocess
import sys
import wave

import mido
import numpy as np

SF2 = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
RATE = 44100
PPQ = 480
CUT_S = 30.0

# General MIDI drum keys.
KICK, SNARE, STICK, CLAP, HAT, HAT_OPEN, PEDAL, RIDE, CRASH, TOM_LO, TOM_HI, SHAKER, BRUSH = (
    36, 38, 37, 39, 42, 46, 44, 51, 49, 45, 48, 70, 40)

MAJOR = [0, 2, 4, 5, 7, 9, 11]
MINOR = [0, 2, 3, 5, 7, 8, 10]

# name: tempo, beats per bar, swing (0 straight, 1/3 triplet feel), drum
# style and level (velocity scale), programs (bass, comp, lead, pad or
# None), key root, minor, progression in scale degrees.
SONGS = {
    "s01_pop": dict(bpm=112, bar=4, swing=0.0, drums="pop", drum_level=1.0, bass=33, comp=0, lead=73,
                    pad=48, root=60, minor=False, prog=[1, 5, 6, 4], seed=11),
    "s02_ballad": dict(bpm=68, bar=4, swing=0.0, drums="ballad", drum_level=0.45, bass=32, comp=0, lead=40,
                       pad=49, root=62, minor=False, prog=[1, 6, 4, 5], seed=12),
    "s03_rock": dict(bpm=138, bar=4, swing=0.0, drums="rock", drum_level=1.0, bass=34, comp=29, lead=30,
                     pad=None, root=64, minor=True, prog=[1, 7, 6, 7], seed=13),
    "s04_swing": dict(bpm=168, bar=4, swing=1 / 3, drums="swing", drum_level=0.7, bass=32, comp=0, lead=65,
                      pad=None, root=65, minor=False, prog=[2, 5, 1, 6], seed=14),
    "s05_waltz": dict(bpm=150, bar=3, swing=0.0, drums="waltz", drum_level=0.5, bass=32, comp=21, lead=71,
                      pad=48, root=67, minor=False, prog=[1, 4, 5, 1], seed=15),
    "s06_funk": dict(bpm=100, bar=4, swing=0.0, drums="funk", drum_level=0.95, bass=36, comp=7, lead=62,
                     pad=None, root=62, minor=True, prog=[1, 1, 4, 1], seed=16),
    "s07_bossa": dict(bpm=128, bar=4, swing=0.0, drums="bossa", drum_level=0.4, bass=32, comp=24, lead=73,
                      pad=None, root=60, minor=False, prog=[2, 5, 1, 1], seed=17),
    "s08_disco": dict(bpm=122, bar=4, swing=0.0, drums="disco", drum_level=1.0, bass=38, comp=27, lead=81,
                      pad=50, root=69, minor=True, prog=[1, 4, 7, 3], seed=18),
    "s09_folk": dict(bpm=96, bar=4, swing=0.0, drums=None, drum_level=0.0, bass=32, comp=25, lead=22,
                     pad=None, root=67, minor=False, prog=[1, 4, 1, 5], seed=19),
    "s10_shuffle": dict(bpm=118, bar=4, swing=1 / 3, drums="shuffle", drum_level=0.85, bass=33, comp=16,
                        lead=26, pad=None, root=64, minor=False, prog=[1, 4, 1, 5], seed=20),
    "s11_reggae": dict(bpm=76, bar=4, swing=0.0, drums="reggae", drum_level=0.6, bass=33, comp=4, lead=11,
                       pad=16, root=67, minor=True, prog=[1, 4, 1, 5], seed=21),
    "s12_piano_waltz": dict(bpm=96, bar=3, swing=0.0, drums=None, drum_level=0.0, bass=None, comp=0, lead=0,
                            pad=None, root=63, minor=True, prog=[1, 4, 5, 1], seed=22),
}


def drum_hits(style, bar, swing):
    """(beat position, key, velocity) of one bar."""
    e = 0.5 + swing / 2 if swing else 0.5          # the off-beat eighth
    h = []
    if style in ("pop", "rock", "disco"):
        for b in range(bar):
            h += [(b, HAT, 80), (b + 0.5, HAT_OPEN if style == "disco" else HAT, 60)]
        h += [(0, KICK, 110), (1, SNARE, 105), (2, KICK, 105), (3, SNARE, 110)]
        if style == "rock":
            h += [(2.5, KICK, 95), (0, CRASH, 90)]
        if style == "pop":
            h += [(1.5, KICK, 80)]
        if style == "disco":
            h += [(1, KICK, 105), (3, KICK, 105)]
    elif style == "ballad":
        for b in range(bar):
            h += [(b, HAT, 55), (b + 0.5, HAT, 40)]
        h += [(0, KICK, 90), (1, STICK, 70), (2.5, KICK, 70), (3, STICK, 75)]
    elif style == "swing":
        h += [(0, RIDE, 85), (1, RIDE, 80), (1 + e, RIDE, 60), (2, RIDE, 85), (3, RIDE, 80), (3 + e, RIDE, 60),
              (1, PEDAL, 60), (3, PEDAL, 60), (0, KICK, 45), (2, KICK, 40)]
    elif style == "waltz":
        h += [(0, KICK, 90), (1, HAT, 60), (2, HAT, 60), (1, BRUSH, 45), (2, BRUSH, 45)]
    elif style == "funk":
        for k in range(16):
            h += [(k / 4, HAT, 70 if k % 2 == 0 else 45)]
        h += [(0, KICK, 110), (0.75, KICK, 90), (1, SNARE, 110), (1.75, SNARE, 50), (2.5, KICK, 100),
              (3, SNARE, 110), (3.25, KICK, 80)]
    elif style == "bossa":
        for k in range(8):
            h += [(k / 2, SHAKER, 55)]
        h += [(0, KICK, 70), (1.5, KICK, 60), (2, KICK, 70), (3.5, KICK, 60),
              (0, STICK, 60), (0.75, STICK, 60), (1.5, STICK, 60), (2.5, STICK, 60), (3.25, STICK, 60)]
    elif style == "shuffle":
        for b in range(bar):
            h += [(b, HAT, 80), (b + e, HAT, 55)]
        h += [(0, KICK, 105), (1, SNARE, 100), (2, KICK, 100), (2 + e, KICK, 70), (3, SNARE, 105)]
    elif style == "reggae":
        for b in range(bar):
            h += [(b + 0.5, HAT, 60)]
        h += [(2, KICK, 105), (2, STICK, 90), (0, HAT, 50)]
    return h


def chord_notes(root, minor, degree):
    scale = MINOR if minor else MAJOR
    d = degree - 1
    pcs = [scale[(d + k) % 7] + 12 * ((d + k) // 7) for k in (0, 2, 4)]
    return [root + p for p in pcs]


def make_song(name, s):
    rnd = random.Random(s["seed"])
    beat_s = 60.0 / s["bpm"]
    bars = int(CUT_S / (beat_s * s["bar"])) + 2
    mid = mido.MidiFile(ticks_per_beat=PPQ)
    tempo_track = mido.MidiTrack()
    mid.tracks.append(tempo_track)
    tempo_track.append(mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(s["bpm"]), time=0))
    tempo_track.append(mido.MetaMessage("time_signature", numerator=s["bar"], denominator=4, time=0))
    events = []  # (tick, order, channel, message)

    def note(ch, beat, key, vel, length):
        t0 = max(0, int(round(beat * PPQ)))
        t1 = max(t0 + 1, int(round((beat + length) * PPQ)))
        vel = max(1, min(127, int(vel)))
        events.append((t0, 1, ch, mido.Message("note_on", channel=ch, note=key, velocity=vel)))
        events.append((t1, 0, ch, mido.Message("note_off", channel=ch, note=key, velocity=0)))

    def program(ch, prog, volume, pan):
        events.append((0, -1, ch, mido.Message("program_change", channel=ch, program=prog)))
        events.append((0, -1, ch, mido.Message("control_change", channel=ch, control=7, value=volume)))
        events.append((0, -1, ch, mido.Message("control_change", channel=ch, control=10, value=pan)))

    swing = s["swing"]
    off = 0.5 + swing / 2 if swing else 0.5
    if s["bass"] is not None:
        program(0, s["bass"], 105, 64)
    program(1, s["comp"], 90, 44)
    program(2, s["lead"], 95, 84)
    if s["pad"] is not None:
        program(3, s["pad"], 60, 64)
    if s["drums"]:
        events.append((0, -1, 9, mido.Message("control_change", channel=9, control=7,
                                              value=int(40 + 87 * s["drum_level"]))))
    scale = MINOR if s["minor"] else MAJOR
    for bar in range(bars):
        b0 = bar * s["bar"]
        chord = chord_notes(s["root"], s["minor"], s["prog"][bar % len(s["prog"])])
        if s["drums"]:
            for pos, key, vel in drum_hits(s["drums"], s["bar"], swing):
                jitter = rnd.uniform(-0.01, 0.01)
                note(9, b0 + pos + jitter, key, vel * (0.5 + 0.5 * s["drum_level"]) * rnd.uniform(0.9, 1.05), 0.1)
            if bar % 4 == 3 and s["drums"] not in ("ballad", "bossa", "waltz"):
                for k in range(4):           # a fill on the last beat
                    note(9, b0 + s["bar"] - 1 + k / 4, [TOM_HI, TOM_HI, TOM_LO, SNARE][k], 90 * s["drum_level"] + 20, 0.1)
        if s["bass"] is not None:
            r = chord[0] - 24
            if s["drums"] == "swing":
                walk = [r, r + 4 if not s["minor"] else r + 3, r + 7, r + rnd.choice([9, 10, 11])]
                for k in range(4):
                    note(0, b0 + k, walk[k], 95, 0.9)
            elif s["bar"] == 3:
                note(0, b0, r, 100, 0.9)
            else:
                pattern = [(0, 0), (1.5, 7), (2, 0), (3, 12 if rnd.random() < 0.5 else 7)]
                if s["drums"] == "funk":
                    pattern = [(0, 0), (0.75, 12), (1.5, 10), (2.25, 0), (2.5, 7), (3.5, 12)]
                for pos, iv in pattern:
                    note(0, b0 + (pos if pos != 1.5 or not swing else 1 + off), r + iv, 100, 0.45)
        # Comping: block chords on the beats, or a waltz's "oom-pah-pah".
        if s["bar"] == 3:
            for k in (1, 2):
                for n in chord:
                    note(1, b0 + k, n, 70, 0.8)
            if s["bass"] is None:
                note(1, b0, chord[0] - 12, 85, 0.9)
        elif s["drums"] in ("reggae",):
            for k in (1, 3):
                for n in chord:
                    note(1, b0 + k, n, 80, 0.3)
        elif s["drums"] in ("funk", "disco"):
            for k in range(8):
                if rnd.random() < 0.6:
                    for n in chord[1:]:
                        note(1, b0 + k / 2, n + 12, 75, 0.2)
        elif s["drums"] is None and s["bass"] is not None:   # folk: picked arpeggio
            for k in range(8):
                note(1, b0 + k / 2, chord[k % 3] + (12 if k % 4 == 3 else 0), 72, 0.5)
        else:
            for k in range(s["bar"]):
                if k == 0 or rnd.random() < 0.7:
                    for n in chord:
                        note(1, b0 + k + (off - 0.5 if (k % 2 and swing) else 0), n, 72, 0.7)
        if s["pad"] is not None:
            for n in chord:
                note(3, b0, n - 12, 60, s["bar"] - 0.05)
        # Melody: chord tones and steps, some rests.
        pos = 0.0
        while pos < s["bar"]:
            length = rnd.choice([0.5, 0.5, 1.0, 1.0, 1.5, 2.0])
            length = min(length, s["bar"] - pos)
            if rnd.random() < 0.8:
                deg = rnd.randrange(0, 10)
                key = s["root"] + 12 + scale[deg % 7] + 12 * (deg // 7)
                start = pos + ((off - 0.5) if swing and (pos % 1) == 0.5 else 0)
                note(2, b0 + start, key, rnd.randint(70, 100), length * 0.9)
            pos += length
    events.sort(key=lambda e: (e[0], e[1]))
    track = mido.MidiTrack()
    mid.tracks.append(track)
    last = 0
    for tick, _, _, msg in events:
        track.append(msg.copy(time=tick - last))
        last = tick
    return mid


def render(mid_path, wav_path):
    tmp = wav_path + ".f32.wav"
    subprocess.run(["fluidsynth", "-ni", "-q", "-g", "0.5", "-r", str(RATE), "-O", "float", "-T", "wav",
                    "-F", tmp, SF2, mid_path], check=True, stdout=subprocess.DEVNULL)
    data = np.fromfile(tmp, dtype=np.uint8)
    os.remove(tmp)
    # The float WAV's data chunk: find it rather than assume the header size.
    raw = data.tobytes()
    pos = 12
    while pos + 8 <= len(raw):
        cid, size = raw[pos:pos + 4], int.from_bytes(raw[pos + 4:pos + 8], "little")
        if cid == b"data":
            x = np.frombuffer(raw[pos + 8:pos + 8 + size], dtype="<f4").reshape(-1, 2)
            break
        pos += 8 + size + (size & 1)
    else:
        raise RuntimeError("no data chunk in " + tmp)
    n = int(CUT_S * RATE)
    x = x[:n]
    if len(x) < n:
        x = np.vstack([x, np.zeros((n - len(x), 2), np.float32)])
    x = x / max(1e-9, np.abs(x).max()) * 10 ** (-1 / 20)
    pcm = np.clip(np.round(x * 32767), -32768, 32767).astype("<i2")
    with wave.open(wav_path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(pcm.tobytes())


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("outdir")
    ap.add_argument("--only", default="")
    a = ap.parse_args()
    os.makedirs(a.outdir, exist_ok=True)
    names = [n for n in SONGS if not a.only or n in a.only.split(",")]
    for name in names:
        mid_path = os.path.join(a.outdir, name + ".mid")
        make_song(name, SONGS[name]).save(mid_path)
        render(mid_path, os.path.join(a.outdir, name + ".wav"))
        print(name, file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())

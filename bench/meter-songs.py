#!/usr/bin/python3
"""Songs for measuring the meter decision of the song analysis: waltzes
(3/4) at tempi across 80-180 BPM with different accompaniments, songs in
6/8, 9/8 and 12/8 across their range, and short clips of 4/4, 3/4 and 6/8.

  meter-songs.py OUTDIR [--set main|short|all|lilt|swingmix|sixteenths] [--seed N]

swingmix and sixteenths are 4/4 songs whose pulses a meter rule may take
for a compound grouping: a full band whose eighths are straight, swung or
a figure at 0, 1/3, 1/2 and 5/6 of the beat over a walking bass (90-130
BPM), three of them (swingband) in quarter-note triplets over every two
beats with a soft backbeat, and electronic songs in sixteenths (100-140
BPM), every second one with a bar of 2/4.

Each song is written as MIDI, rendered by fluidsynth with FluidR3_GM into
OUTDIR/<set>/NAME.wav (16-bit stereo 44100 Hz), with NAME.json beside it in
the test-song kit's ground-truth form (beats, beat_positions, downbeats,
tempo_bpm, meter, beats_per_bar, chords, key; compound beats are dotted
quarters) and OUTDIR/index.json listing them, so the kit's scorer reads the
folder as a corpus:

  /usr/bin/python3 ../shared/devkit/eval/score_dir.py OUTDIR ESTDIR --sets waltz,compound,short

--seed N (N > 0) makes another set of the same plan: every song gets other
random notes and chords, its key moved and its tempo moved by up to 6 %
either way (the name gives the tempo it got; where two songs of a style
would get one tempo, the later gets a BPM more), so that a rule measured on
one set can be checked on songs it was not made on. Without it, or with 0,
the songs are always the same ones.

Needs Debian's python3-mido and fluidsynth with fluid-soundfont-gm. The
audio is made here and never committed.
"""
import argparse
import json
import os
import random
import subprocess
import wave

import mido

SOUND_FONT = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
TPQ = 480
NAMES = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"]

# Channels and their General MIDI programs.
PIANO, BASS, PAD, LEAD, COMP, DRUMS = 0, 1, 2, 3, 4, 9
KICK, SNARE, HAT, RIDE, STICK = 36, 38, 42, 51, 37


class Song:
    """A song as note events on an eighth-note grid, with its meter."""

    def __init__(self, name, group, numerator, denominator, bpm, bars, key, minor, programs):
        self.name, self.group = name, group
        self.numerator, self.denominator = numerator, denominator
        self.compound = denominator == 8 and numerator % 3 == 0
        self.beats_per_bar = numerator // 3 if self.compound else numerator
        self.bpm = bpm  # beats (dotted quarters when compound) per minute
        self.bars, self.key, self.minor = bars, key, minor
        self.programs = programs
        self.events = []  # (tick, channel, note, velocity, length ticks)
        self.chords = []  # (bar, root pitch class, minor)
        self.short_bar = None  # the one bar of 2/4 in a 4/4 song, if any

    def bar_beats(self, bar):
        return 2 if bar == self.short_bar else self.beats_per_bar

    def bar_start(self, bar):
        """The bar's first tick: the bar of 2/4 moves every later one."""
        short = self.short_bar is not None and bar > self.short_bar
        return bar * self.bar_ticks - (self.beats_per_bar - 2) * self.beat_ticks * short

    # Ticks of one beat and one bar, and of an eighth.
    @property
    def beat_ticks(self):
        return 3 * TPQ // 2 if self.compound else TPQ * 4 // self.denominator

    @property
    def bar_ticks(self):
        return self.beat_ticks * self.beats_per_bar

    @property
    def quarter_bpm(self):
        return self.bpm * self.beat_ticks / TPQ

    def note(self, tick, channel, note, velocity, length):
        self.events.append((int(tick), channel, int(note), max(1, min(127, int(velocity))), max(1, int(length))))

    def chord_tones(self, bar):
        root, minor = self.chords[bar % len(self.chords)][1:]
        return root, [0, 3 if minor else 4, 7]


def progression(song, rng):
    """Chords a bar, four- or eight-bar loops in the song's key."""
    major = [[0, 5, 7, 0], [0, 9, 5, 7], [0, 5, 0, 7, 9, 2, 7, 0]]
    minor = [[0, 5, 7, 0], [0, 8, 3, 7], [0, 5, 8, 7, 0, 3, 5, 7]]
    loop = rng.choice(minor if song.minor else major)
    quality_major = {0: False, 2: True, 5: False, 7: False, 9: True}
    quality_minor = {0: True, 3: False, 5: True, 7: False, 8: False}
    song.chords = []
    for bar in range(song.bars):
        degree = loop[bar % len(loop)]
        minor = (quality_minor if song.minor else quality_major)[degree]
        song.chords.append((bar, (song.key + degree) % 12, minor))


def bass_line(song, bar, pattern, velocity=90):
    """`pattern`: (beat offset in eighths, length in eighths, interval)."""
    root, tones = song.chord_tones(bar)
    e = TPQ // 2
    for at, length, interval in pattern:
        song.note(bar * song.bar_ticks + at * e, BASS, 36 + root + interval, velocity, length * e - 10)


def chord_at(song, bar, at_eighths, length_eighths, velocity, channel=PIANO, octave=60):
    root, tones = song.chord_tones(bar)
    e = TPQ // 2
    for t in tones:
        song.note(bar * song.bar_ticks + at_eighths * e, channel, octave + (root + t) % 12, velocity, length_eighths * e - 10)


def melody(song, bar, rhythm, rng, velocity=80, channel=LEAD):
    """A tune on the chord's tones and its scale, one note per (at, length)."""
    root, tones = song.chord_tones(bar)
    scale = [0, 2, 3, 5, 7, 8, 10] if song.minor else [0, 2, 4, 5, 7, 9, 11]
    e = TPQ // 2
    for i, (at, length) in enumerate(rhythm):
        if i == 0 or rng.random() < 0.5:
            pc = (root + rng.choice(tones)) % 12
        else:
            pc = (song.key + rng.choice(scale)) % 12
        song.note(bar * song.bar_ticks + at * e, channel, 72 + pc, velocity + rng.randint(-6, 6), length * e - 15)


def drum(song, bar, at_eighths, note, velocity):
    song.note(bar * song.bar_ticks + at_eighths * TPQ // 2, DRUMS, note, velocity, TPQ // 4)


# ---- 3/4 accompaniments (six eighths a bar)

def waltz_oompah(song, bar, rng):
    bass_line(song, bar, [(0, 2, 0)], 100)
    if bar % 2:
        bass_line(song, bar, [(0, 2, 7)], 95)
        song.events.pop(-2)
    chord_at(song, bar, 2, 2, 70, COMP)
    chord_at(song, bar, 4, 2, 66, COMP)
    drum(song, bar, 0, KICK, 100)
    drum(song, bar, 2, HAT, 60)
    drum(song, bar, 4, HAT, 60)
    if bar % 4 == 3:
        melody(song, bar, [(0, 6)], rng)
    else:
        melody(song, bar, [(0, 4), (4, 2)], rng)


def waltz_arpeggio(song, bar, rng):
    root, tones = song.chord_tones(bar)
    bass_line(song, bar, [(0, 6, 0)], 95)
    order = [0, 1, 2, 1, 2, 1]
    for i, k in enumerate(order):
        pc = (root + tones[k]) % 12
        song.note(bar * song.bar_ticks + i * TPQ // 2, PIANO, 60 + pc + (12 if i == 3 else 0),
                  (88 if i == 0 else 70), TPQ // 2 - 10)
    melody(song, bar, [(0, 4), (4, 2)] if bar % 2 else [(0, 6)], rng, 72)


def waltz_pad(song, bar, rng):
    bass_line(song, bar, [(0, 6, 0)], 85)
    chord_at(song, bar, 0, 6, 60, PAD, 60)
    melody(song, bar, [(0, 2), (2, 2), (4, 2)] if bar % 2 == 0 else [(0, 4), (4, 2)], rng, 82)


def waltz_melody(song, bar, rng):
    bass_line(song, bar, [(0, 2, 0), (2, 2, 7), (4, 2, 12)], 80)
    chord_at(song, bar, 0, 6, 52, PAD, 60)
    melody(song, bar, [(0, 2), (2, 2), (4, 2)], rng, 84)
    drum(song, bar, 0, KICK, 80)


def waltz_swing(song, bar, rng, tune=True):
    # A jazz waltz: walking bass on every beat, the ride long-short (swung
    # eighths, two thirds and one third of a beat), comping on beat 2's
    # upbeat and beat 3, and a swung tune unless `tune` is False.
    root, tones = song.chord_tones(bar)
    b = song.bar_ticks * bar
    walk = [0, tones[1], 7]
    for k in range(3):
        song.note(b + k * TPQ, BASS, 36 + (root + walk[k]) % 12, 92, TPQ - 20)
        song.note(b + k * TPQ, DRUMS, RIDE, 80 if k == 0 else 66, TPQ // 4)
        if k >= 1:
            song.note(b + k * TPQ + 2 * TPQ // 3, DRUMS, RIDE, 52, TPQ // 4)
    song.note(b, DRUMS, KICK, 70, TPQ // 4)
    for t in tones:
        song.note(b + TPQ + 2 * TPQ // 3, COMP, 60 + (root + t) % 12, 64, TPQ // 3)
        song.note(b + 2 * TPQ, COMP, 60 + (root + t) % 12, 58, TPQ // 2)
    if not tune:
        return
    scale = [0, 2, 3, 5, 7, 8, 10] if song.minor else [0, 2, 4, 5, 7, 9, 11]
    for k in range(3):
        for j, (off, length) in enumerate([(0, 2 * TPQ // 3), (2 * TPQ // 3, TPQ // 3)]):
            if rng.random() < 0.75:
                pc = (song.key + rng.choice(scale)) % 12
                song.note(b + k * TPQ + off, LEAD, 72 + pc, 78 if j == 0 else 62, length - 15)


def waltz_lilt(song, bar, rng):
    # A waltz that leaves its second beat empty: the bass and the kick on
    # one, the bass's fifth and the chord on three; at its tempo the beats
    # sound long-short as a slow 12/8 shuffle's eighths do.
    bass_line(song, bar, [(0, 4, 0), (4, 2, 7)], 96)
    chord_at(song, bar, 4, 2, 68, COMP)
    drum(song, bar, 0, KICK, 100)
    drum(song, bar, 4, HAT, 60)
    melody(song, bar, [(0, 4), (4, 2)], rng, 78)


def waltz_halfquarter(song, bar, rng):
    # A tune of a half note and a quarter over a pad, the bass on one and
    # three.
    bass_line(song, bar, [(0, 4, 0), (4, 2, 0)], 88)
    chord_at(song, bar, 0, 6, 56, PAD, 60)
    melody(song, bar, [(0, 4), (4, 2)], rng, 84)


# ---- compound accompaniments (three eighths a beat)

def compound_jig(song, bar, rng):
    for k in range(song.beats_per_bar):
        bass_line(song, bar, [(3 * k, 3, 0 if k % 2 == 0 else 7)], 92)
        drum(song, bar, 3 * k, KICK, 100 if k == 0 else 80)
        chord_at(song, bar, 3 * k, 2, 60, COMP)
    melody(song, bar, [(i, 1) for i in range(3 * song.beats_per_bar)], rng, 76)


def compound_longshort(song, bar, rng):
    bass_line(song, bar, [(0, 3 * song.beats_per_bar, 0)], 90)
    for k in range(song.beats_per_bar):
        chord_at(song, bar, 3 * k, 2, 78 if k == 0 else 70, COMP)
        chord_at(song, bar, 3 * k + 2, 1, 52, COMP)
        drum(song, bar, 3 * k, KICK, 100 if k == 0 else 78)
    melody(song, bar, [(0, 3 * song.beats_per_bar)] if bar % 2 else
           [(3 * k, 3) for k in range(song.beats_per_bar)], rng, 74)


def eighths_arpeggio(song, bar):
    # The chord's tones on every eighth, the third of each beat an octave
    # up, over a soft pad.
    root, tones = song.chord_tones(bar)
    for i in range(3 * song.beats_per_bar):
        pc = (root + tones[i % 3]) % 12
        song.note(bar * song.bar_ticks + i * TPQ // 2, PIANO, 60 + pc + (12 if i % 3 == 2 else 0),
                  86 if i % 3 == 0 else 64, TPQ // 2 - 10)
    chord_at(song, bar, 0, 3 * song.beats_per_bar, 50, PAD)


def compound_arpeggio(song, bar, rng):
    bass_line(song, bar, [(0, 3 * song.beats_per_bar, 0)], 92)
    eighths_arpeggio(song, bar)


def compound_beat_arpeggio(song, bar, rng):
    # The arpeggio over a bass on every dotted beat, root and fifth in
    # turn, as a 6/8 ballad's.
    for k in range(song.beats_per_bar):
        bass_line(song, bar, [(3 * k, 3, 0 if k % 2 == 0 else 7)], 90)
    eighths_arpeggio(song, bar)


def compound_oompah(song, bar, rng):
    # An oom-pah-pah on every dotted beat: the bass and a kick on the beat,
    # the chord on its second and third eighths, a tune note a beat.
    for k in range(song.beats_per_bar):
        bass_line(song, bar, [(3 * k, 1, 0 if k % 2 == 0 else 7)], 95)
        drum(song, bar, 3 * k, KICK, 96 if k == 0 else 84)
        chord_at(song, bar, 3 * k + 1, 1, 70, COMP)
        chord_at(song, bar, 3 * k + 2, 1, 64, COMP)
    melody(song, bar, [(3 * k, 3) for k in range(song.beats_per_bar)], rng, 78)


def compound_shuffle(song, bar, rng):
    # A slow blues: the hat on every eighth, kick on beats 1 and 3, snare
    # on 2 and 4 (of four beats; on the second of two), a bass riff.
    root, tones = song.chord_tones(bar)
    b = song.bar_ticks * bar
    riff = [0, tones[1], 7, 9]
    for k in range(song.beats_per_bar):
        drum(song, bar, 3 * k, KICK if k % 2 == 0 else SNARE, 100 if k % 2 == 0 else 90)
        for j in range(3):
            drum(song, bar, 3 * k + j, HAT, 70 if j == 0 else 48)
        song.note(b + 3 * k * TPQ // 2, BASS, 36 + (root + riff[k % 4]) % 12, 92, TPQ - 20)
        song.note(b + (3 * k + 2) * TPQ // 2, BASS, 36 + (root + riff[k % 4]) % 12, 70, TPQ // 2 - 20)
    chord_at(song, bar, 0, 3 * song.beats_per_bar, 54, PAD)
    melody(song, bar, [(0, 2), (2, 1), (3, 3)] + ([(6, 3), (9, 3)] if song.beats_per_bar == 4 else []), rng, 76)


def compound_blues(song, bar, rng):
    # A twelve-bar blues in 12/8: I I I I IV IV I I V IV I V, the shuffle
    # of compound_shuffle over it.
    form = [0, 0, 0, 0, 5, 5, 0, 0, 7, 5, 0, 7]
    song.chords[bar] = (bar, (song.key + form[bar % 12]) % 12, False)
    compound_shuffle(song, bar, rng)


# ---- 4/4 accompaniments (eight eighths a bar)

def four_pop(song, bar, rng):
    bass_line(song, bar, [(0, 3, 0), (3, 1, 0), (4, 4, 7)], 92)
    for e in range(8):
        drum(song, bar, e, HAT, 64 if e % 2 == 0 else 46)
    for e, n in ((0, KICK), (2, SNARE), (4, KICK), (6, SNARE)):
        drum(song, bar, e, n, 96)
    chord_at(song, bar, 0, 4, 62, COMP)
    chord_at(song, bar, 4, 4, 58, COMP)
    melody(song, bar, [(0, 2), (2, 2), (4, 3), (7, 1)], rng, 78)


def four_stabs(song, bar, rng):
    # The pop groove's three-three-two: kick and stabs on eighths 0, 3, 6.
    bass_line(song, bar, [(0, 3, 0), (3, 3, 0), (6, 2, 7)], 92)
    for e in range(8):
        stab = e in (0, 3, 6)
        chord_at(song, bar, e, 1, 80 if stab else 46, COMP)
        drum(song, bar, e, HAT, 54)
        if stab:
            drum(song, bar, e, KICK, 100 if e == 0 else 84)
    drum(song, bar, 2, SNARE, 86)
    drum(song, bar, 6, SNARE, 86)


def four_ballad(song, bar, rng):
    bass_line(song, bar, [(0, 4, 0), (4, 4, 7)], 86)
    chord_at(song, bar, 0, 8, 56, PAD)
    root, tones = song.chord_tones(bar)
    for i in range(8):
        pc = (root + tones[[0, 1, 2, 1][i % 4]]) % 12
        song.note(bar * song.bar_ticks + i * TPQ // 2, PIANO, 60 + pc, 74 if i % 2 == 0 else 60, TPQ // 2 - 10)
    drum(song, bar, 0, KICK, 84)
    drum(song, bar, 4, STICK, 70)


# ---- 4/4 songs whose pulses a meter rule may take for a compound grouping

def four_swingmix(song, bar, rng):
    # A full band (horns, distorted guitar, piano, walking bass, drums)
    # whose eighths are straight in some bars and swung in others, or
    # swung on one beat of each two and played as a figure at 0, 1/3, 1/2
    # and 5/6 of the beat on the other (which of the two, the song's own),
    # in some songs the band's hits in quarter-note triplets in some bars:
    # notes two triplet eighths apart, where a rule may hear dotted beats.
    # The backbeat's snare is as loud as the band on one and three in some
    # songs, softer in others.
    root, tones = song.chord_tones(bar)
    scale = [0, 2, 3, 5, 7, 8, 10] if song.minor else [0, 2, 4, 5, 7, 9, 11]
    b = song.bar_start(bar)
    swung, figure = [0, 2 / 3], [0, 1 / 3, 1 / 2, 5 / 6]
    if bar == 0:
        song.snare = rng.randint(40, 90)
        song.riff = rng.choice([[swung, figure], [figure, swung]])
        # How often the band plays its hits in quarter-note triplets.
        song.triplet_share = rng.choice([0.0, 0.5, 0.9])
    if bar % 2 == 0:
        song.feel = rng.choice(["straight", "swung", "mixed", "riff", "riff"])
        song.triplets = rng.random() < song.triplet_share
    offsets = {"straight": [[0, 1 / 2]] * 2, "swung": [swung] * 2, "mixed": [figure] * 2,
               "riff": song.riff}[song.feel]
    walk = [0, tones[1], 7, rng.choice([5, 9, 10, 11])]
    for k in range(4):
        at = b + k * TPQ
        song.note(at, BASS, 36 + (root + walk[k]) % 12, 92 + rng.randint(-6, 4), TPQ - 30)
        song.note(at, DRUMS, KICK if k % 2 == 0 else SNARE, 100 if k % 2 == 0 else song.snare, TPQ // 4)
        if k % 2:
            song.note(at, DRUMS, 44, 56, TPQ // 4)  # the hi-hat's foot on 2 and 4
        for j, off in enumerate(offsets[k % 2]):
            song.note(at + int(round(off * TPQ)), DRUMS, RIDE, 80 if j == 0 else 58, TPQ // 4)
    if song.triplets:
        # The band's hits in quarter-note triplets, three over each half bar
        # (two triplet eighths apart): piano, guitar and horns together.
        for half in range(2):
            for j in range(3):
                at = b + half * 2 * TPQ + j * 2 * TPQ // 3
                pc = (root + tones[(j + half) % 3]) % 12
                for t in tones:
                    song.note(at, PIANO, 60 + (root + t) % 12, 72, 2 * TPQ // 3 - 30)
                for interval in (0, 7, 12):
                    song.note(at, PAD, 48 + (root + interval) % 12, 72, 2 * TPQ // 3 - 30)
                for octave in (60, 72):
                    song.note(at, LEAD, octave + pc, 88, 2 * TPQ // 3 - 30)
        return
    # Piano: chords on one and on the last note of two's figure.
    upbeat = TPQ + int(round(offsets[1][-1] * TPQ))
    for at, velocity in ((0, 70), (upbeat, 64)):
        for t in tones:
            song.note(b + at, PIANO, 60 + (root + t) % 12, velocity, TPQ - 30)
    # Distorted guitar: power chords on one and three.
    for at in (0, 2 * TPQ):
        for interval in (0, 7, 12):
            song.note(b + at, PAD, 48 + (root + interval) % 12, 74, 3 * TPQ // 2)
    # Horns: a riff in the bar's feel on one and two, a held note on three;
    # every other bar the sax answers on three and four.
    for k in range(2):
        for j, off in enumerate(offsets[k]):
            pc = (root + tones[(k + j) % 3]) % 12
            song.note(b + k * TPQ + int(round(off * TPQ)), LEAD, 72 + pc, 86 if j == 0 else 72, TPQ // 4)
    song.note(b + 2 * TPQ, LEAD, 72 + (root + tones[2]) % 12, 82, TPQ)
    if bar % 2:
        for k in range(2, 4):
            for off in offsets[k % 2][:2]:
                if rng.random() < 0.8:
                    pc = (song.key + rng.choice(scale)) % 12
                    song.note(b + k * TPQ + int(round(off * TPQ)), COMP, 67 + pc, 74, TPQ // 3)


def four_swingband(song, bar, rng):
    # The band over a walking bass, a kick on one and three and a soft
    # snare on two and four; over each two beats the piano and the horns
    # play quarter-note triplets (the bar's chord with the guitar, then
    # the chords a fourth and a fifth above it, laid back by 15 ticks),
    # and strings come in on two and four. The new pitches two and four
    # thirds of a beat in and the softer backbeat look like a waltz read by
    # its dotted beats, but two and four still sound more than two thirds
    # as much as one and three.
    root, tones = song.chord_tones(bar)
    b = song.bar_start(bar)
    walk = [0, tones[1], 7, 10]
    for k in range(4):
        at = b + k * TPQ
        backbeat = k % 2 == 1
        song.note(at, BASS, 36 + (root + walk[k]) % 12, 78 if backbeat else 92, TPQ - 30)
        song.note(at, DRUMS, SNARE if backbeat else KICK, 30 if backbeat else 120, TPQ // 4)
        song.note(at, DRUMS, RIDE, 60 if backbeat else 80, TPQ // 4)
        for off in ([1 / 3, 1 / 2, 5 / 6] if backbeat else [2 / 3]):
            song.note(at + int(round(off * TPQ)), DRUMS, RIDE, 58, TPQ // 4)
    triplet = 2 * TPQ // 3
    for half in range(2):
        h = b + half * 2 * TPQ
        for j, degree in enumerate((0, 5, 7)):
            r = root + degree
            triad = [0, tones[1] if j == 0 else 4, 7]
            at = h + j * triplet + (15 if j else 0)
            for t in triad:
                song.note(at, PIANO, 60 + (r + t) % 12, 64 if j else 90, triplet - 20)
            for t in triad[:2]:
                song.note(at, LEAD, 72 + (r + t) % 12, 80 if j else 105, triplet - 20)
            if j == 0:
                for interval in (0, 7, 12):
                    song.note(at, PAD, 48 + (r + interval) % 12, 90, triplet - 20)
        for t in tones:
            song.note(h + TPQ, COMP, 67 + (root + t) % 12, 64, TPQ // 3)


def four_sixteenths(song, bar, rng):
    # Electronic 4/4 (or the one bar of 2/4): a synth bass on every
    # sixteenth, a lead and drums in sixteenths, a pad held through. The
    # bass's and the lead's figures run on across the bars, in some songs
    # six sixteenths long (a dotted quarter, so that their accents fall on
    # every third eighth), in others four or eight; the kick plays on every
    # beat, on one and three, or on one, the "and" of two and four.
    root, tones = song.chord_tones(bar)
    b = song.bar_start(bar)
    beats = song.bar_beats(bar)
    s = TPQ // 4
    if bar == 0:
        song.cycle = rng.choice([6, 6, 8])
        song.lead = [True] + [rng.random() < 0.75 for _ in range(song.cycle - 1)]
        song.steps = [0] + [rng.choice([0, 1, 2]) for _ in range(song.cycle - 1)]
        song.bass = rng.choice([[0, 0, 12, 0], [0, 0, 12, 0, 7, 0], [0, 12, 0, 7, 12, 0]])
        song.kicks = rng.choice([[0, 4, 8, 12], [0, 8], [0, 6, 12]])
        song.kick = rng.randint(70, 104)
    for i in range(4 * beats):
        at = b + i * s
        n = at // s
        bass = song.bass[n % len(song.bass)]
        song.note(at, BASS, 36 + root + bass, 96 if n % len(song.bass) == 0 else 80, s - 12)
        song.note(at, DRUMS, HAT, 62 if i % 2 == 0 else 50, s // 2)
        step = n % song.cycle
        if song.lead[step]:
            pc = (root + tones[song.steps[step]]) % 12
            song.note(at, LEAD, 72 + pc + (12 if step == 0 else 0), 86 if step == 0 else 66, s - 15)
        if i in song.kicks:
            song.note(at, DRUMS, KICK, song.kick, s)
    for k in range(1, beats, 2):
        song.note(b + k * TPQ, DRUMS, 39, 84, TPQ // 4)  # a clap on two and four
    for t in tones:
        song.note(b, PAD, 60 + (root + t) % 12, 58, beats * TPQ - 20)


STYLES = {
    "oompah": waltz_oompah, "arpeggio": waltz_arpeggio, "pad": waltz_pad, "melody": waltz_melody,
    "swing": waltz_swing, "swingcomp": lambda song, bar, rng: waltz_swing(song, bar, rng, tune=False), "jig": compound_jig, "longshort": compound_longshort,
    "carpeggio": compound_arpeggio, "barpeggio": compound_beat_arpeggio, "coompah": compound_oompah, "shuffle": compound_shuffle, "blues": compound_blues, "pop": four_pop, "stabs": four_stabs,
    "ballad": four_ballad, "lilt": waltz_lilt, "halfquarter": waltz_halfquarter,
    "swingmix": four_swingmix, "swingband": four_swingband, "sixteenths": four_sixteenths, "sixteenths24": four_sixteenths,
}

PROGRAMS = {  # piano, bass, pad, lead, comp
    "oompah": (0, 33, 48, 21, 21), "arpeggio": (0, 32, 48, 73, 0), "pad": (0, 32, 49, 40, 0),
    "melody": (0, 32, 48, 68, 0), "swing": (0, 32, 48, 65, 4), "swingcomp": (0, 32, 48, 65, 4), "jig": (0, 32, 48, 40, 25),
    "longshort": (0, 33, 48, 73, 24), "carpeggio": (46, 32, 48, 73, 0), "barpeggio": (0, 32, 48, 73, 0), "coompah": (0, 33, 48, 21, 21), "shuffle": (0, 33, 16, 65, 4), "blues": (0, 33, 16, 65, 4),
    "pop": (0, 33, 48, 80, 4), "stabs": (0, 38, 48, 80, 61), "ballad": (0, 32, 49, 73, 0),
    "lilt": (0, 33, 48, 73, 0), "halfquarter": (0, 32, 49, 40, 0),
    # piano, walking bass, distorted guitar, brass section, alto sax
    "swingmix": (0, 32, 30, 61, 65),
    # piano, walking bass, distorted guitar, brass section, strings
    "swingband": (0, 32, 30, 61, 48),
    # -, synth bass, warm pad, saw lead, -
    "sixteenths": (0, 38, 89, 81, 0), "sixteenths24": (0, 38, 89, 81, 0),
}


def build(name, group, numerator, denominator, bpm, seconds, style, key, minor, seed):
    rng = random.Random(seed)
    probe = Song(name, group, numerator, denominator, bpm, 1, key, minor, PROGRAMS[style])
    bar_seconds = probe.beats_per_bar * 60.0 / bpm
    bars = int(seconds / bar_seconds) + 2
    song = Song(name, group, numerator, denominator, bpm, bars, key, minor, PROGRAMS[style])
    progression(song, rng)
    if style == "sixteenths24":
        # One bar of 2/4 closing a phrase of eight, twelve or sixteen bars.
        song.short_bar = rng.choice([7, 11, 15])
    for bar in range(bars):
        STYLES[style](song, bar, rng)
    return song


def write_midi(song, path):
    mid = mido.MidiFile(ticks_per_beat=TPQ)
    track = mido.MidiTrack()
    mid.tracks.append(track)
    msgs = [(0, mido.MetaMessage("set_tempo", tempo=int(round(60e6 / song.quarter_bpm))))]
    msgs.append((0, mido.MetaMessage("time_signature", numerator=song.numerator, denominator=song.denominator)))
    for ch, prog in zip((PIANO, BASS, PAD, LEAD, COMP), song.programs):
        msgs.append((0, mido.Message("program_change", channel=ch, program=prog)))
    for tick, ch, note, vel, length in song.events:
        msgs.append((tick, mido.Message("note_on", channel=ch, note=note, velocity=vel)))
        msgs.append((tick + length, mido.Message("note_off", channel=ch, note=note, velocity=0)))
    msgs.sort(key=lambda m: (m[0], 0 if m[1].type == "note_off" else 1))
    now = 0
    for tick, msg in msgs:
        track.append(msg.copy(time=tick - now))
        now = tick
    mid.save(path)


def render(midi, wav, seconds):
    subprocess.run(["fluidsynth", "-ni", "-q", "-g", "0.8", "-r", "44100", "-T", "wav", "-O", "s16",
                    "-F", wav, SOUND_FONT, midi], check=True, stdout=subprocess.DEVNULL)
    # Cut to the song's length (the rendering rings on after the last note).
    with wave.open(wav, "rb") as f:
        params = f.getparams()
        frames = f.readframes(min(f.getnframes(), int(round(seconds * 44100))))
    with wave.open(wav, "wb") as f:
        f.setparams(params)
        f.writeframes(frames)


def truth(song, seconds):
    beat = 60.0 / song.bpm
    beats, positions = [], []
    i = 0
    while i * beat < seconds - 1e-6:
        beats.append(round(i * beat, 6))
        positions.append(i % song.beats_per_bar + 1)
        i += 1
    bar = beat * song.beats_per_bar
    chords = []
    for b, root, minor in song.chords:
        start = b * bar
        if start >= seconds:
            break
        chords.append([round(start, 6), round(min(seconds, start + bar), 6),
                       NAMES[root] + (":min" if minor else ":maj")])
    if song.short_bar is not None:
        # Beats counted bar by bar: the bar of 2/4 has two.
        beats, positions, chords = [], [], []
        for b, root, minor in song.chords:
            start = song.bar_start(b) / song.beat_ticks * beat
            if start >= seconds - 1e-6:
                break
            for k in range(song.bar_beats(b)):
                if start + k * beat < seconds - 1e-6:
                    beats.append(round(start + k * beat, 6))
                    positions.append(k + 1)
            chords.append([round(start, 6), round(min(seconds, start + song.bar_beats(b) * beat), 6),
                           NAMES[root] + (":min" if minor else ":maj")])
    return {
        "beats": beats, "beat_positions": positions,
        "downbeats": [t for t, p in zip(beats, positions) if p == 1],
        "tempo_bpm": float(song.bpm), "tempo_map": [[0.0, float(song.bpm)]],
        "meter": f"{song.numerator}/{song.denominator}", "beats_per_bar": song.beats_per_bar,
        "steady": True, "chords": chords,
        "key": NAMES[song.key] + (" minor" if song.minor else " major"),
        "name": song.name, "audio": song.name + ".wav", "duration": seconds, "set": song.group,
        "format": {"rate": 44100, "channels": 2, "bits": 16, "container": "wav", "supported": True},
    }


def plan(which):
    songs = []
    if which in ("main", "all"):
        waltz_styles = ["oompah", "arpeggio", "pad", "melody", "swing"]
        for i, bpm in enumerate([80, 94, 108, 122, 136, 150, 165, 180]):
            for j, style in enumerate(waltz_styles):
                key = (i * 5 + j * 7) % 12
                minor = (i + j) % 3 == 0
                songs.append((f"w{bpm:03d}_{style}", "waltz", 3, 4, bpm, 60.0, style, key, minor))
        compound = [(6, 50, "longshort"), (6, 60, "jig"), (6, 72, "carpeggio"), (6, 84, "jig"),
                    (6, 96, "longshort"), (6, 110, "jig"), (6, 66, "shuffle"),
                    (9, 50, "carpeggio"), (9, 66, "jig"), (9, 80, "longshort"), (9, 96, "jig"),
                    (12, 44, "shuffle"), (12, 52, "longshort"), (12, 60, "carpeggio"), (12, 72, "shuffle"),
                    (12, 84, "jig")]
        for n, (num, bpm, style) in enumerate(compound):
            songs.append((f"c{num:02d}8_{bpm:03d}_{style}", "compound", num, 8, bpm, 60.0, style,
                          (n * 5 + 2) % 12, n % 2 == 1))
    if which == "lilt":
        # Waltzes whose beats sound long-short, against slow 12/8 shuffles.
        for i, bpm in enumerate([120, 132, 144, 150, 156, 168, 180]):
            for j, style in enumerate(["lilt", "halfquarter"]):
                songs.append((f"l{bpm:03d}_{style}", "waltz", 3, 4, bpm, 45.0, style, (i * 5 + j * 7) % 12,
                              (i + j) % 2 == 0))
        for n, bpm in enumerate([40, 44, 48, 52]):
            songs.append((f"c128_{bpm:03d}_shuffle", "compound", 12, 8, bpm, 60.0, "shuffle", (n * 5 + 2) % 12,
                          n % 2 == 1))
    if which == "swingmix":
        # 4/4 for a full band, eighths straight, swung and mixed, 90-130.
        for i, bpm in enumerate([90, 93, 97, 100, 104, 107, 110, 114, 117, 120, 124, 127, 130, 112]):
            songs.append((f"x{bpm:03d}_swingmix", "swingmix", 4, 4, bpm, float(60 + 60 * ((i * 5) % 14) // 13),
                          "swingmix", (i * 5) % 12, i % 3 == 1))
        # The band in quarter-note triplets over two beats, its backbeat soft.
        for i, bpm in enumerate([98, 104, 110]):
            songs.append((f"x{bpm:03d}_swingband", "swingmix", 4, 4, bpm, 60.0, "swingband", (i * 7 + 3) % 12, i == 1))
    if which == "sixteenths":
        # Electronic 4/4 in sixteenths, 100-140, every second song with a
        # bar of 2/4.
        for i, bpm in enumerate([100, 103, 106, 109, 112, 115, 118, 121, 124, 127, 130, 134, 137, 140]):
            style = "sixteenths24" if i % 2 else "sixteenths"
            songs.append((f"t{bpm:03d}_{style}", "sixteenths", 4, 4, bpm, float(60 + 60 * ((i * 3) % 14) // 13),
                          style, (i * 7) % 12, i % 3 == 2))
    if which in ("short", "all"):
        clips = [(4, 4, 92, "pop"), (4, 4, 112, "stabs"), (4, 4, 128, "ballad"),
                 (3, 4, 100, "oompah"), (3, 4, 138, "arpeggio"), (3, 4, 160, "melody"),
                 (6, 8, 60, "longshort"), (6, 8, 72, "jig"), (6, 8, 92, "carpeggio")]
        for n, (num, den, bpm, style) in enumerate(clips):
            for seconds in (5.0, 8.0, 9.0):
                songs.append((f"s{num}{den}_{bpm:03d}_{style}_{int(seconds)}s", "short", num, den, bpm, seconds,
                              style, (n * 7) % 12, n % 3 == 2))
    return songs


def reseeded(songs, seed):
    """The plan's songs with other keys and tempi for `seed` > 0, as
    (song seed, plan entry); seed 0 gives the plan as it stands."""
    out = []
    taken = set()
    for index, (name, group, num, den, bpm, seconds, style, key, minor) in enumerate(songs):
        if seed <= 0:
            out.append((1000 + index, (name, group, num, den, bpm, seconds, style, key, minor)))
            continue
        rng = random.Random(seed * 100003 + index)
        moved = int(round(bpm * rng.uniform(0.94, 1.06)))
        planned = name
        # Two songs of one style moved onto the same tempo would share a
        # file name, the second overwriting the first; the later one moves
        # on by a BPM.
        while True:
            name = planned.replace(f"_{bpm:03d}", f"_{moved:03d}", 1) if f"_{bpm:03d}" in planned else \
                planned.replace(f"{bpm:03d}", f"{moved:03d}", 1)
            if (group, name) not in taken:
                break
            moved += 1
        taken.add((group, name))
        key = (key + rng.randrange(1, 12)) % 12
        minor = rng.random() < 0.4
        out.append((1000 + index + 100000 * seed, (name, group, num, den, moved, seconds, style, key, minor)))
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("out")
    ap.add_argument("--set", default="all", choices=["main", "short", "all", "lilt", "swingmix", "sixteenths"])
    ap.add_argument("--seed", type=int, default=0)
    a = ap.parse_args()
    items = []
    for seed, (name, group, num, den, bpm, seconds, style, key, minor) in reseeded(plan(a.set), a.seed):
        folder = os.path.join(a.out, group)
        os.makedirs(folder, exist_ok=True)
        song = build(name, group, num, den, bpm, seconds, style, key, minor, seed)
        midi = os.path.join(folder, name + ".mid")
        wav = os.path.join(folder, name + ".wav")
        write_midi(song, midi)
        render(midi, wav, seconds)
        gt = truth(song, seconds)
        with open(os.path.join(folder, name + ".json"), "w", encoding="utf-8") as f:
            json.dump(gt, f)
        items.append({"set": group, "name": name, "audio": f"{group}/{name}.wav", "gt": f"{group}/{name}.json",
                      "duration": seconds, "description": f"{num}/{den} at {bpm}, {style}"})
        print(name)
    with open(os.path.join(a.out, "index.json"), "w", encoding="utf-8") as f:
        json.dump({"items": items}, f, indent=1)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Measures how late fluidsynth's render of a soundfont sounds a note after its tick.

A MIDI file's beat times are exact, but the rendered audio starts each note a few
milliseconds later: fluidsynth works in 64-sample blocks and its drum samples start
on a short ramp. The beats heard in a render are the ticks plus this delay, so the
MIDI rows of songs.tsv add it to their first beat, and align.py's lag is measured
against it.

For each soundfont, a kick then a snare on every beat of 120 BPM from tick 0 (16 of
each) are rendered as make.py renders songs, and each hit's start is the first
sample above 1% of its peak. Prints the median over the 32 hits, and their range.

Usage: renderdelay.py SOUNDFONT_NAME...
"""
import array
import os
import statistics
import struct
import subprocess
import sys
import tempfile
import wave

import make

RATE = 44100
BEAT_S = 0.5


def write_hits(path, notes, count=16):
    tpq = 480
    ev = b"\x00\xff\x51\x03" + round(1e6 * BEAT_S).to_bytes(3, "big")  # one beat per tpq
    first = True
    for note in notes:
        for _ in range(count):
            ev += (b"\x00" if first else b"\x83\x60") + bytes([0x99, note, 0x7F])
            ev += bytes([0x00, 0x89, note, 0x00])
            first = False
    ev += b"\x00\xff\x2f\x00"
    trk = b"MTrk" + struct.pack(">I", len(ev)) + ev
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, tpq) + trk)


def delays(soundfont_name, notes=(36, 38), count=16):
    with tempfile.TemporaryDirectory() as tmp:
        mid = os.path.join(tmp, "hits.mid")
        out = os.path.join(tmp, "hits.wav")
        write_hits(mid, notes, count)
        subprocess.run(["fluidsynth", "-ni", "-q", "-F", out, "-r", str(RATE), make.soundfont(soundfont_name), mid],
                       check=True, stdout=subprocess.DEVNULL)
        with wave.open(out) as w:
            ch = w.getnchannels()
            pcm = array.array("h")
            pcm.frombytes(w.readframes(w.getnframes()))
    if sys.byteorder == "big":
        pcm.byteswap()
    level = [max(abs(pcm[i]), abs(pcm[i + ch - 1])) for i in range(0, len(pcm) - ch + 1, ch)]
    found = []
    for k in range(len(notes) * count):
        at = int(k * BEAT_S * RATE)
        hit = level[at:at + RATE // 10]
        peak = max(hit)
        found.append(next(i for i, v in enumerate(hit) if v > 0.01 * peak) * 1000.0 / RATE)
    return found


def main():
    for name in sys.argv[1:]:
        d = delays(name)
        print("%s: median %.2f ms, range %.2f-%.2f over %d hits" % (name, statistics.median(d), min(d), max(d), len(d)))


if __name__ == "__main__":
    main()

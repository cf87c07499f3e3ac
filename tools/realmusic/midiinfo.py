#!/usr/bin/env python3
"""Reads a Standard MIDI File and prints what the tempo truth needs.

Beats are taken on the file's own grid: tick 0 is a beat and every
ticks-per-quarter after it is one (only x/4 metres are accepted, so a beat is a
quarter note). fluidsynth renders from tick 0, so a tick t sounds at
t * usec_per_quarter / ticks_per_quarter microseconds into the render. The first
beat reported is the grid beat the music starts on: the first note's tick
rounded to the nearest beat when it lies within an eighth of a beat of one
(players' early or late hits), else the next beat after it (a pickup).

Usage: midiinfo.py FILE.mid   -> key: value lines
       midiinfo.py --click OUT.mid BPM  -> writes a test file: a drum hit on
       every beat from tick 0, to measure a renderer's lead-in.
"""
import struct
import sys


def read_var(data, pos):
    value = 0
    while True:
        b = data[pos]
        pos += 1
        value = (value << 7) | (b & 0x7F)
        if not b & 0x80:
            return value, pos


def parse(path):
    data = open(path, "rb").read()
    if data[:4] == b"RIFF":  # RMID wrapper
        data = data[data.index(b"MThd"):]
    if data[:4] != b"MThd":
        raise ValueError("not a MIDI file")
    hlen = struct.unpack(">I", data[4:8])[0]
    fmt, ntracks, division = struct.unpack(">HHH", data[8:14])
    if division & 0x8000:
        raise ValueError("SMPTE time division")
    pos = 8 + hlen
    tempos, timesigs, notes = [], [], []  # notes: (tick, channel, key, velocity)
    for _ in range(ntracks):
        while data[pos:pos + 4] != b"MTrk":
            if pos + 8 > len(data):
                raise ValueError("missing track")
            pos += 8 + struct.unpack(">I", data[pos + 4:pos + 8])[0]
        tlen = struct.unpack(">I", data[pos + 4:pos + 8])[0]
        p, end = pos + 8, pos + 8 + tlen
        pos = end
        tick, status = 0, 0
        while p < end:
            delta, p = read_var(data, p)
            tick += delta
            b = data[p]
            if b & 0x80:
                status = b
                p += 1
            if status == 0xFF:
                mtype = data[p]
                mlen, p = read_var(data, p + 1)
                body = data[p:p + mlen]
                p += mlen
                if mtype == 0x51:
                    tempos.append((tick, (body[0] << 16) | (body[1] << 8) | body[2]))
                elif mtype == 0x58:
                    timesigs.append((tick, body[0], 1 << body[1]))
                elif mtype == 0x2F:
                    break
            elif status in (0xF0, 0xF7):
                slen, p = read_var(data, p)
                p += slen
            else:
                kind = status & 0xF0
                nbytes = 1 if kind in (0xC0, 0xD0) else 2
                args = data[p:p + nbytes]
                p += nbytes
                if kind == 0x90 and args[1] > 0:
                    notes.append((tick, status & 0x0F, args[0], args[1]))
    return division, sorted(tempos), sorted(timesigs), sorted(notes)


def info(path):
    tpq, tempos, timesigs, notes = parse(path)
    distinct = sorted({t for _, t in tempos}) or [500000]
    usec = tempos[0][1] if tempos else 500000
    out = {"ticks-per-quarter": tpq, "tempo-events": len(tempos),
           "distinct-tempos": len(distinct), "usec-per-quarter": usec,
           "bpm": "%.4f" % (60e6 / usec),
           "time-signatures": " ".join("%d/%d@%d" % (n, d, t) for t, n, d in timesigs) or "none",
           "notes": len(notes)}
    if len(distinct) > 1:
        out["tempo-list"] = " ".join("%d@%d" % (u, t) for t, u in tempos)
    drums = [n for n in notes if n[1] == 9]
    out["drum-notes"] = len(drums)
    if notes:
        first = notes[0][0]
        beat, frac = divmod(first, tpq)
        if frac > tpq / 8:  # not close after a beat: a pickup, or late
            beat += 1  # ...unless close before the next one, same result
        out["first-note-tick"] = first
        out["first-note-ms"] = "%.3f" % (first * usec / tpq / 1000)
        out["first-beat-tick"] = beat * tpq
        out["first-beat-ms"] = "%.3f" % (beat * tpq * usec / tpq / 1000)
        out["last-note-ms"] = "%.1f" % (notes[-1][0] * usec / tpq / 1000)
    if drums:
        out["first-drum-tick"] = drums[0][0]
        # Share of drum hits on the beat and on the eighth grid: shows the
        # grid from tick 0 really is the music's grid.
        on_beat = sum(1 for n in drums if min(n[0] % tpq, tpq - n[0] % tpq) <= tpq // 16)
        half = tpq // 2
        on_eighth = sum(1 for n in drums if min(n[0] % half, half - n[0] % half) <= tpq // 16)
        out["drums-on-beat"] = "%.2f" % (on_beat / len(drums))
        out["drums-on-eighth"] = "%.2f" % (on_eighth / len(drums))
    return out


def write_click(path, bpm):
    tpq = 480
    usec = round(60e6 / bpm)
    ev = b"\x00\xff\x51\x03" + usec.to_bytes(3, "big")
    for i in range(16):
        ev += (b"\x00" if i == 0 else b"\x83\x60") + b"\x99\x26\x7f"  # snare, 480 ticks apart
        ev += b"\x00\x89\x26\x00"
    ev += b"\x00\xff\x2f\x00"
    trk = b"MTrk" + struct.pack(">I", len(ev)) + ev
    hdr = b"MThd" + struct.pack(">IHHH", 6, 0, 1, tpq)
    open(path, "wb").write(hdr + trk)


if __name__ == "__main__":
    if sys.argv[1] == "--click":
        write_click(sys.argv[2], float(sys.argv[3]))
    else:
        for k, v in info(sys.argv[1]).items():
            print("%s: %s" % (k, v))

#!/usr/bin/env python3
"""Reads a ProTracker-style MOD and prints what the tempo truth needs.

A row lasts 2.5 * speed / BPM seconds (speed in ticks per row, BPM the
tracker's, defaults 6 and 125). With four rows to a beat, the layout of nearly
every MOD, the tempo is 6 * BPM / speed beats a minute. Every speed or BPM
command (Fxx) and pattern delay (EEx) in the patterns that are played is
listed: a piece with any that changes the timing has no constant tempo. The
first beat is the first row with a note, taken up to a multiple of four rows.

Usage: modinfo.py FILE.mod
"""
import sys

SIGS = {b"M.K.": 4, b"M!K!": 4, b"FLT4": 4, b"4CHN": 4, b"6CHN": 6, b"8CHN": 8, b"FLT8": 8}


def info(path):
    data = open(path, "rb").read()
    sig = data[1080:1084]
    if sig not in SIGS:
        raise ValueError("not a 31-sample MOD")
    nch = SIGS[sig]
    length = data[950]
    orders = list(data[952:952 + length])
    npat = max(data[952:1080]) + 1
    base = 1084
    speed, bpm = 6, 125
    changes = []
    first_note = None
    row_index = 0
    seen = set()
    for pos, pat in enumerate(orders):
        start = base + pat * 64 * nch * 4
        for row in range(64):
            stop = False
            for ch in range(nch):
                c = data[start + (row * nch + ch) * 4: start + (row * nch + ch) * 4 + 4]
                period = ((c[0] & 0x0F) << 8) | c[1]
                eff, par = c[2] & 0x0F, c[3]
                if period and first_note is None:
                    first_note = row_index
                if eff == 0xF and par:
                    if row_index == 0:
                        if par < 0x20:
                            speed = par
                        else:
                            bpm = par
                    elif (par < 0x20 and par != speed) or (par >= 0x20 and par != bpm):
                        changes.append("F%02X@%d" % (par, row_index))
                if eff == 0xE and par >> 4 == 0xE and par & 0xF:
                    changes.append("EE%X@%d" % (par & 0xF, row_index))
                if eff in (0xB, 0xD):
                    stop = True
            row_index += 1
            if stop:
                break
        seen.add(pat)
    out = {"channels": nch, "orders": length, "patterns": npat, "speed": speed, "tracker-bpm": bpm,
           "bpm": "%.4f" % (6.0 * bpm / speed), "rows-played": row_index,
           "timing-changes": " ".join(changes) or "none"}
    if first_note is not None:
        beat_row = -(-first_note // 4) * 4
        out["first-note-row"] = first_note
        out["first-beat-ms"] = "%.3f" % (beat_row * 2500.0 * speed / bpm)
    return out


if __name__ == "__main__":
    for k, v in info(sys.argv[1]).items():
        print("%s: %s" % (k, v))

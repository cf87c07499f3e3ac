#!/usr/bin/env python3
"""Checks a tempo and first beat against a song's attacks, and refines them.

Decodes the song with sox to mono 22.05 kHz, builds an attack curve (rise of
log energy over 2 ms hops), and for every beat of the given grid takes the
strongest attack within a fifth of a beat of it. Beats whose attack is strong
(top share of the curve) are fitted by a straight line: time = t0 + k * period,
with outliers dropped, twice. Prints the fitted tempo and first beat, the
median offset of the attacks from the given grid in each third of the song,
and how many beats had a strong attack. A grid that holds gives offsets of a
few ms in all three thirds; a wrong tempo shows as a drift, a wrong phase as an
offset that is the same everywhere.

The attack curve leads the sound a few ms; its lag (measured on renders of MIDI
files whose beats are known exactly, their ticks plus fluidsynth's delay, see
README) is taken off so the reported first beat is where the beats are heard.

With --scan, BPM is only a seed: tempos within 1.5% of it (and 2/3, 3/2, 1/2
and 2 times it) are tried in steps of 0.01 BPM with every phase in 4 ms steps,
and the best grid near the seed itself (its beats carry the most attack over
the curve's mean; the others are printed to judge octaves by) is fitted as above; FIRST_BEAT_MS is then ignored.

Usage: align.py SONG BPM FIRST_BEAT_MS [--lag MS] [--click OUT.wav] [--scan]
  --click writes the song mixed with a click on the fitted grid, to listen to.
"""
import array
import math
import subprocess
import sys

RATE = 22050
HOP = 44  # 2 ms
WIN = 220  # 10 ms


def attack_curve(path):
    raw = subprocess.run(["sox", path, "-t", "s16", "-e", "signed", "-c", "1", "-r", str(RATE), "-",
                          "highpass", "60"], capture_output=True, check=True).stdout
    s = array.array("h")
    s.frombytes(raw[: len(raw) // 2 * 2])
    if sys.byteorder == "big":
        s.byteswap()
    n = (len(s) - WIN) // HOP
    sq = [x * x for x in s]
    # running sum of squares over WIN samples, sampled every HOP
    csum = [0]
    acc = 0
    for v in sq:
        acc += v
        csum.append(acc)
    loge = [math.log10(1 + (csum[i * HOP + WIN] - csum[i * HOP]) / WIN) for i in range(n)]
    curve = [0.0] * n
    for i in range(3, n):
        d = loge[i] - loge[i - 3]
        curve[i] = d if d > 0 else 0.0
    # where the music starts: first 10 ms window within 40 dB of the loudest
    top = max(loge) if loge else 0
    start = next((i for i, v in enumerate(loge) if v >= top - 4.0), 0)
    return curve, len(s) / RATE, start * 1000.0 * HOP / RATE


def fit(curve, period_ms, t0_ms, duration_s, strong):
    hop_ms = 1000.0 * HOP / RATE
    pts = []
    k = 0
    while True:
        t = t0_ms + k * period_ms
        if t > duration_s * 1000 - 50:
            break
        if t >= 0:
            lo = int((t - period_ms / 5) / hop_ms)
            hi = int((t + period_ms / 5) / hop_ms) + 1
            lo, hi = max(lo, 0), min(hi, len(curve))
            if hi > lo:
                j = max(range(lo, hi), key=lambda i: curve[i])
                # window centre: the rise spans frames j-3..j, centre the attack
                tj = (j - 3) * hop_ms + WIN / RATE * 1000 / 2
                if curve[j] >= strong:
                    pts.append((k, tj))
        k += 1
    return pts


def linfit(pts):
    n = len(pts)
    mk = sum(k for k, _ in pts) / n
    mt = sum(t for _, t in pts) / n
    skk = sum((k - mk) ** 2 for k, _ in pts)
    skt = sum((k - mk) * (t - mt) for k, t in pts)
    p = skt / skk
    return mt - p * mk, p


def scan_grid(curve, seed):
    hop_ms = 1000.0 * HOP / RATE
    # peak over +-2 frames so a grid point need not hit the exact frame
    near = [max(curve[max(0, i - 2):i + 3]) for i in range(len(curve))]
    mean = sum(near) / len(near)
    results = []
    for mult in (1.0, 2.0 / 3, 1.5, 0.5, 2.0):
        centre = seed * mult
        if not 60 <= centre <= 240:
            continue
        top = (0.0, centre, 0.0)
        steps = int(centre * 0.015 / 0.01)
        for j in range(-steps, steps + 1):
            b = centre + j * 0.01
            period = 60000.0 / b / hop_ms  # in frames
            n = int(len(near) / period)
            for ph in range(0, int(period), 2):
                score = sum(near[int(ph + k * period)] for k in range(n)) / n
                if score > top[0]:
                    top = (score, b, ph * hop_ms)
        results.append(top)
    for sc, b, ph in results:
        print("scan: bpm %.2f phase %.0f ms  beat attack %.2fx the mean" % (b, ph, sc / mean))
    # slower grids always score higher (they keep only the strongest beats), so
    # the others are shown for judgement and the seed's own tempo is kept
    return results[0][1], results[0][2]


def median(v):
    v = sorted(v)
    return v[len(v) // 2] if v else float("nan")


def main():
    args = sys.argv[1:]
    lag = -5.3  # attacks found this far before the beats heard, median over the MIDI renders
    click = None
    if "--lag" in args:
        i = args.index("--lag")
        lag = float(args[i + 1])
        del args[i:i + 2]
    if "--click" in args:
        i = args.index("--click")
        click = args[i + 1]
        del args[i:i + 2]
    scan = "--scan" in args
    if scan:
        args.remove("--scan")
    song, bpm, t0 = args[0], float(args[1]), float(args[2])
    curve, dur, start_ms = attack_curve(song)
    if scan:
        bpm, t0 = scan_grid(curve, bpm)
    strong = sorted(curve)[int(len(curve) * 0.97)]
    period = 60000.0 / bpm
    pts = fit(curve, period, t0, dur, strong)
    nbeats = int((dur * 1000 - t0) / period)
    thirds = [[], [], []]
    for k, t in pts:
        thirds[min(2, int(3 * k / max(nbeats, 1)))].append(t - (t0 + k * period) - lag)
    print("given: bpm %.3f first-beat-ms %.1f  beats %d with strong attack %d" % (bpm, t0, nbeats, len(pts)))
    print("offset of attacks from given grid (median ms) start/middle/end: %s" %
          " ".join("%+.1f(n=%d)" % (median(x), len(x)) for x in thirds))
    a, p = t0, period
    for _ in range(3):
        if len(pts) < 8:
            break
        a, p = linfit(pts)
        res = [t - (a + k * p) for k, t in pts]
        tol = max(6.0, 2.5 * median([abs(r) for r in res]))
        pts = [(k, t) for (k, t), r in zip(pts, res) if abs(r) <= tol]
    if len(pts) >= 8:
        res = [t - (a + k * p) for k, t in pts]
        a -= lag
        # the grid beat the music starts on: the first at or after its start less an eighth of a beat
        first = a + math.ceil((start_ms - p / 8 - a) / p) * p
        if first < 0:
            first += p if first < -5 else -first
        print("fitted: bpm %.4f first-beat-ms %.1f  (music starts %.0f ms; beats used %d, residual median |%.1f| ms)" %
              (60000.0 / p, first, start_ms, len(pts), median([abs(r) for r in res])))
        if click:
            subprocess.run(["sox", "-n", "-r", "44100", "-c", "1", "/tmp/_click1.wav", "synth", "0.01", "square", "2000",
                            "pad", "%.4f" % (first / 1000), "%.4f" % ((p - 10) / 1000)], check=True)
            reps = int(dur * 1000 / p)
            subprocess.run(["sox", "/tmp/_click1.wav", "/tmp/_clicks.wav", "repeat", str(reps)], check=True)
            subprocess.run(["sox", "-m", song, "-v", "0.3", "/tmp/_clicks.wav", click, "remix", "1", "trim", "0", str(dur)],
                           check=False)


if __name__ == "__main__":
    main()

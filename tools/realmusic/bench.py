#!/usr/bin/env python3
"""Runs tavix-tempo and three other tempo finders side by side on the songs of
songs.tsv (made by make.py) and compares them with the truths.

Tools: tavix-tempo; aubio (`aubio tempo`); bpm-tools (`bpm`, fed mono float
samples by sox as its manual says); essentia.js RhythmExtractor2013
(multifeature) under node, through essentia-rhythm.js, fed raw float32 by sox.
Each tool's CPU time is the user+sys time of its whole process tree (decoding
with sox included for the two that need it) and its memory the largest
resident set of any process in it, both from wait4's rusage. A tool's fixed
size (its program and libraries, read on a second of silence) is also shown,
and the memory a song costs beyond it.

Usage: bench.py [--tavix PATH] [--cache DIR] [--essentia DIR] [--csv FILE]
                [--only ID,ID] [--tools tavix,aubio,bpm,essentia]
"""
import argparse
import csv
import os
import re
import selectors
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make  # noqa: E402

FACTORS = [(1.0, "ok"), (2.0, "x2"), (0.5, "/2"), (1.5, "x3/2"), (2.0 / 3, "x2/3")]


class Meter:
    """Measures one child process tree by forking through wait4."""

    @staticmethod
    def run(cmd, shell=False):
        r, w = os.pipe()
        er, ew = os.pipe()
        pid = os.fork()
        if pid == 0:
            os.close(r)
            os.close(er)
            os.dup2(w, 1)
            os.dup2(ew, 2)
            devnull = os.open(os.devnull, os.O_RDONLY)
            os.dup2(devnull, 0)
            try:
                if shell:
                    os.execvp("/bin/sh", ["/bin/sh", "-c", cmd])
                else:
                    os.execvp(cmd[0], cmd)
            except OSError:
                os._exit(127)
        os.close(w)
        os.close(ew)
        out = bytearray()
        err = bytearray()
        sel = selectors.DefaultSelector()
        sel.register(r, selectors.EVENT_READ, out)
        sel.register(er, selectors.EVENT_READ, err)
        open_fds = 2
        while open_fds:
            for key, _ in sel.select():
                chunk = os.read(key.fd, 65536)
                if chunk:
                    key.data.extend(chunk)
                else:
                    sel.unregister(key.fd)
                    os.close(key.fd)
                    open_fds -= 1
        _, status, ru = os.wait4(pid, 0)
        rc = os.waitstatus_to_exitcode(status)
        return (out.decode(errors="replace"), err.decode(errors="replace"), rc,
                ru.ru_utime + ru.ru_stime, ru.ru_maxrss)


def parse_tavix(text):
    res = {"candidates": []}
    in_cands = False
    for line in text.splitlines():
        m = re.match(r"^(bpm|first-beat-ms|confidence|constant):\s*(\S+)", line)
        if m:
            in_cands = False
            key, val = m.group(1), m.group(2)
            res[key] = val if key == "constant" else float(val)
            continue
        if line.startswith("candidates:"):
            in_cands = True
            rest = line[len("candidates:"):].strip()
            if rest:
                res["candidates"] += [float(x) for x in re.findall(r"(\d+(?:\.\d+)?)\s+score", rest)]
            continue
        if in_cands:
            m = re.match(r"^\s+(\d+(?:\.\d+)?)\s+score\s+(\S+)(?:\s+first-beat-ms\s+(\S+))?", line)
            if m:
                res["candidates"].append(float(m.group(1)))
            else:
                in_cands = False
    return res


def mark(est, truth):
    if est is None or est <= 0:
        return "none"
    if abs(est - truth) <= 0.05:
        return "ok"
    for f, name in FACTORS:
        if abs(est - truth * f) <= 0.01 * truth * f:
            return "~" if f == 1.0 else name
    return "wrong"


def phase_error(fb, truth_fb, truth_bpm):
    period = 60000.0 / truth_bpm
    return (fb - truth_fb + period / 2) % period - period / 2


def tool_cmds(args, song, raw):
    q = shlex.quote
    return {
        "tavix": ([args.tavix, song], False),
        "aubio": (["aubio", "tempo", song], False),
        "bpm": ("sox %s -t raw -r 44100 -e float -c 1 - 2>/dev/null | bpm" % q(song), True),
        "essentia": ("sox %s -t f32 -e floating-point -L -c 1 -r 44100 %s 2>/dev/null && node %s %s %s" %
                     (q(song), q(raw), q(os.path.join(HERE, "essentia-rhythm.js")), q(args.essentia), q(raw)),
                     True),
    }


def parse_simple(tool, out):
    if tool == "aubio":
        m = re.search(r"(\d+(?:\.\d+)?)\s*bpm", out)
        return {"bpm": float(m.group(1))} if m else {}
    if tool == "bpm":
        m = re.search(r"(\d+(?:\.\d+)?)", out)
        return {"bpm": float(m.group(1))} if m else {}
    if tool == "essentia":
        res = {}
        for key in ("bpm", "first-beat-ms", "confidence"):
            m = re.search(r"^%s:\s*(\S+)" % key, out, re.M)
            if m and m.group(1) != "nan":
                res[key] = float(m.group(1))
        return res
    return parse_tavix(out)


def fmt(v, pattern="%.2f"):
    return "-" if v is None else pattern % v


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tavix", default="build/app/tavix-tempo")
    ap.add_argument("--cache", default=os.path.join(os.environ.get("XDG_CACHE_HOME") or
                                                    os.path.expanduser("~/.cache"), "tavix-realmusic"))
    ap.add_argument("--essentia", default=None, help="node_modules folder holding essentia.js")
    ap.add_argument("--csv", default=None)
    ap.add_argument("--only", default=None)
    ap.add_argument("--tools", default="tavix,aubio,bpm,essentia")
    args = ap.parse_args()
    if os.path.isdir(args.tavix):  # the build puts the binary in a folder of its name
        args.tavix = os.path.join(args.tavix, "tavix-tempo")
    args.tavix = os.path.abspath(args.tavix)
    if args.essentia is None:
        args.essentia = os.path.join(args.cache, "node", "node_modules")
    tools = args.tools.split(",")
    notes = []
    if "essentia" in tools and not os.path.exists(os.path.join(args.essentia, "essentia.js")):
        notes.append("essentia.js not found under %s: left out" % args.essentia)
        tools.remove("essentia")
    for t, exe in (("aubio", "aubio"), ("bpm", "bpm"), ("tavix", args.tavix)):
        if t in tools and not shutil.which(exe):
            notes.append("%s not found (%s): left out" % (t, exe))
            tools.remove(t)
    rows = make.read_table()
    if args.only:
        keep = set(args.only.split(","))
        rows = [r for r in rows if r["id"] in keep]
    tmpdir = tempfile.mkdtemp(prefix="tavix-bench-")
    raw = os.path.join(tmpdir, "song.f32")
    # Each tool's fixed size (its program and libraries) read on a second of silence, so
    # the memory a song costs can be told from it.
    silence = os.path.join(tmpdir, "silence.flac")
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", silence, "trim", "0", "1"], check=True)
    fixed = {}
    for t in tools:
        cmd, shell = tool_cmds(args, silence, raw)[t]
        fixed[t] = Meter.run(cmd, shell)[4] * 1024
        if os.path.exists(raw):
            os.remove(raw)
    results = []
    for row in rows:
        song = os.path.join(args.cache, "songs", row["id"] + ".flac")
        if not os.path.exists(song):
            notes.append("%s: %s missing (run make first): left out" % (row["id"], song))
            continue
        info = subprocess.run(["soxi", "-s", song], capture_output=True, text=True).stdout.strip()
        chans = subprocess.run(["soxi", "-c", song], capture_output=True, text=True).stdout.strip()
        frames = int(info)
        res = {"row": row, "truth": float(row["bpm"]), "fb": float(row["first_beat_ms"]),
               "dur": frames / 44100.0, "decoded": frames * int(chans) * 4}
        cmds = tool_cmds(args, song, raw)
        for t in tools:
            cmd, shell = cmds[t]
            out, err, rc, cpu, rss = Meter.run(cmd, shell)
            parsed = parse_simple(t, out) if rc == 0 else {}
            if rc != 0 and t == "essentia" and not any("essentia failed" in n for n in notes):
                notes.append("essentia failed under node on %s: %s" % (row["id"], err.strip().splitlines()[-1:]))
            parsed["cpu"] = cpu
            parsed["rss"] = rss * 1024
            parsed["fixed"] = fixed[t]
            res[t] = parsed
        if os.path.exists(raw):
            os.remove(raw)
        results.append(res)
        print_row(res, tools, first=(len(results) == 1))
        sys.stdout.flush()
    shutil.rmtree(tmpdir, ignore_errors=True)
    summary(results, tools)
    for n in notes:
        print("note:", n)
    if args.csv and "tavix" in tools:
        write_csv(args.csv, results)


def print_row(res, tools, first):
    if first:
        head = "%-4s %-9s %8s %8s" % ("id", "kind", "bpm", "beat-ms")
        for t in tools:
            head += " | %-30s" % "tavix bpm mark beat conf phase" if t == "tavix" else " | %-14s" % t
        head += " | tavix candidates"
        print(head)
    line = "%-4s %-9s %8.2f %8.1f" % (res["row"]["id"], res["row"]["kind"], res["truth"], res["fb"])
    for t in tools:
        r = res[t]
        m = mark(r.get("bpm"), res["truth"])
        if t == "tavix":
            pe = None
            if m == "ok" and "first-beat-ms" in r:
                pe = phase_error(r["first-beat-ms"], res["fb"], res["truth"])
            line += " | %7s %-5s %5s %4s %5s" % (fmt(r.get("bpm")), m, fmt(r.get("first-beat-ms"), "%.0f"),
                                                 fmt(r.get("confidence")), fmt(pe, "%+.0f"))
        else:
            line += " | %7s %-6s" % (fmt(r.get("bpm")), m)
    if "tavix" in tools:
        c = res["tavix"].get("candidates", [])
        line += " | " + (" ".join("%.2f" % x for x in c) if c else "-")
    print(line)


def summary(results, tools):
    n = len(results)
    if not n:
        print("no songs")
        return
    print()
    print("summary over %d songs (%d recordings)" % (n, sum(r["row"]["kind"] == "recording" for r in results)))
    print("%-9s %6s %9s %6s %6s %6s %9s %9s %6s %8s %8s %9s %9s %8s %9s" % (
        "tool", "ok", "ok+beat", "near", "octave", "wrong", "ph-med", "ph-worst", "cands",
        "cpu/song", "cpu/4min", "peak-MB", "mem/dec", "fixed-MB", "song/dec"))
    for t in tools:
        marks = [mark(r[t].get("bpm"), r["truth"]) for r in results]
        ok = marks.count("ok")
        near = marks.count("~")
        octave = sum(m in ("x2", "/2", "x3/2", "x2/3") for m in marks)
        wrong = n - ok - near - octave
        phases = []
        okbeat = None
        if t in ("tavix", "essentia"):
            okbeat = 0
            for r, m in zip(results, marks):
                if m == "ok" and "first-beat-ms" in r[t]:
                    pe = abs(phase_error(r[t]["first-beat-ms"], r["fb"], r["truth"]))
                    phases.append(pe)
                    okbeat += pe <= 10
        cands = None
        if t == "tavix":
            cands = sum(1 for r in results
                        if any(abs(c - r["truth"]) <= 0.05 for c in r[t].get("candidates", []) + [r[t].get("bpm", 0)]))
        cpu = [r[t]["cpu"] for r in results]
        cpu4 = [r[t]["cpu"] / r["dur"] * 240 for r in results]
        ratio = [r[t]["rss"] / r["decoded"] for r in results]
        peak = max(r[t]["rss"] for r in results) / 1e6
        fixed = results[0][t]["fixed"]
        song = [max(0, r[t]["rss"] - fixed) / r["decoded"] for r in results]
        print("%-9s %5.0f%% %8s %5.0f%% %5.0f%% %5.0f%% %9s %9s %6s %8.2f %8.2f %9.0f %9s %8.0f %9s" % (
            t, 100.0 * ok / n, "-" if okbeat is None else "%.0f%%" % (100.0 * okbeat / n),
            100.0 * near / n, 100.0 * octave / n, 100.0 * wrong / n,
            "-" if not phases else "%.1fms" % statistics.median(phases),
            "-" if not phases else "%.1fms" % max(phases),
            "-" if cands is None else "%.0f%%" % (100.0 * cands / n),
            statistics.mean(cpu), statistics.mean(cpu4), peak,
            "%.2f-%.2f" % (min(ratio), max(ratio)), fixed / 1e6, "%.2f-%.2f" % (min(song), max(song))))
    print("ok: within 0.05 BPM; ok+beat: and first beat within 10 ms (modulo the true beat);"
          " near: within 1% but not 0.05 BPM; octave: within 1% of x2, /2, x3/2 or x2/3;"
          " ph-med/worst: phase error of the ok songs; cands: right tempo among bpm and candidates;"
          " cpu in s (user+sys, process tree); mem/dec: peak RSS over the decoded song"
          " (frames*channels*4 bytes), least-most; fixed-MB: peak RSS on a second of silence (program and"
          " libraries); song/dec: peak RSS less that, over the decoded song")


def write_csv(path, results):
    with open(path, "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(["id", "kind", "true_bpm", "true_first_beat_ms", "bpm", "first_beat_ms", "confidence",
                    "bpm_right", "beat_right", "phase_error_ms", "candidate_right"])
        for r in results:
            t = r["tavix"]
            right = t.get("bpm") is not None and abs(t["bpm"] - r["truth"]) <= 0.05
            pe = phase_error(t["first-beat-ms"], r["fb"], r["truth"]) if right and "first-beat-ms" in t else None
            cand = any(abs(c - r["truth"]) <= 0.05 for c in t.get("candidates", []) + [t.get("bpm") or 0])
            w.writerow([r["row"]["id"], r["row"]["kind"], r["truth"], r["fb"], t.get("bpm"), t.get("first-beat-ms"),
                        t.get("confidence"), int(right), int(right and abs(pe) <= 10),
                        "" if pe is None else "%.1f" % pe, int(cand)])


if __name__ == "__main__":
    main()

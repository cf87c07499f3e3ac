#!/usr/bin/env python3
"""Makes the test songs listed in songs.tsv into CACHE/songs/ID.flac.

Each row names a Debian package and a file inside it. The package's .deb is
fetched with `apt-get download` and unpacked into CACHE/pkgs (nothing is
installed system-wide for the songs themselves). Then the file is made into
44.1 kHz 16-bit stereo FLAC:
  midi       rendered with fluidsynth and the soundfont named by sf=NAME
  module     rendered with openmpt123
  recording  decoded with sox
and the transforms are applied in order (items split by ';'):
  sf=NAME    soundfont under /usr/share/sounds/sf2 or sf3 (midi only)
  sox=EFFECTS  a sox effect chain; none of those used shifts the audio in time
               (pad does, and its length is in the row's first beat)
  noise=DB   pink noise mixed in at DB below full scale
Usage: make.py CACHE [ID...]
"""
import csv
import glob
import os
import shlex
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def read_table(path=os.path.join(HERE, "songs.tsv")):
    with open(path, newline="") as f:
        rows = [r for r in csv.DictReader(f, delimiter="\t") if r["id"] and not r["id"].startswith("#")]
    return rows


def unpack(cache, package):
    dest = os.path.join(cache, "pkgs", package)
    if os.path.isdir(dest):
        return dest
    debs = os.path.join(cache, "debs")
    os.makedirs(debs, exist_ok=True)
    found = glob.glob(os.path.join(debs, package + "_*.deb"))
    if not found:
        subprocess.run(["apt-get", "download", package], cwd=debs, check=True)
        found = glob.glob(os.path.join(debs, package + "_*.deb"))
    os.makedirs(dest + ".part", exist_ok=True)
    subprocess.run(["dpkg-deb", "-x", found[0], dest + ".part"], check=True)
    os.rename(dest + ".part", dest)
    return dest


def soundfont(name):
    for d in ("/usr/share/sounds/sf2", "/usr/share/sounds/sf3"):
        for ext in (".sf2", ".sf3"):
            p = os.path.join(d, name + ext)
            if os.path.exists(p):
                return p
    raise FileNotFoundError("soundfont " + name)


def make(cache, row):
    out = os.path.join(cache, "songs", row["id"] + ".flac")
    if os.path.exists(out):
        return out
    os.makedirs(os.path.dirname(out), exist_ok=True)
    src = os.path.join(unpack(cache, row["package"]), row["source"].lstrip("/"))
    items = [t.strip() for t in row["transforms"].split(";") if t.strip() and t.strip() != "none"]
    tmp = out + ".0.wav"
    if row["kind"] == "midi":
        sf = next((t[3:] for t in items if t.startswith("sf=")), "FluidR3_GM")
        subprocess.run(["fluidsynth", "-ni", "-q", "-F", tmp, "-r", "44100", soundfont(sf), src],
                       check=True, stdout=subprocess.DEVNULL)
    elif row["kind"] == "module":
        # openmpt123 --render writes FILE.wav beside FILE: render a copy here
        copy = out + ".src" + os.path.splitext(src)[1]
        shutil.copyfile(src, copy)
        subprocess.run(["openmpt123", "--quiet", "--render", "--force", "--samplerate", "44100",
                        "--channels", "2", "--no-float", "--repeat", "0", copy],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.rename(copy + ".wav", tmp)
        os.remove(copy)
    else:
        subprocess.run(["sox", src, "-r", "44100", "-c", "2", "-b", "16", tmp], check=True)
    step = 0
    for t in items:
        if t.startswith("sf="):
            continue
        nxt = "%s.%d.wav" % (out, step + 1)
        if t.startswith("sox="):
            subprocess.run(["sox", tmp, nxt] + shlex.split(t[4:]), check=True)
        elif t.startswith("noise="):
            dur = subprocess.run(["soxi", "-D", tmp], capture_output=True, text=True, check=True).stdout.strip()
            noise = out + ".noise.wav"
            amp = 10 ** (float(t[6:]) / 20)
            subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", noise, "synth", dur, "pinknoise",
                            "vol", "%.5f" % amp], check=True)
            subprocess.run(["sox", "-m", tmp, noise, nxt], check=True)
            os.remove(noise)
        else:
            raise ValueError("unknown transform " + t)
        os.remove(tmp)
        tmp = nxt
        step += 1
    subprocess.run(["sox", tmp, "-r", "44100", "-c", "2", "-b", "16", out], check=True)
    os.remove(tmp)
    return out


def main():
    cache = sys.argv[1]
    wanted = set(sys.argv[2:])
    for row in read_table():
        if wanted and row["id"] not in wanted:
            continue
        print("making", row["id"], flush=True)
        make(cache, row)


if __name__ == "__main__":
    main()

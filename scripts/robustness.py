#!/usr/bin/env python3
"""Robustness campaign: damaged disc files through every morvex-cli subcommand.

Seeds are the real disc metadata beside the project and the generated demo disc (its
menu stream and a menu file taken from it). Each round picks a seed, damages a copy
(truncation, bit flips, extreme field values, transport-stream damage) and runs every
subcommand that reads that kind of file on the sanitizer build, with a time and a
memory limit per run. Findings:

  crash           a sanitizer report, a signal, or an exit status other than 0, 1, 2
  hang            the run outlived its time limit
  false success   exit 0 after an "ERROR" line, or exit 0 with an output that does not
                  read back (the matching dump/menu dump of the output fails)
  over 500 MB     the run's peak resident memory passed 500 MB

Every finding keeps its input and command under the report folder to be replayed.
"""
import argparse
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

RSS_REPORT_MB = 500


def parse_args():
    ap = argparse.ArgumentParser()
    ap.add_argument("minutes", type=float)
    ap.add_argument("--cli", required=True)
    ap.add_argument("--demo", required=True, help="generated demo disc (BDMV folder)")
    ap.add_argument("--fixtures", default="")
    ap.add_argument("--uhd", default="", help="an Ultra HD disc folder (version 0300 files) to damage as well")
    ap.add_argument("--work", required=True)
    ap.add_argument("--timeout", type=float, default=20.0)
    ap.add_argument("--memory-mb", type=int, default=2048)
    ap.add_argument("--seed", type=int, default=int(time.time()))
    return ap.parse_args()


# ---- Damage -----------------------------------------------------------------------

def truncate(rng, b):
    if len(b) < 2:
        return b[:0]
    return b[: rng.randrange(0, len(b))]


def flips(rng, b):
    b = bytearray(b)
    for _ in range(rng.randint(1, 8)):
        if not b:
            break
        i = rng.randrange(len(b))
        b[i] ^= 1 << rng.randrange(8)
    return bytes(b)


def extremes(rng, b):
    b = bytearray(b)
    for _ in range(rng.randint(1, 4)):
        if len(b) < 4:
            break
        width = rng.choice([1, 2, 4])
        i = rng.randrange(0, len(b) - width + 1)
        i -= i % width
        value = rng.choice([b"\x00", b"\xff", b"\x7f", b"\x80", b"\x01"])
        fill = value + (b"\xff" if value == b"\x7f" else value[:1]) * (width - 1)
        if value == b"\x80":
            fill = b"\x80" + b"\x00" * (width - 1)
        b[i : i + width] = fill[:width]
    return bytes(b)


def stream_damage(rng, b):
    """Transport-stream damage: lost, doubled, desynchronised or shifted packets."""
    packets = len(b) // 192
    if packets < 2:
        return flips(rng, b)
    b = bytearray(b)
    kind = rng.choice(["drop", "duplicate", "sync", "shift", "pes", "tail"])
    k = rng.randrange(packets)
    if kind == "drop":
        del b[k * 192 : (k + 1) * 192]
    elif kind == "duplicate":
        b[k * 192 : k * 192] = b[k * 192 : (k + 1) * 192]
    elif kind == "sync":
        b[k * 192 + 4] = rng.randrange(256)
    elif kind == "shift":
        b[k * 192 : k * 192] = bytes(rng.randrange(256) for _ in range(rng.randint(1, 191)))
    elif kind == "pes":
        # damage inside the PES header of a packet that starts one
        starts = [i for i in range(packets) if b[i * 192 + 5] & 0x40 and b[i * 192 + 4] == 0x47]
        if starts:
            s = rng.choice(starts) * 192
            off = s + 8 + (1 + b[s + 8] if b[s + 7] & 0x20 else 0)
            for _ in range(rng.randint(1, 4)):
                j = min(off + rng.randrange(19), len(b) - 1)
                b[j] = rng.choice([0, 0xFF, rng.randrange(256)])
    else:
        del b[len(b) - rng.randint(1, 191) :]
    return bytes(b)


def damage(rng, data, is_stream):
    ops = [truncate, flips, extremes] + ([stream_damage] * 3 if is_stream else [])
    out = data
    for _ in range(rng.choice([1, 1, 1, 2])):
        out = rng.choice(ops)(rng, out)
    return out


# ---- Commands per kind ------------------------------------------------------------
# {in} input, {out} output file, {dir} output folder, {disc} a disc folder copy.
# "reread" names the command whose exit 0 shows the output reads back.

DISC_FILE = [
    ("dump", ["dump", "{in}"], None),
    ("dump --json", ["dump", "--json", "{in}"], None),
    ("resave", ["resave", "{in}", "-o", "{out}"], ["dump", "{out}"]),
]
KINDS = {
    "index": DISC_FILE,
    "mobj": DISC_FILE + [
        ("disasm", ["disasm", "{in}"], None),
        ("disasm -o", ["disasm", "{in}", "--object", "0", "-o", "{out}"], None),
        ("run", ["run", "{in}", "--object", "0", "--max-steps", "20000"], None),
    ],
    "mpls": DISC_FILE + [("chapters export", ["chapters", "export", "{in}", "-o", "{out}"], None)],
    "clpi": DISC_FILE,
    "sound": DISC_FILE + [("sound export", ["sound", "export", "{in}", "--entry", "0", "-o", "{out}"], None)],
    "bdjo": DISC_FILE,
    "mnu": [
        ("menu dump", ["menu", "dump", "{in}"], None),
        ("menu dump --json", ["menu", "dump", "--json", "{in}"], None),
        ("menu resave", ["menu", "resave", "{in}", "-o", "{out}.mnu"], ["menu", "dump", "{out}.mnu"]),
        ("menu mux", ["menu", "mux", "{in}", "-o", "{out}.m2ts"], ["menu", "dump", "{out}.m2ts"]),
        ("menu export-objects", ["menu", "export-objects", "{in}", "-o", "{dir}"], None),
        ("menu export-palette", ["menu", "export-palette", "{in}", "-o", "{out}.pxml"], None),
        ("menu render", ["menu", "render", "{in}", "-o", "{out}.png"], None),
        ("menu play", ["menu", "play", "{in}", "--keys", "D,R,Sel,U,L,Timeout,Tick"], None),
    ],
    "m2ts": [
        ("demux mnu", ["demux", "{in}", "--pid", "0x1400", "-o", "{out}.mnu"], ["menu", "dump", "{out}.mnu"]),
        ("demux es", ["demux", "{in}", "--pid", "0x1400", "--mode", "es", "-o", "{out}.igs"], None),
        ("menu extract", ["menu", "extract", "{in}", "-o", "{out}.mnu"], ["menu", "dump", "{out}.mnu"]),
        ("menu dump stream", ["menu", "dump", "{in}"], None),
        ("menu render stream", ["menu", "render", "{in}", "-o", "{out}.png"], None),
        ("menu play stream", ["menu", "play", "{in}", "--keys", "D,Sel,Tick"], None),
    ],
    "disc": [
        ("info", ["info", "{disc}"], None),
        ("find", ["find", "{disc}", "--clips"], None),
    ],
}


def kind_of(path):
    name = path.name
    if name in ("index.bdmv", "INDEX.BDM"):
        return "index"
    if name in ("MovieObject.bdmv", "MOVIEOBJ.BDM"):
        return "mobj"
    if name == "sound.bdmv":
        return "sound"
    ext = path.suffix.lower()
    return {".mpls": "mpls", ".clpi": "clpi", ".bdjo": "bdjo", ".mnu": "mnu", ".m2ts": "m2ts"}.get(ext)


# ---- Running ----------------------------------------------------------------------

def run(cli, argv, timeout, memory_mb, cwd):
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = "detect_leaks=1:abort_on_error=1:hard_rss_limit_mb=%d" % memory_mb
    env["UBSAN_OPTIONS"] = "print_stacktrace=1:halt_on_error=1"
    out_path, err_path = cwd / "stdout", cwd / "stderr"
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        p = subprocess.Popen([cli] + argv, stdout=out, stderr=err, cwd=cwd, env=env, start_new_session=True)
        start = time.monotonic()
        delay = 0.002
        hung = False
        while True:
            pid, status, ru = os.wait4(p.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() - start > timeout:
                hung = True
                os.killpg(p.pid, signal.SIGKILL)
                pid, status, ru = os.wait4(p.pid, 0)
                break
            time.sleep(delay)
            delay = min(delay * 2, 0.05)
        p.returncode = 0  # reaped above
    code = os.waitstatus_to_exitcode(status)
    text = out_path.read_bytes().decode("latin-1") + err_path.read_bytes().decode("latin-1")
    return {"code": code, "hung": hung, "rss_mb": ru.ru_maxrss / 1024.0, "text": text,
            "seconds": time.monotonic() - start}


# Error lines that are a command's findings about a whole disc rather than a fault of
# the run: `find --clips` lists the stream files a playlist names but the disc lacks
# (disc metadata copied without its streams has none at all) and still exits 0.
FINDINGS = {
    "find": ("ERROR: Missing stream file referenced by ",),
}


def classify(r, label=""):
    if r["hung"]:
        return "hang"
    t = r["text"]
    if ("ERROR: AddressSanitizer" in t or "ERROR: LeakSanitizer" in t or "runtime error:" in t
            or r["code"] < 0 or r["code"] not in (0, 1, 2)):
        return "crash"
    accepted = FINDINGS.get(label, ())
    errors = [line for line in t.splitlines() if line.lstrip().startswith("ERROR") or "ERROR:" in line]
    if r["code"] == 0 and any(not line.startswith(accepted) for line in errors):
        return "false success"
    return None


def main():
    a = parse_args()
    a.cli = str(Path(a.cli).resolve())
    rng = random.Random(a.seed)
    work = Path(a.work).resolve()
    shutil.rmtree(work, ignore_errors=True)
    (work / "findings").mkdir(parents=True)
    demo = Path(a.demo).resolve()
    seeds = []
    a.fixtures = str(Path(a.fixtures).resolve()) if a.fixtures else ""
    roots = [demo] + ([Path(a.fixtures)] if a.fixtures and Path(a.fixtures).is_dir() else [])
    if a.uhd and Path(a.uhd).is_dir():
        roots.append(Path(a.uhd).resolve())
    for root in roots:
        for f in sorted(root.rglob("*")):
            if f.is_file() and kind_of(f):
                seeds.append(f)
    discs = [demo / "BDMV"]
    if a.fixtures and Path(a.fixtures).is_dir():
        discs += sorted(p for p in Path(a.fixtures).rglob("BDMV") if p.is_dir())
    if a.uhd and (Path(a.uhd) / "BDMV").is_dir():
        discs.append(Path(a.uhd).resolve() / "BDMV")
    if not seeds:
        sys.exit("robustness: no seed files found")
    by_kind = {}
    for f in seeds:
        by_kind.setdefault(kind_of(f), []).append(f)
    # Whether an output must read back is judged against the undamaged seed: a stream
    # whose IG PID carries filler rather than a menu (the demo's second stream) gives
    # outputs that never read as a menu, damaged or not.
    (work / "probe").mkdir()
    menu_seeds = set()
    for f in by_kind.get("m2ts", []) + by_kind.get("mnu", []):
        if run(a.cli, ["menu", "dump", str(f)], a.timeout, a.memory_mb, work / "probe")["code"] == 0:
            menu_seeds.add(f)
    stats = {"runs": 0, "inputs": 0, "crash": 0, "hang": 0, "false success": 0, "over 500 MB": 0,
             "max_rss_mb": 0.0, "seed": a.seed}
    examples = {}
    deadline = time.monotonic() + a.minutes * 60
    started = time.monotonic()
    scratch = work / "scratch"
    n = 0

    def record(kind, label, argv, r, inp):
        stats[kind] += 1
        n_found = stats[kind]
        if n_found <= 20:
            d = work / "findings" / ("%s_%03d" % (kind.replace(" ", "_"), n_found))
            d.mkdir(parents=True)
            if inp.is_file():
                shutil.copy(inp, d / inp.name)
            elif inp.is_dir():
                shutil.copytree(inp, d / "disc", symlinks=True)
            (d / "command").write_text(" ".join([label, "::"] + argv) + "\n")
            (d / "output").write_text(r["text"][-20000:])
        examples.setdefault(kind, []).append("%s (%s), exit %d" % (label, inp.name, r["code"]))

    while time.monotonic() < deadline:
        n += 1
        shutil.rmtree(scratch, ignore_errors=True)
        scratch.mkdir()
        disc_round = rng.random() < 0.15
        if disc_round:
            src_disc = rng.choice(discs)
            disc = scratch / "disc" / "BDMV"
            shutil.copytree(src_disc, disc, symlinks=True)
            files = [f for f in disc.rglob("*") if f.is_file() and kind_of(f) and kind_of(f) != "m2ts"]
            if not files:
                continue
            victim = rng.choice(files)
            victim.write_bytes(damage(rng, victim.read_bytes(), False))
            kind, inp = "disc", disc
        else:
            # every kind of file gets its share, however many of each the seeds hold
            kind = rng.choice(sorted(by_kind))
            seed = rng.choice(by_kind[kind])
            reads_back = seed in menu_seeds
            inp = scratch / seed.name
            inp.write_bytes(damage(rng, seed.read_bytes(), kind == "m2ts"))
        stats["inputs"] += 1
        for label, argv, reread in KINDS[kind]:
            if time.monotonic() >= deadline:
                break
            out = scratch / "out"
            outdir = scratch / "objects"
            shutil.rmtree(outdir, ignore_errors=True)
            outdir.mkdir()
            for leftover in scratch.glob("out*"):
                leftover.unlink()
            sub = lambda s: s.replace("{in}", str(inp)).replace("{out}", str(out)).replace(
                "{dir}", str(outdir)).replace("{disc}", str(inp))
            args = [sub(x) for x in argv]
            r = run(a.cli, args, a.timeout, a.memory_mb, scratch)
            stats["runs"] += 1
            stats["max_rss_mb"] = max(stats["max_rss_mb"], r["rss_mb"])
            if r["rss_mb"] > RSS_REPORT_MB:
                record("over 500 MB", label, args, r, inp)
            found = classify(r, label)
            if found:
                record(found, label, args, r, inp)
                continue
            if reread and r["code"] == 0 and (disc_round or kind not in ("m2ts", "mnu") or reads_back):
                back = run(a.cli, [sub(x) for x in reread], a.timeout, a.memory_mb, scratch)
                stats["runs"] += 1
                if back["code"] != 0 or classify(back):
                    r["text"] += "\n--- re-read: exit %d\n%s" % (back["code"], back["text"])
                    record("false success", label + " (output does not re-read)", args, r, inp)
        if n % 50 == 0:
            print("robustness: %d inputs, %d runs, %.0f s" % (stats["inputs"], stats["runs"],
                                                             time.monotonic() - started), flush=True)
    stats["seconds"] = round(time.monotonic() - started)
    stats["max_rss_mb"] = round(stats["max_rss_mb"], 1)
    (work / "summary.json").write_text(json.dumps({"stats": stats, "examples": examples}, indent=2))
    print("robustness: %(seconds)d s, %(inputs)d damaged inputs, %(runs)d runs" % stats)
    for k in ("crash", "hang", "false success", "over 500 MB"):
        print("  %-14s %d" % (k + ":", stats[k]))
        for e in sorted(set(examples.get(k, [])))[:8]:
            print("      e.g. " + e)
    print("  peak memory:   %.1f MB" % stats["max_rss_mb"])
    print("  findings kept in %s" % (work / "findings"))
    return 1 if stats["crash"] or stats["hang"] else 0


if __name__ == "__main__":
    sys.exit(main())

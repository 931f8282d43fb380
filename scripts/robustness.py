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
  output after failure
                  a run that failed (and was not forced) left an output or a temporary
  bad JSON        a --json run that exited 0 printed something that does not parse
  resave differs  a resave that exited 0 wrote a file whose dump differs from its input's
  file system     a case of its own: an output that is a device, a FIFO, a link, a
                  folder, an input under another name, a planted look-alike of a
                  temporary name, a full disk; an input that is a FIFO, a device or a
                  huge sparse file. Each has its expected outcome (written as a stream,
                  through the link, refused and left alone, ...); another is a finding.

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
# Inputs besides the damaged one, made once from the undamaged seeds: {chapters} a
# chapter file, {wav} a sound entry, {png} an object picture.
KINDS = {
    "index": DISC_FILE,
    "mobj": DISC_FILE + [
        ("disasm", ["disasm", "{in}"], None),
        ("disasm -o", ["disasm", "{in}", "--object", "0", "-o", "{out}"], None),
        ("run", ["run", "{in}", "--object", "0", "--max-steps", "20000"], None),
    ],
    "mpls": DISC_FILE + [
        ("chapters export", ["chapters", "export", "{in}", "-o", "{out}"], None),
        ("chapters import", ["chapters", "import", "{in}", "{chapters}", "-q", "-o", "{out}.mpls"],
         ["dump", "{out}.mpls"]),
    ],
    "clpi": DISC_FILE,
    "sound": DISC_FILE + [
        ("sound export", ["sound", "export", "{in}", "--entry", "0", "-o", "{out}"], None),
        ("sound import", ["sound", "import", "{in}", "{wav}", "-o", "{out}.bdmv"], ["dump", "{out}.bdmv"]),
    ],
    "bdjo": DISC_FILE,
    "mnu": [
        ("menu dump", ["menu", "dump", "{in}"], None),
        ("menu dump --json", ["menu", "dump", "--json", "{in}"], None),
        ("menu resave", ["menu", "resave", "{in}", "-o", "{out}.mnu"], ["menu", "dump", "{out}.mnu"]),
        ("menu mux", ["menu", "mux", "{in}", "-o", "{out}.m2ts"], ["menu", "dump", "{out}.m2ts"]),
        ("menu export-objects", ["menu", "export-objects", "{in}", "-o", "{dir}"], None),
        ("menu export-palette", ["menu", "export-palette", "{in}", "-o", "{out}.pxml"], None),
        ("menu render", ["menu", "render", "{in}", "-o", "{out}.png"], None),
        ("menu render --placeholders", ["menu", "render", "{in}", "--placeholders", "--activate", "-o", "{out}.png"],
         None),
        ("menu play", ["menu", "play", "{in}", "--keys", "D,R,Sel,U,L,Timeout,Tick"], None),
        ("menu play --max-steps", ["menu", "play", "{in}", "--keys", "Sel,D,Sel", "--max-steps", "50"], None),
        ("menu import-object", ["menu", "import-object", "{in}", "{png}", "-o", "{out}.mnu"],
         ["menu", "dump", "{out}.mnu"]),
    ],
    "m2ts": [
        ("demux mnu", ["demux", "{in}", "--pid", "0x1400", "-o", "{out}.mnu"], ["menu", "dump", "{out}.mnu"]),
        ("demux es", ["demux", "{in}", "--pid", "0x1400", "--mode", "es", "-o", "{out}.igs"], None),
        ("demux several", ["demux", "{in}", "--pid", "0x1400", "--pid", "0x1100", "--pid", "0x0000"], None),
        ("menu extract", ["menu", "extract", "{in}", "-o", "{out}.mnu"], ["menu", "dump", "{out}.mnu"]),
        ("menu dump stream", ["menu", "dump", "{in}"], None),
        ("menu render stream", ["menu", "render", "{in}", "-o", "{out}.png"], None),
        ("menu play stream", ["menu", "play", "{in}", "--keys", "D,Sel,Tick"], None),
    ],
    "disc": [
        ("info", ["info", "{disc}"], None),
        ("find", ["find", "{disc}", "--clips"], None),
        ("find --json", ["find", "{disc}", "--clips", "--json"], None),
        ("check", ["check", "{disc}"], None),
        ("check --json", ["check", "{disc}", "--json"], None),
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
    stdout = out_path.read_bytes()
    text = stdout.decode("latin-1") + err_path.read_bytes().decode("latin-1")
    return {"code": code, "hung": hung, "rss_mb": ru.ru_maxrss / 1024.0, "text": text, "stdout": stdout,
            "seconds": time.monotonic() - start}


# Error lines that are a command's findings about a whole disc rather than a fault of
# the run: `find --clips` lists the stream files a playlist names but the disc lacks
# (disc metadata copied without its streams has none at all) and still exits 0.
FINDINGS = {
    "find": ("ERROR: Missing stream file referenced by ",),
    "find --json": ("ERROR: Missing stream file referenced by ",),
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


# ---- File-system cases ------------------------------------------------------------
# Each case builds its own situation in `d` and returns None when the program did what
# a user meant, or a line saying what went wrong.

def is_kind(path, test):
    try:
        return test(os.lstat(path).st_mode)
    except OSError:
        return False


def dead_pid():
    pid = os.fork()
    if pid == 0:
        os._exit(0)
    os.waitpid(pid, 0)
    return pid


def fs_cases(x):
    """x: cli, run (argv, cwd) -> result, and the undamaged inputs."""
    import stat
    import socket
    import threading

    def expect(r, code, what):
        if r["hung"]:
            return what + ": hung"
        if r["code"] != code:
            return "%s: exit %d, expected %d" % (what, r["code"], code)
        return None

    def out_to_device(d):
        if not hasattr(os, "mknod"):
            return None
        try:
            os.mknod(str(d / "null"), 0o666 | stat.S_IFCHR, os.makedev(1, 3))
        except OSError:
            return None
        r = x.run(["menu", "extract", str(x.stream), "-o", str(d / "null")], d)
        return expect(r, 0, "-o device") or (None if is_kind(d / "null", stat.S_ISCHR) else "-o device: replaced")

    def out_to_fifo(d):
        os.mkfifo(str(d / "pipe"))
        got = []
        t = threading.Thread(target=lambda: got.append(open(d / "pipe", "rb").read()), daemon=True)
        t.start()
        r = x.run(["chapters", "export", str(x.playlist), "-o", str(d / "pipe")], d)
        t.join(5)
        if not got:  # nothing opened the writing end: release the reader
            with open(d / "pipe", "wb"):
                pass
        return (expect(r, 0, "-o FIFO") or (None if is_kind(d / "pipe", stat.S_ISFIFO) else "-o FIFO: replaced")
                or (None if got and got[0] else "-o FIFO: nothing arrived"))

    def out_to_stdout(d):
        r = x.run(["chapters", "export", str(x.playlist), "-o", "-"], d)
        return (expect(r, 0, "-o -") or (None if r["stdout"] else "-o -: nothing on stdout")
                or (None if not (d / "-").exists() else "-o -: wrote a file named -"))

    def out_through_link(d):
        shutil.copy(x.playlist, d / "real.mpls")
        os.symlink("real.mpls", d / "link.mpls")
        before = (d / "real.mpls").read_bytes()
        r = x.run(["resave", str(x.playlist), "-o", str(d / "link.mpls")], d)
        if expect(r, 0, "-o link"):
            return expect(r, 0, "-o link")
        if not is_kind(d / "link.mpls", stat.S_ISLNK):
            return "-o link: the link was replaced"
        return None if (d / "real.mpls").read_bytes() == before else "-o link: the linked file changed"

    def out_to_folder(d):
        (d / "folder.mpls").mkdir()
        r = x.run(["resave", str(x.playlist), "-o", str(d / "folder.mpls")], d)
        return expect(r, 1, "-o folder") or (None if (d / "folder.mpls").is_dir() else "-o folder: replaced")

    def out_to_socket(d):
        sk = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            sk.bind(str(d / "sock"))
        except OSError:
            return None
        r = x.run(["resave", str(x.playlist), "-o", str(d / "sock")], d)
        sk.close()
        return expect(r, 1, "-o socket") or (None if is_kind(d / "sock", stat.S_ISSOCK) else "-o socket: replaced")

    def out_is_an_input(d):
        shutil.copy(x.menu, d / "m.mnu")
        shutil.copy(x.stream, d / "s.m2ts")
        shutil.copy(x.playlist, d / "p.mpls")
        shutil.copy(x.chapters, d / "ch.txt")
        shutil.copy(x.sound, d / "s.bdmv")
        shutil.copy(x.wav, d / "w.wav")
        shutil.copy(x.png, d / "p.png")
        cases = [
            (["menu", "render", "m.mnu", "-o", "{o}"], "m.mnu"),
            (["menu", "render", "s.m2ts", "-o", "{o}"], "s.m2ts"),
            (["menu", "play", "m.mnu", "--keys", "D", "-o", "{o}"], "m.mnu"),
            (["menu", "play", "m.mnu", "--keys", "D", "--sounds", "s.bdmv", "-o", "{o}"], "s.bdmv"),
            (["menu", "render", "m.mnu", "--background", "p.png", "-o", "{o}"], "p.png"),
            (["menu", "import-object", "m.mnu", "p.png", "-o", "{o}"], "p.png"),
            (["chapters", "import", "p.mpls", "ch.txt", "-o", "{o}"], "ch.txt"),
            (["sound", "import", "s.bdmv", "w.wav", "-o", "{o}"], "w.wav"),
        ]
        argv, victim = random.choice(cases)
        how = random.choice(["same", "hard", "soft"])
        target = victim
        if how == "hard":
            os.link(d / victim, d / "other")
            target = "other"
        elif how == "soft":
            os.symlink(victim, d / "other")
            target = "other"
        before = (d / victim).read_bytes()
        r = x.run([a.replace("{o}", target) for a in argv], d)
        what = "output is the input %s (%s)" % (victim, how)
        return expect(r, 1, what) or (None if (d / victim).read_bytes() == before else what + ": input changed")

    def in_place(d):
        shutil.copy(x.playlist, d / "p.mpls")
        before = (d / "p.mpls").read_bytes()
        r = x.run(["resave", "p.mpls", "-o", "p.mpls"], d)
        if expect(r, 0, "in-place resave"):
            return expect(r, 0, "in-place resave")
        back = x.run(["dump", "p.mpls"], d)
        if back["code"] != 0:
            return "in-place resave: does not read back"
        return None if (d / "p.mpls.backup").read_bytes() == before else "in-place resave: no backup of the original"

    def planted_names(d):
        pid = dead_pid()
        (d / ("Morvex_%d_my_notes" % pid)).mkdir()
        (d / ("Morvex_%d_my_notes" % pid) / "n").write_bytes(b"notes")
        (d / (".Morvex_%d_notmine.tmp.txt" % pid)).write_bytes(b"x")
        r = x.run(["resave", str(x.playlist), "-o", str(d / "out.mpls")], d)
        if expect(r, 0, "planted names"):
            return expect(r, 0, "planted names")
        ok = (d / ("Morvex_%d_my_notes" % pid) / "n").exists() and (d / (".Morvex_%d_notmine.tmp.txt" % pid)).exists()
        return None if ok else "planted names: a user's entry was removed"

    def in_from_fifo(d):
        os.mkfifo(str(d / "pipe.mpls"))
        argv = random.choice([["dump", "pipe.mpls"], ["menu", "play", str(x.menu), "--keys", "D", "--sounds", "pipe.mpls"],
                              ["chapters", "import", str(x.playlist), "pipe.mpls", "-o", "o.mpls"]])
        return expect(x.run(argv, d), 1, "FIFO input")

    def in_from_zero(d):
        argv = random.choice([["dump", "/dev/zero"], ["chapters", "import", str(x.playlist), "/dev/zero", "-o", "o.mpls"]])
        return expect(x.run(argv, d), 1, "/dev/zero input")

    def in_sparse(d):
        disc = d / "disc" / "BDMV"
        shutil.copytree(x.disc, disc, symlinks=True, ignore=shutil.ignore_patterns("*.m2ts"))
        with open(disc / "PLAYLIST" / "09999.mpls", "wb") as f:
            f.truncate(4 << 30)
        argv = random.choice([["check", str(disc)], ["find", str(disc), "--clips"], ["dump", str(disc / "PLAYLIST" / "09999.mpls")]])
        r = x.run(argv, d)
        if r["rss_mb"] > RSS_REPORT_MB:
            return "4 GiB sparse playlist: %d MB" % r["rss_mb"]
        return expect(r, 1, "4 GiB sparse playlist (%s)" % argv[0])

    def long_name(d):
        name = "n" * 250 + ".mpls"
        return expect(x.run(["resave", str(x.playlist), "-o", name], d), 0, "255-byte output name")

    def full_disk(d):
        disk = d / "disk"
        disk.mkdir()
        if os.geteuid() != 0 or subprocess.call(["mount", "-t", "tmpfs", "-o", "size=256k", "tmpfs", str(disk)],
                                                stderr=subprocess.DEVNULL) != 0:
            return None
        try:
            (disk / "out.m2ts").write_bytes(b"old")
            fd = os.open(str(disk / "fill"), os.O_WRONLY | os.O_CREAT, 0o600)
            try:
                while os.write(fd, b"\0" * 4096):
                    pass
            except OSError:
                pass
            os.close(fd)
            r = x.run(["menu", "mux", str(x.menu), "-o", str(disk / "out.m2ts")], d)
            left = sorted(p.name for p in disk.iterdir())
            return (expect(r, 1, "full disk") or (None if (disk / "out.m2ts").read_bytes() == b"old" else "full disk: old output lost")
                    or (None if left == ["fill", "out.m2ts"] else "full disk: left %s" % left))
        finally:
            subprocess.call(["umount", "-l", str(disk)])

    return [out_to_device, out_to_fifo, out_to_stdout, out_through_link, out_to_folder, out_to_socket,
            out_is_an_input, in_place, planted_names, in_from_fifo, in_from_zero, in_sparse, long_name, full_disk]


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
    # The other inputs some commands take, made from the undamaged demo disc.
    extra = work / "extra"
    extra.mkdir()
    x = argparse.Namespace()
    x.disc = demo / "BDMV"
    x.playlist = sorted((x.disc / "PLAYLIST").glob("*.mpls"))[0]
    x.stream = x.disc / "STREAM" / "00010.m2ts"
    x.sound = x.disc / "AUXDATA" / "sound.bdmv"
    x.menu = next(iter(sorted(by_kind.get("mnu", []))), None)
    x.chapters, x.wav = extra / "chapters.txt", extra / "entry.wav"
    run(a.cli, ["chapters", "export", str(x.playlist), "-o", str(x.chapters)], a.timeout, a.memory_mb, extra)
    run(a.cli, ["sound", "export", str(x.sound), "--entry", "0", "-o", str(x.wav)], a.timeout, a.memory_mb, extra)
    run(a.cli, ["menu", "export-objects", str(x.menu), "-o", str(extra / "objects")], a.timeout, a.memory_mb, extra)
    x.png = sorted((extra / "objects").glob("*.png"))[0]
    x.run = lambda argv, cwd: run(a.cli, argv, a.timeout, a.memory_mb, cwd)
    cases = fs_cases(x)
    stats = {"runs": 0, "inputs": 0, "crash": 0, "hang": 0, "false success": 0, "over 500 MB": 0,
             "output after failure": 0, "bad JSON": 0, "resave differs": 0, "file system": 0,
             "file-system cases": 0, "max_rss_mb": 0.0, "seed": a.seed}
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
            elif inp.is_dir() and kind != "file system":
                shutil.copytree(inp, d / "disc", symlinks=True)
            (d / "command").write_text(" ".join([label, "::"] + argv) + "\n")
            (d / "output").write_text(r["text"][-20000:])
        examples.setdefault(kind, []).append("%s (%s), exit %d" % (label, inp.name, r["code"]))

    while time.monotonic() < deadline:
        n += 1
        shutil.rmtree(scratch, ignore_errors=True)
        scratch.mkdir()
        if rng.random() < 0.08:
            case = rng.choice(cases)
            d = scratch / "fs"
            d.mkdir()
            random.seed(rng.random())
            problem = case(d)
            stats["file-system cases"] += 1
            stats["runs"] += 1
            if problem:
                record("file system", case.__name__, [problem], {"text": problem, "code": -1}, d)
            continue
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
            for leftover in scratch.glob("*_PID*"):
                leftover.unlink()
            sub = lambda s: s.replace("{in}", str(inp)).replace("{out}", str(out)).replace(
                "{dir}", str(outdir)).replace("{disc}", str(inp)).replace("{chapters}", str(x.chapters)).replace(
                "{wav}", str(x.wav)).replace("{png}", str(x.png))
            args = [sub(v) for v in argv]
            before = set(p.name for p in scratch.iterdir())
            r = run(a.cli, args, a.timeout, a.memory_mb, scratch)
            stats["runs"] += 1
            stats["max_rss_mb"] = max(stats["max_rss_mb"], r["rss_mb"])
            if r["rss_mb"] > RSS_REPORT_MB:
                record("over 500 MB", label, args, r, inp)
            found = classify(r, label)
            if found:
                record(found, label, args, r, inp)
                continue
            # A failed run leaves nothing: no output, no temporary, no picture of a set.
            new = set(p.name for p in scratch.iterdir()) - before - {"stdout", "stderr"}
            temps = [p for p in scratch.rglob(".Morvex_*")]
            # "demux" with a PID the stream does not carry writes the others and fails
            # for that one alone: those outputs are meant.
            failures = [l for l in r["text"].splitlines() if l.startswith("morvex-cli: ")]
            absent_only = failures and all("carries no packets of PID" in l for l in failures)
            if (r["code"] != 0 and not absent_only and (new or any(outdir.iterdir()))) or temps:
                r["text"] += "\n--- left: %s %s" % (sorted(new), [str(t) for t in temps])
                record("output after failure", label, args, r, inp)
                continue
            if "--json" in args and r["code"] == 0:
                try:
                    json.loads(r["stdout"].decode("utf-8"))
                except ValueError as e:
                    r["text"] += "\n--- JSON: %s" % e
                    record("bad JSON", label, args, r, inp)
                    continue
            if label == "resave" and r["code"] == 0:
                dumps = [run(a.cli, ["dump", "--json", str(f)], a.timeout, a.memory_mb, scratch) for f in (inp, out)]
                stats["runs"] += 2
                if dumps[0]["stdout"] != dumps[1]["stdout"]:
                    r["text"] += "\n--- dump of the input and of the output differ"
                    record("resave differs", label, args, r, inp)
                    continue
            if reread and r["code"] == 0 and (disc_round or kind not in ("m2ts", "mnu") or reads_back):
                back = run(a.cli, [sub(v) for v in reread], a.timeout, a.memory_mb, scratch)
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
    print("  file-system cases: %d" % stats["file-system cases"])
    for k in ("crash", "hang", "false success", "over 500 MB", "output after failure", "bad JSON",
              "resave differs", "file system"):
        print("  %-14s %d" % (k + ":", stats[k]))
        for e in sorted(set(examples.get(k, [])))[:8]:
            print("      e.g. " + e)
    print("  peak memory:   %.1f MB" % stats["max_rss_mb"])
    print("  findings kept in %s" % (work / "findings"))
    return 1 if stats["crash"] or stats["hang"] else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Whole runs of mutated descriptors: each is a descriptor of examples/ or tests/data/ (and its folders)
changed by a few seeded edits (a line dropped, doubled or cut, a number made extreme, a
keyword inserted), run as a user runs it (quendar -B -R -X NAME.pde in a folder of its
own). A run fails the gate when it ends by a signal, when a sanitizer reports, when its
exit status disagrees with its log (0 with an ERROR or TERMINATED line, 1 with
neither, a log that does not end with END), when its log names an internal routine (" IN name_name") or
reports a floating-point trap that no descriptor line locates. A run that outlives its
time is killed and counted, not failed (a mutated descriptor may ask for a huge mesh).
    python3 scripts/fuzz_runs.py path/to/quendar [--count N] [--seed S] [--jobs J]
        [--timeout S] [--budget S] [--keep DIR]
The edits depend only on the seed; --budget stops starting runs after that many seconds.
"""
import argparse
import glob
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROUTINE = re.compile(r" IN [a-z][a-z0-9]*_[a-z0-9_]*")
FP_TEXT = re.compile(r"Floating-Point|Denormalized|Inexact")
SANITIZER = re.compile(r"AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|runtime error:")
NUMBER = re.compile(r"(?<![A-Za-z_0-9.])\d+(\.\d*)?([eE][-+]?\d+)?")
EXTREMES = ["0", "-1", "1e30", "1e-30", "65536", "2147483648", "-1e30", "0.5", "3", "1e-12", "1e308", "-1e308"]
KEYWORDS = ["VALUE", "NATURAL", "LINE TO", "ARC TO", "REGION 2", "FEATURE", "EXCLUDE", "PERIODIC(x-1,y)",
            "TIME 0 TO 1", "MODES=3", "NGRID=1", "STAGES=2", "EXTRUSION z=0,1", "SCALAR VARIABLES", "END",
            "INTEGRAL(", "TRANSFER('x.dat', w)", "TABLE('x.tbl')", "NODELIMIT=10", "ERRLIM=1e-9"]


def mutate(text, rng):
    lines = text.split("\n")
    for _ in range(rng.randint(1, 2)):
        if not lines:
            break
        k = rng.randrange(len(lines))
        kind = rng.randrange(12)
        if kind == 0:
            del lines[k]
        elif kind == 1:
            lines.insert(k, lines[k])
        elif kind == 2:
            j = rng.randrange(len(lines))
            lines[k], lines[j] = lines[j], lines[k]
        elif kind in (3, 7, 8, 9, 10):
            numbered = [i for i, line in enumerate(lines) if NUMBER.search(line)]
            k = rng.choice(numbered) if numbered else k
            spans = [m.span() for m in NUMBER.finditer(lines[k])]
            if spans:
                a, b = rng.choice(spans)
                lines[k] = lines[k][:a] + rng.choice(EXTREMES) + lines[k][b:]
        elif kind == 4:
            cut = rng.randrange(len(lines[k]) + 1)
            lines[k] = lines[k][:cut] + " " + rng.choice(KEYWORDS) + " " + lines[k][cut:]
        elif kind == 5:
            lines[k] = lines[k][: rng.randrange(len(lines[k]) + 1)]
        elif kind == 6:
            lines = lines[: k + 1]
    return "\n".join(lines)


def judge(rc, log, err):
    """The reasons a run fails the gate, empty when it passes."""
    why = []
    if rc < 0 or rc > 128:
        why.append("ended by signal %d" % (-rc if rc < 0 else rc - 128))
    if SANITIZER.search(err):
        why.append("sanitizer report")
    if log is not None:
        if ROUTINE.search(log):
            why.append("routine name: " + ROUTINE.search(log).group(0).strip())
        for line in log.splitlines():
            if "ERROR:" in line and FP_TEXT.search(line) and not re.search(r"Line \d+", line):
                why.append("unlocated: " + line.strip())
                break
        failed = "ERROR" in log or re.search(r"\| TERMINATED$", log, re.M) is not None
        if rc == 0 and failed:
            why.append("exit 0 with an ERROR or TERMINATED in the log")
        if rc == 1 and not failed:
            why.append("exit 1 without an ERROR or TERMINATED in the log")
        if rc in (0, 1, 3) and log.rstrip().splitlines()[-1:] != ["END"]:
            why.append("log does not end with END")
    return why


def run_one(exe, job, timeout, keepdir):
    n, source, text = job
    work = tempfile.mkdtemp(prefix="quendar_fuzzrun_")
    try:
        pde = os.path.join(work, "f%04d.pde" % n)
        with open(pde, "w", encoding="latin-1") as f:
            f.write(text)
        try:
            p = subprocess.run([exe, "-B", "-R", "-X", pde], cwd=work, capture_output=True, timeout=timeout,
                               stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            return n, source, "timeout", []
        err = p.stderr.decode("latin-1") + p.stdout.decode("latin-1")
        logpath = pde[:-4] + ".log"
        log = open(logpath, encoding="latin-1").read() if os.path.exists(logpath) else None
        why = judge(p.returncode, log, err)
        if why and keepdir:
            os.makedirs(keepdir, exist_ok=True)
            shutil.copy(pde, keepdir)
            if log is not None:
                shutil.copy(logpath, keepdir)
        return n, source, p.returncode, why
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("quendar")
    ap.add_argument("--count", type=int, default=300)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--timeout", type=float, default=20)
    ap.add_argument("--budget", type=float, default=240)
    ap.add_argument("--keep", default=None, help="copy failing descriptors and logs here")
    a = ap.parse_args()
    exe = os.path.abspath(a.quendar)
    sources = sorted(glob.glob(os.path.join(ROOT, "examples", "*.pde")) +
                     glob.glob(os.path.join(ROOT, "tests", "data", "*.pde")) +
                     glob.glob(os.path.join(ROOT, "tests", "data", "*", "*.pde")))
    rng = random.Random(a.seed)
    jobs = []
    for n in range(a.count):
        src = rng.choice(sources)
        with open(src, encoding="latin-1") as f:
            jobs.append((n, os.path.relpath(src, ROOT), mutate(f.read(), rng)))
    start = time.time()
    failed = ran = timeouts = 0

    def guarded(job):
        if time.time() - start > a.budget:
            return None
        return run_one(exe, job, a.timeout, a.keep)

    with ThreadPoolExecutor(max_workers=a.jobs) as pool:
        for r in pool.map(guarded, jobs):
            if r is None:
                continue
            n, source, rc, why = r
            ran += 1
            if rc == "timeout":
                timeouts += 1
            elif why:
                failed += 1
                print("FAIL  run %d (from %s, exit %s): %s" % (n, source, rc, "; ".join(why)), flush=True)
    print("fuzz_runs: %d runs of %d (seed %d), %d timed out, %.0f s" %
          (ran, a.count, a.seed, timeouts, time.time() - start))
    print("%d passed, %d failed" % (ran - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

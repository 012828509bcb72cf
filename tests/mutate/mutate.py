#!/usr/bin/env python3
"""Plants small faults in a copy of the source, one at a time, and reports which of them
no test catches.

Each fault of faults.py replaces one exact text (found exactly once in its file) by a
slightly wrong one: a sign, a factor, a comparison, a constant, a skipped loop. For
each, the copy is rebuilt (ccache keeps the unchanged objects) and the suites run: the
unit tests under ctest and the verification descriptors (tests/verify/run.py). A fault
is caught when a test that passes on the unchanged copy fails; the table lists which.
Run by hand, not in CI:
    python3 tests/mutate/mutate.py [--work DIR] [--jobs 3] [--only REGEX] [--quick]
        [--verify-only REGEX] [--ctest-only REGEX] [--program-only] [--no-unit] [--baseline FILE]
        [--table FILE]
--program-only rebuilds only the program for each fault (much faster: the tests that link
the libraries then keep the unchanged code, so a fault may be caught that this misses); once
the copy has been built whole, it builds only the program at the start and the end too.
--quick stops each ctest run at its first failure and skips the descriptors when ctest
caught the fault (faster, but then the table names only the first test that caught it).
--verify-only limits the descriptors run, --ctest-only the unit tests (ctest -R), --no-unit
leaves ctest out (to see which descriptors catch a fault), --baseline takes the unchanged
copy's failures from a file. A fault that survives a limited run may still be caught by the
tests left out.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
from faults import FAULTS  # noqa: E402


def sh(cmd, cwd=None, env=None, timeout=None):
    p = subprocess.run(cmd, cwd=cwd, env=env, capture_output=True, text=True, timeout=timeout)
    return p.returncode, p.stdout + p.stderr


def build_env(work):
    env = dict(os.environ)
    env.update(CCACHE_BASEDIR=os.path.join(work, "src"), CCACHE_NOHASHDIR="1", CCACHE_DIR=env.get("CCACHE_DIR", "/work/.ccache"),
               CCACHE_MAXSIZE="20G")
    return env


def copy_source(work):
    src = os.path.join(work, "src")
    os.makedirs(src, exist_ok=True)
    files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True, check=True).stdout
    wanted = set()
    for f in files.decode().split("\0"):
        if f and os.path.isfile(os.path.join(ROOT, f)):
            wanted.add(f)
            dst = os.path.join(src, f)
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            with open(os.path.join(ROOT, f), "rb") as a:
                data = a.read()
            # The build sits inside the copy as in a worktree, with a worktree's flags, so that
            # ccache (with paths taken relative to the copy) reuses a worktree's objects. Unchanged files keep their time stamps, so a second run rebuilds nothing.
            if not os.path.exists(dst) or open(dst, "rb").read() != data:
                with open(dst, "wb") as b:
                    b.write(data)
    return src


def build(work, jobs, target=None):
    env = build_env(work)
    bdir = os.path.join(work, "src", "build")
    if not os.path.exists(os.path.join(bdir, "build.ninja")):
        rc, out = sh(["cmake", "-S", os.path.join(work, "src"), "-B", bdir, "-G", "Ninja",
                      "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                      "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"], env=env)
        if rc:
            return rc, out
    return sh(["cmake", "--build", bdir, "-j", str(jobs)] + (["--target", target] if target else []), env=env)


DETAIL = []


def run_suites(work, jobs, quick, verify_only=None, unit=True, ctest_only=None):
    """The names of the failing tests: ctest's, and 'verify:NAME' for descriptors."""
    bdir = os.path.join(work, "src", "build")
    failed = set()
    cmd = ["ctest", "-j", str(jobs), "-E", "^Verification$", "--timeout", "300", "--output-on-failure"]
    if ctest_only:
        cmd += ["-R", ctest_only]
    if quick:
        cmd.append("--stop-on-failure")
    _rc, out = sh(cmd, cwd=bdir, timeout=3600) if unit else (0, "")
    for m in re.finditer(r"^\s*\d+ - (\S+) \((Failed|Timeout|SEGFAULT|Subprocess aborted|Child aborted|"
                         r"Exception|Not Run)", out, re.M):
        failed.add(m.group(1))
    # What each failed check says (the row, its value and its margin), for the table.
    lines = out.splitlines()
    del DETAIL[:]
    for i, ln in enumerate(lines):
        if re.search(r": Failure$", ln) and len(DETAIL) < 40:
            DETAIL.extend(x.strip()[:300] for x in lines[i + 1:i + 5])
    if quick and failed:
        return failed
    cmd = [sys.executable, os.path.join(work, "src", "tests", "verify", "run.py"), os.path.join(bdir, "quendar"),
           "--jobs", str(jobs)]
    if verify_only:
        cmd += ["--only", verify_only]
    _rc, out = sh(cmd, timeout=3600)
    for m in re.finditer(r"^FAIL\s+(\S+?):", out, re.M):
        failed.add("verify:" + m.group(1))
        if len(DETAIL) < 40:
            DETAIL.append(out[m.start():out.find("\n", m.start())][:300])
    return failed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--work", default="/tmp/quendar_mutate")
    ap.add_argument("--jobs", type=int, default=3)
    ap.add_argument("--only")
    ap.add_argument("--quick", action="store_true")
    ap.add_argument("--table", default=None, help="where to write the table as JSON lines")
    ap.add_argument("--verify-only", default=None, help="a regular expression: the descriptors to run")
    ap.add_argument("--program-only", action="store_true",
                    help="rebuild only the program for each fault: the unit tests that run it see the fault, "
                         "those that link the libraries keep the unchanged code")
    ap.add_argument("--ctest-only", default=None, help="a regular expression: the unit tests to run (ctest -R)")
    ap.add_argument("--no-unit", action="store_true", help="run the descriptors only (which of them catch a fault)")
    ap.add_argument("--baseline", default=None,
                    help="a file of the tests failing on the unchanged copy (one a line): skips the baseline run")
    args = ap.parse_args()
    work = os.path.abspath(args.work)
    src = copy_source(work)
    faults = [f for f in FAULTS if not args.only or re.search(args.only, f["id"])]
    for f in faults:
        text = open(os.path.join(src, f["file"])).read()
        n = text.count(f["old"])
        if n != 1:
            print("fault %s: the text occurs %d times in %s" % (f["id"], n, f["file"]))
            return 2
    t0 = time.time()
    # With --program-only the copy's tests come from its first whole build: later runs build
    # the program alone, at the start and at the end too (relinking every test binary after
    # each restored library took longer than the faults' runs).
    bdir = os.path.join(src, "build")
    target = "quendar" if args.program_only and os.path.exists(os.path.join(bdir, "quendar")) else None
    rc, out = build(work, args.jobs, target)
    if rc:
        print(out[-3000:])
        print("the unchanged copy does not build")
        return 2
    if args.baseline:
        baseline = {ln.strip() for ln in open(args.baseline) if ln.strip()}
    else:
        baseline = run_suites(work, args.jobs, False, args.verify_only, not args.no_unit, args.ctest_only)
    print("baseline: %d failing on the unchanged copy %s (%.0f s)" % (len(baseline), sorted(baseline),
                                                                       time.time() - t0), flush=True)
    table = open(args.table, "a") if args.table else None
    survivors = []
    for f in faults:
        path = os.path.join(src, f["file"])
        original = open(path).read()
        t1 = time.time()
        try:
            with open(path, "w") as w:
                w.write(original.replace(f["old"], f["new"]))
            rc, out = build(work, args.jobs, "quendar" if args.program_only else None)
            if rc:
                caught, status = [], "NO BUILD"
            else:
                caught = sorted(run_suites(work, args.jobs, args.quick, args.verify_only, not args.no_unit,
                                           args.ctest_only) - baseline)
                status = "caught" if caught else "SURVIVED"
        finally:
            with open(path, "w") as w:
                w.write(original)
        if status == "SURVIVED":
            survivors.append(f["id"])
        print("%-8s %-28s %-28s %4.0f s  %s" % (status, f["id"], f["file"], time.time() - t1,
                                               " ".join(caught[:12]) + (" ..." if len(caught) > 12 else "")),
              flush=True)
        if table:
            table.write(json.dumps({"id": f["id"], "file": f["file"], "what": f["what"], "status": status,
                                    "caught": caught, "detail": DETAIL if caught else []}) + "\n")
            table.flush()
    build(work, args.jobs, target)
    n = len(faults)
    print("%d faults, %d caught, survivors: %s (%.0f s)" % (n, n - len(survivors), " ".join(survivors) or "none",
                                                          time.time() - t0))
    return 1 if survivors else 0


if __name__ == "__main__":
    sys.exit(main())

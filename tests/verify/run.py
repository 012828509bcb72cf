#!/usr/bin/env python3
"""Runs the verification descriptors as a user would and compares what they report with
the exact answers of expect.json (written by generate.py).

Each descriptor runs with quendar -B -R -X in a scratch folder of its own. A check
compares a SUMMARY report, an eigenvalue, a TABLE, CDF, TECPLOT or TRANSFER export, or a
print's integral with its exact value; a rate check fits the least-squares slope of an
error over meshes; a falls check asks an error to fall with the error limit.
A descriptor's limit ("timeout", 120 s unless given) is on the CPU time of its run, so
that a loaded machine does not fail it; ten times that in wall time is a backstop for a
run that waits rather than computes.
Descriptors listed in known.json are known to be wrong today: their failures are
reported and do not fail the run, and a pass among them is reported as such.
    python3 run.py QUENDAR [--jobs N] [--only REGEX] [--keep]
Exits 1 when a check of a descriptor not known to fail fails.
"""
import argparse
import concurrent.futures
import glob
import itertools
import json
import math
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
NUM = r"[-+]?(?:\d+\.?\d*|\.\d+)(?:[eEdD][-+]?\d+)?"


def fnum(s):
    return float(s.replace("D", "e").replace("d", "e"))


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8", "replace")


def blocks(path):
    """The output blocks of a print file: header lines between '{' and '}', then the body."""
    out, cur, head = [], None, False
    for ln in read(path).splitlines():
        s = ln.strip()
        if s == "{" and (cur is None or not head):
            cur = {"header": [], "body": []}
            out.append(cur)
            head = True
        elif head:
            if s == "}":
                head = False
            else:
                cur["header"].append(ln)
        elif cur is not None:
            cur["body"].append(ln)
    return out


def summary_file(wd, name, file, when):
    """The SUMMARY print of a steady run (name.pNN) or of output time T (name.pNN_k)."""
    base = os.path.join(wd, name + "." + file)
    if when is None:
        return base
    for path in sorted(glob.glob(base + "_*")):
        for b in blocks(path):
            for h in b["header"]:
                m = re.match(r"\s*Time\s+(%s)\s*$" % NUM, h)
                if m and abs(fnum(m.group(1)) - when) <= 1e-6 * max(1, abs(when)):
                    return path
    raise ValueError("no summary for time %g" % when)


def reported(wd, name, check):
    path = summary_file(wd, name, check["file"], check.get("time"))
    body = blocks(path)[-1]["body"]
    for ln in body:
        m = re.match(r"^\s*(.*?)=\s*(%s)\s*$" % NUM, ln)
        if m and m.group(1).strip().lower() == check["label"].lower():
            return fnum(m.group(2))
    raise ValueError("%s reports no '%s'" % (os.path.basename(path), check["label"]))


def one_file(wd, pattern, last=False):
    hits = sorted(glob.glob(os.path.join(wd, pattern)))
    if not hits:
        raise ValueError("no file %s" % pattern)
    return hits[-1] if last else hits[0]


def inside(check, *at):
    """Whether a grid point lies in the domain a check names: the quarter disk of radius 1
    about (0.5, 0.5) for "curved", anywhere otherwise."""
    if check.get("inside") != "curved":
        return True
    return (at[0] - 0.5) ** 2 + (at[1] - 0.5) ** 2 <= 1 - 1e-9


def field(expr):
    return lambda x=0.0, y=0.0, z=0.0: eval(expr, {"math": math}, {"x": x, "y": y, "z": z})


def grid_of(path):
    """A TABLE or a plane print: per axis '<name> <n>' and its n coordinates, then DATA and
    the values, the first axis fastest."""
    toks = " ".join(blocks(path)[-1]["body"]).split()
    axes, i = [], 0
    while toks[i].upper() != "DATA":
        n = int(toks[i + 1])
        axes.append((toks[i].lower(), [fnum(v) for v in toks[i + 2:i + 2 + n]]))
        i += 2 + n
    return axes, [fnum(v) for v in toks[i + 1:]]


def grid_error(wd, check):
    """Largest difference between a printed grid and the field, other coordinates fixed."""
    axes, vals = grid_of(one_file(wd, check["file"]))
    f = field(check["field"])
    (a, ca), (b, cb) = axes
    worst = 0.0
    for j, vb in enumerate(cb):
        for i, va in enumerate(ca):
            at = dict(check["fixed"], **{a: va, b: vb})
            worst = max(worst, abs(vals[j * len(ca) + i] - f(**at)))
    return worst


def table_field_error(wd, check):
    """Largest difference between a TABLE export's grid values (2 or 3 axes) and the field."""
    axes, vals = grid_of(one_file(wd, check["file"], True))
    f = field(check["field"])
    coords = [c for _n, c in axes]
    worst = 0.0
    for flat, point in enumerate(itertools.product(*reversed(coords))):
        at = list(reversed(point))
        if inside(check, *at):
            worst = max(worst, abs(vals[flat] - f(*at)))
    return worst


def table_value(wd, check):
    axes, vals = grid_of(one_file(wd, check["file"]))
    axes = [c for _n, c in axes]
    flat, stride = 0, 1
    for coords, c in zip(axes, check["at"]):
        flat += min(range(len(coords)), key=lambda j: abs(coords[j] - c)) * stride
        stride *= len(coords)
    return vals[flat]


def cdf_error(wd, check):
    """Largest difference between the CDF grid values (read by ncdump) and the field."""
    text = subprocess.run(["ncdump", one_file(wd, check["file"], True)], capture_output=True, text=True,
                          check=True).stdout
    data = text.split("data:", 1)[1]

    def values(var):
        m = re.search(r"\b%s\s*=\s*([^;]*);" % var, data)
        return [fnum(v) for v in m.group(1).replace(",", " ").split()]
    xs, ys, u = values("X"), values("Y"), values(check["var"])
    f = field(check["field"])
    return max(abs(u[i * len(ys) + j] - f(xs[i], ys[j])) for i in range(len(xs)) for j in range(len(ys))
               if inside(check, xs[i], ys[j]))


def nodes_error(wd, check):
    """Largest difference between the node values of a TECPLOT or TRANSFER export and the field."""
    lines = read(one_file(wd, check["file"], True)).splitlines()
    f = field(check["field"])
    if check["format"] == "tecplot":
        zone = next(i for i, ln in enumerate(lines) if ln.startswith("ZONE"))
        n = int(re.search(r"\bN=(\d+)", lines[zone]).group(1))
        rows = lines[zone + 1:zone + 1 + n]
    else:
        at = next(i for i, ln in enumerate(lines) if ln.strip().endswith("NODES"))
        n = int(lines[at].split()[0])
        rows = lines[at + 1:at + 1 + n]
    worst = 0.0
    for ln in rows:
        v = [fnum(w) for w in ln.split()]
        worst = max(worst, abs(v[-1] - f(*v[:-1])))
    return worst


def print_integral(wd, name, check):
    text = read(os.path.join(wd, name + check["file"]))
    m = re.findall(r"Integral\s*=\s*(%s)" % NUM, text)
    if not m:
        raise ValueError("no Integral= in %s%s" % (name, check["file"]))
    return fnum(m[-1])


def plot_integral(wd, name, check):
    """The index-th "Integral=" text drawn in the plot file, in the order the plots were drawn."""
    with open(os.path.join(wd, name + ".pgx"), "rb") as f:
        found = re.findall(rb"Integral= *(" + NUM.encode() + rb")", f.read())
    if check["index"] >= len(found):
        raise ValueError("%d integrals in %s.pgx" % (len(found), name))
    return fnum(found[check["index"]].decode())


def plot_rms(wd, name, check):
    """The run's global error figure as the last status text of the plot file shows it."""
    with open(os.path.join(wd, name + ".pgx"), "rb") as f:
        found = re.findall(rb"RMS Err= *(" + NUM.encode() + rb")", f.read())
    if not found:
        raise ValueError("no RMS Err= in %s.pgx" % name)
    return fnum(found[-1].decode())


def eigenvalue(wd, name, mode):
    text = read(os.path.join(wd, name + ".eig"))
    for ln in text.split("EIGENVALUES", 1)[1].splitlines():
        m = re.match(r"^\s*(\d+):\s*(%s)\s*$" % NUM, ln)
        if m and int(m.group(1)) == mode:
            return fnum(m.group(2))
    raise ValueError("no mode %d in %s.eig" % (mode, name))


def measure(wd, name, check):
    """The value a check reads and its error against the exact answer."""
    kind = check["kind"]
    if kind == "report":
        got = reported(wd, name, check)
    elif kind == "eig":
        got = eigenvalue(wd, name, check["mode"])
    elif kind == "table":
        got = table_value(wd, check)
    elif kind == "integral":
        got = print_integral(wd, name, check)
    elif kind == "plotintegral":
        got = plot_integral(wd, name, check)
    elif kind == "plotrms":
        got = plot_rms(wd, name, check)
    elif kind == "cdf":
        return cdf_error(wd, check), None
    elif kind == "nodes":
        return nodes_error(wd, check), None
    elif kind == "tablefield":
        return table_field_error(wd, check), None
    elif kind == "grid":
        return grid_error(wd, check), None
    else:
        raise ValueError("unknown check %s" % kind)
    return abs(got - check["exact"]), got


def describe(check):
    what = check.get("label") or check.get("file") or "#%d" % check.get("index", 0)
    if check["kind"] == "eig":
        what = "mode %d" % check["mode"]
    if "time" in check:
        what += " at t=%g" % check["time"]
    return "%s %s" % (check["kind"], what)


def run_case(exe, work, case):
    name = case["name"]
    wd = os.path.join(work, name)
    os.makedirs(os.path.join(wd, "tmp"))
    shutil.copy(os.path.join(HERE, "cases", name + ".pde"), wd)
    for aux in case.get("files", []):
        shutil.copy(os.path.join(HERE, "cases", aux), wd)
    if "after" in case:
        src = os.path.join(work, case["after"]["case"], case["after"]["file"])
        if os.path.exists(src):
            shutil.copy(src, wd)
    env = dict(os.environ, TMPDIR=os.path.join(wd, "tmp"))
    env.pop("DISPLAY", None)
    t0 = time.time()
    limit = case.get("timeout", 120)
    p = subprocess.Popen([exe, "-B", "-R", "-X", name + ".pde"], cwd=wd, env=env, stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The run ends (SIGXCPU, then SIGKILL a second later) once it has computed for its limit.
    resource.prlimit(p.pid, resource.RLIMIT_CPU, (limit, limit + 1))
    backstop = threading.Timer(10 * limit, p.kill)
    backstop.start()
    try:
        # wait4 gives this run's own CPU time (the pool runs others beside it).
        _pid, status, usage = os.wait4(p.pid, 0)
    finally:
        backstop.cancel()
    p.returncode = rc = os.waitstatus_to_exitcode(status)
    cpu = usage.ru_utime + usage.ru_stime
    seconds = time.time() - t0
    if rc == -signal.SIGXCPU or (rc == -signal.SIGKILL and seconds < 10 * limit):
        rc = "CPU limit %d s" % limit
    elif rc == -signal.SIGKILL:
        rc = "wall limit %d s" % (10 * limit)
    results = []
    log = read(os.path.join(wd, name + ".log")) if os.path.exists(os.path.join(wd, name + ".log")) else ""
    errors = [ln.strip() for ln in log.splitlines() if "ERROR" in ln]
    if "error" in case:
        # A run that must end with a located error: its exit code and that error's text.
        if rc != case.get("rc", 0) or case["error"] not in log:
            results.append((False, "run", "exit %s %s (must end with: %s)" % (rc, "; ".join(errors[:2]), case["error"])))
        else:
            results.append((True, "run", "exit %s %s" % (rc, case["error"])))
    elif rc != case.get("rc", 0) or errors:
        results.append((False, "run", "exit %s %s" % (rc, "; ".join(errors[:2]))))
    for check in case["checks"]:
        try:
            err, got = measure(wd, name, check)
            ok = check.get("lo", 0) <= err <= check["tol"]
            detail = "error %.3g (tol %.3g)" % (err, check["tol"])
            if "lo" in check:
                detail = "error %.3g (between %.3g and %.3g)" % (err, check["lo"], check["tol"])
            if got is not None:
                detail = "got %.10g, exact %.10g, " % (got, check["exact"]) + detail
        except (OSError, ValueError, IndexError, KeyError, TypeError, ZeroDivisionError, StopIteration,
                subprocess.CalledProcessError) as e:
            ok, detail = False, str(e)
        results.append((ok, describe(check), detail))
    return name, (seconds, cpu), results


def slope(hs, errs):
    xs, ys = [math.log(h) for h in hs], [math.log(e) for e in errs]
    mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
    return sum((a - mx) * (b - my) for a, b in zip(xs, ys)) / sum((a - mx) ** 2 for a in xs)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("quendar")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--only")
    ap.add_argument("--keep", action="store_true")
    args = ap.parse_args()
    exe = os.path.abspath(args.quendar)
    with open(os.path.join(HERE, "expect.json")) as f:
        expect = json.load(f)
    cases = [c for c in expect["cases"] if not args.only or re.search(args.only, c["name"])]
    byname = {c["name"]: c for c in cases}
    work = tempfile.mkdtemp(prefix="quendar_verify_")
    t0 = time.time()
    failed, known_failed, known_passed, checks = [], [], [], 0

    def note(name, ok, what, detail):
        nonlocal checks
        checks += 1
        known = byname[name].get("known")
        mark = "PASS" if ok else ("KNOWN" if known else "FAIL")
        print("%-5s %s: %s  [%s]" % (mark, name, what, detail), flush=True)
        if not ok:
            (known_failed if known else failed).append(name)

    try:
        # Descriptors that read another's files run once that one has.
        for wave in ([c for c in cases if "after" not in c], [c for c in cases if "after" in c]):
            with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
                for name, (seconds, cpu), results in pool.map(lambda c: run_case(exe, work, c), wave):
                    print("RUN   %s  %.1f s, %.1f CPU s" % (name, seconds, cpu), flush=True)
                    for ok, what, detail in results:
                        note(name, ok, what, detail)
                    if byname[name].get("known") and all(ok for ok, _w, _d in results):
                        known_passed.append(name)

        def errors_of(names, label, when=None):
            return [reported(os.path.join(work, n), n, {"file": "p01", "label": label, "time": when}) for n in names]

        for r in expect["rates"]:
            if not all(n in byname for n in r["cases"]):
                continue
            try:
                if "stages" in r:
                    errs = [reported(os.path.join(work, r["cases"][0]), r["cases"][0],
                                     {"file": "p01_%d" % k, "label": r["label"]}) for k in range(1, r["stages"] + 1)]
                else:
                    errs = errors_of(r["cases"], r["label"])
                s = slope(r["h"], errs)
                ok, detail = s >= r["slope"], "errors %s, slope %.2f (at least %.2f)" % (
                    ["%.3g" % e for e in errs], s, r["slope"])
            except (OSError, ValueError, ZeroDivisionError) as e:
                ok, detail = False, str(e)
            note(r["cases"][-1], ok, "rate " + r["cell"], detail)
        for r in expect["falls"]:
            if not all(n in byname for n in r["cases"]):
                continue
            try:
                errs = errors_of(r["cases"], r["label"], r.get("time"))
                ok, detail = errs[1] < errs[0], "errors %s" % ["%.3g" % e for e in errs]
            except (OSError, ValueError) as e:
                ok, detail = False, str(e)
            note(r["cases"][-1], ok, "falls with ERRLIM " + r["cell"], detail)
    finally:
        if args.keep:
            print("scratch folders kept in %s" % work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    print("%d descriptors, %d checks, %.0f s" % (len(cases), checks, time.time() - t0))
    for name in sorted(set(known_failed)):
        print("known failure: %s: %s" % (name, byname[name]["known"]))
    for name in known_passed:
        print("NOW PASSES (known failure no longer shows): %s" % name)
    if failed:
        print("FAILED: %s" % " ".join(sorted(set(failed))))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Calibration of the steady error estimate against exact answers.

Runs every descriptor in problems/ at each ERRLIM as a user would (its own scratch folder,
BIN -B -R -X name.pde), reads the log (last RMS ERR, grids, nodes, exit status) and the summary
export (err_<var>: the true RMS error over the domain, relative to the variable's exact range;
abs_<var>: the RMS of a variable that is zero in truth), and writes a JSON of results.

  calibrate.py BIN [--errlim 1e-3,1e-4] [--only REGEX] [--jobs N] [--out DIR]
  calibrate.py --compare A.json B.json      markdown table of both runs
"""
import argparse, concurrent.futures, glob, json, os, re, shutil, subprocess, sys, time

HERE = os.path.dirname(os.path.abspath(__file__))
GRID_RE = re.compile(r"GRID\s+(\d+)\s+Nodes=(\d+).*?RMS ERR=\s*([-+0-9.eE]+)")
REPORT_RE = re.compile(r"^\s*(\w+)=\s*([-+0-9.eEnaifNAIF]+)\s*$", re.M)


def dimension(text):
    return 3 if re.search(r"CARTESIAN3", text, re.I) else 2


def run_one(binary, pde, errlim, out, timeout):
    name = os.path.splitext(os.path.basename(pde))[0]
    text = open(pde).read()
    new, count = re.subn(r"(?im)^(\s*ERRLIM\s*=\s*)[-+0-9.eE]+", lambda m: m.group(1) + errlim, text, count=1)
    if count != 1:
        raise SystemExit("%s: no ERRLIM line to replace" % pde)
    work = os.path.join(out, "%s_%s" % (name, errlim))
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    with open(os.path.join(work, name + ".pde"), "w") as f:
        f.write(new)
    start = time.time()
    try:
        proc = subprocess.run([binary, "-B", "-R", "-X", name + ".pde"], cwd=work, capture_output=True,
                              text=True, timeout=timeout)
        code = proc.returncode
    except subprocess.TimeoutExpired:
        code = "timeout"
    seconds = time.time() - start
    res = {"problem": name, "dim": dimension(text), "errlim": float(errlim), "exit": code,
           "seconds": round(seconds, 2), "grids": None, "nodes": None, "est": None, "true": {},
           "zero": {}, "end": ""}
    log = os.path.join(work, name + ".log")
    if os.path.exists(log):
        ltext = open(log, errors="replace").read()
        grids = GRID_RE.findall(ltext)
        if grids:
            res["grids"], res["nodes"], res["est"] = int(grids[-1][0]), int(grids[-1][1]), float(grids[-1][2])
        lines = [l.strip() for l in ltext.splitlines() if l.strip() and not GRID_RE.search(l)]
        res["end"] = " / ".join(l for l in lines[2:] if l != "END")[-300:]
    for p in sorted(glob.glob(os.path.join(work, "*.p[0-9]*")) + glob.glob(os.path.join(work, "*.txt"))):
        for key, val in REPORT_RE.findall(open(p, errors="replace").read()):
            try:
                v = float(val)
            except ValueError:
                continue
            if key.startswith("err_"):
                res["true"][key[4:]] = v
            elif key.startswith("abs_"):
                res["zero"][key[4:]] = v
    return res


def run(args):
    binary = os.path.abspath(args.binary)
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    pdes = sorted(glob.glob(os.path.join(HERE, "problems", "*.pde")))
    if args.only:
        pdes = [p for p in pdes if re.search(args.only, os.path.basename(p))]
    jobs = [(p, e) for p in pdes for e in args.errlim.split(",")]
    results = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        futs = {pool.submit(run_one, binary, p, e, out, args.timeout): (p, e) for p, e in jobs}
        for fut in concurrent.futures.as_completed(futs):
            r = fut.result()
            results.append(r)
            print("%-32s %-6g exit=%-4s %6.1fs grids=%s nodes=%s est=%s true=%s" % (
                r["problem"], r["errlim"], r["exit"], r["seconds"], r["grids"], r["nodes"], r["est"],
                r["true"]), flush=True)
    results.sort(key=lambda r: (r["problem"], -r["errlim"]))
    path = os.path.join(out, "calibration.json")
    with open(path, "w") as f:
        json.dump({"binary": binary, "results": results}, f, indent=1)
    print("wrote", path)


def rows_of(doc):
    rows = {}
    for r in doc["results"]:
        for var, true in r["true"].items():
            rows[(r["problem"], r["errlim"], var)] = (r, true)
    return rows


def cell(r, true):
    if r is None:
        return ["-"] * 5
    gn = "%s/%s" % (r["grids"], r["nodes"])
    ratio = true / r["errlim"]
    est = (r["est"] / true) if (r["est"] is not None and true > 0) else None
    if true < 1e-3 * r["errlim"] and (r["est"] or 0) < 1e-3 * r["errlim"]:
        # the cells hold the answer exactly: both errors are round-off, no ratio to read
        return [gn, "%.1g" % ratio, "(exact)", str(r["exit"]), "yes (exact)"]
    flags = []
    if est is None or not (1 / 3 <= est <= 3):
        flags.append("est")
    if ratio > 3:
        flags.append(">3 ERRLIM")
    if r["exit"] == 3:
        # a run that says it did not converge is allowed to miss the band
        flags = ["(not converged)"] + flags
    band = "yes" if not flags else "NO: " + ", ".join(flags)
    return [gn, "%.3g" % ratio, "-" if est is None else "%.3g" % est, str(r["exit"]), band]


def compare(a_path, b_path):
    a, b = json.load(open(a_path)), json.load(open(b_path))
    ra, rb = rows_of(a), rows_of(b)
    dims = {r["problem"]: r["dim"] for r in a["results"] + b["results"]}
    print("A = %s\nB = %s\n" % (a["binary"], b["binary"]))
    print("| problem | dim | ERRLIM | var | grids/nodes A | true/ERRLIM A | est/true A | exit A | in band A? "
          "| grids/nodes B | true/ERRLIM B | est/true B | exit B | in band B? |")
    print("|" + "---|" * 14)
    counts = {"A": [0, 0], "B": [0, 0]}
    for key in sorted(set(ra) | set(rb), key=lambda k: (k[0], -k[1], k[2])):
        ca, cb = cell(*ra.get(key, (None, 0))), cell(*rb.get(key, (None, 0)))
        for tag, c in (("A", ca), ("B", cb)):
            if c[4] != "-":
                counts[tag][0] += 1
                counts[tag][1] += c[4].startswith("yes")
        print("| %s | %d | %g | %s | %s |" % (key[0], dims[key[0]], key[1], key[2], " | ".join(ca + cb)))
    zero = []
    for tag, doc in (("A", a), ("B", b)):
        for r in doc["results"]:
            for var, v in r["zero"].items():
                zero.append("%s %s %g %s: RMS %.3g" % (tag, r["problem"], r["errlim"], var, v))
    if zero:
        print("\nVariables zero in truth (RMS of the computed value):\n" + "\n".join("- " + z for z in zero))
    slow = sorted({(r["seconds"], r["problem"], r["errlim"], tag) for tag, doc in (("A", a), ("B", b))
                   for r in doc["results"] if r["exit"] == "timeout" or r["seconds"] > 60}, reverse=True)
    if slow:
        print("\nSlow (> 60 s): " + ", ".join("%s %s %g %.0fs" % (t, p, e, s) for s, p, e, t in slow))
    for tag in "AB":
        print("\n%s: %d of %d rows in band" % (tag, counts[tag][1], counts[tag][0]), end="")
    print()


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("binary", nargs="?")
    ap.add_argument("--errlim", default="1e-3,1e-4")
    ap.add_argument("--only")
    ap.add_argument("--jobs", type=int, default=3)
    ap.add_argument("--out", default="calibration_out")
    ap.add_argument("--timeout", type=float, default=600)
    ap.add_argument("--compare", nargs=2, metavar=("A.json", "B.json"))
    args = ap.parse_args()
    if args.compare:
        compare(*args.compare)
    elif args.binary:
        run(args)
    else:
        ap.error("give a binary or --compare A.json B.json")


if __name__ == "__main__":
    main()

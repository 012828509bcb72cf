#!/usr/bin/env python3
"""A steady run's error estimate against its true error, at several ERRLIMs. The descriptor
REPORTs each variable's true RMS error over the domain, relative to the variable's range, as
rms_<name> (e.g. sqrt(integral((u - uexact)^2)/integral(1))/range); the estimate is the last
grid's RMS ERR in the log. Each ERRLIM runs on a copy of the descriptor in a scratch folder.
usage: estimate_ratio.py QUENDAR case.pde [ERRLIM ...] (1e-3 1e-4 by default); prints one line
per ERRLIM: exit code, grids, nodes, estimate, and per variable its true error, true / ERRLIM
and estimate / true."""
import os, re, shutil, subprocess, sys, tempfile


def run(binary, src, errlim):
    base = os.path.splitext(os.path.basename(src))[0]
    text = re.sub(r'ERRLIM\s*=\s*[0-9.eE+-]+', 'ERRLIM = %s' % errlim, open(src).read(), count=1)
    folder = tempfile.mkdtemp()
    try:
        open(os.path.join(folder, base + '.pde'), 'w').write(text)
        rc = subprocess.run([os.path.abspath(binary), base + '.pde'], cwd=folder, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, timeout=1800).returncode
        log = open(os.path.join(folder, base + '.log')).read()
        summary = open(os.path.join(folder, base + '.p01')).read()
    finally:
        shutil.rmtree(folder)
    grids = re.findall(r'GRID\s+\d+\s+Nodes=(\d+).*?RMS ERR=\s*(\S+)', log)
    nodes, estimate = grids[-1][0], float(grids[-1][1])
    line = '%s ERRLIM=%s rc=%d grids=%d nodes=%s estimate=%.4g' % (base, errlim, rc, len(grids), nodes, estimate)
    for name, value in re.findall(r'^\s*rms_(\w+)=\s*(\S+)', summary, re.M):
        true = float(value)
        line += '  %s: true=%.4g true/ERRLIM=%.3g est/true=%.3g' % (name, true, true / float(errlim), estimate / true)
    return line


if __name__ == '__main__':
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    for errlim in sys.argv[3:] or ['1e-3', '1e-4']:
        print(run(sys.argv[1], sys.argv[2], errlim), flush=True)

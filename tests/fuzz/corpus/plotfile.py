#!/usr/bin/env python3
# Writes the seed corpus of fuzz_plotfile with the test writer of plot files.
import json, os, subprocess, sys

here = os.path.dirname(os.path.abspath(__file__))
make = os.path.join(here, '..', '..', 'graphics', 'pgxmake.py')
def group(k, plots): return {'nodes': k, 'cells': 2 * k, 'time': 0.1 * k, 'step': k, 'plots': plots}
seeds = {
    'three': {'header': [2, 0, 1], 'groups': [group(k, [[1, 'A', k], [2, 'B', k]]) for k in (1, 2, 3)]},
    'modes': {'header': [1, 2, 0], 'groups': [group(1, [[1, 'M1', 1], [2, 'M2', 2], [3, 'Eigenvalues:', 3]])]},
    'empty': {'header': [1, 0, 0], 'groups': [{'nodes': 0}]},
    'noplots': {'header': [1, 0, 0], 'groups': [{'nodes': 3}, group(2, [[1, 'A', 2]])]},
    'staged': {'header': [1, 0, 256], 'groups': [dict(group(k, [[1, 'S', k]]), stage=k) for k in (1, 2)]},
    'cut': {'header': [1, 0, 0], 'groups': [group(1, [[1, 'A', 1]]), group(2, [[1, 'A', 2]])], 'cut': 9},
}
os.makedirs(os.path.join(here, 'plotfile'), exist_ok=True)
for name, d in seeds.items():
    subprocess.run([sys.executable, make, os.path.join(here, 'plotfile', name), json.dumps(d)], check=True)

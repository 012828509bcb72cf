#!/usr/bin/env python3
# Writes the seed corpus of fuzz_dxf: small drawings with a LAYER table and each
# entity kind the importer reads, in the group layout of the DXF format.
import os


def groups(*pairs): return ''.join('%d\n%s\n' % (c, v) for c, v in pairs)


def drawing(layers, *entities):
    head = groups((0, 'SECTION'), (2, 'TABLES'), (0, 'TABLE'), (2, 'LAYER'), (70, len(layers)))
    for n in layers:
        head += groups((0, 'LAYER'), (5, '10'), (330, '2'), (100, 'AcDbSymbolTableRecord'), (2, n), (70, 0), (62, 7))
    head += groups((0, 'ENDTAB'), (0, 'ENDSEC'), (0, 'SECTION'), (2, 'ENTITIES'))
    return head + ''.join(entities) + groups((0, 'ENDSEC'), (0, 'EOF'))


line = groups((0, 'LINE'), (8, 'a'), (10, 0), (20, 0), (11, 1), (21, 0))
arc = groups((0, 'ARC'), (8, 'a'), (10, 1), (20, 1), (40, 1), (50, 270), (51, 90))
circle = groups((0, 'CIRCLE'), (8, 'b'), (10, 5), (20, 5), (40, 2))
ellipse = groups((0, 'ELLIPSE'), (8, 'b'), (10, 0), (20, 0), (11, 0), (21, 2), (40, 0.5), (41, 4.7), (42, 1.5))
lw = groups((0, 'LWPOLYLINE'), (8, 'a'), (90, 3), (70, 1), (10, 0), (20, 0), (42, 0.5), (10, 2), (20, 0), (10, 1), (20, 2))
poly = groups((0, 'POLYLINE'), (8, 'b'), (66, 1), (70, 1), (0, 'VERTEX'), (8, 'b'), (10, 0), (20, 0), (42, -1),
              (0, 'VERTEX'), (8, 'b'), (10, 3), (20, 0), (0, 'SEQEND'))
text = groups((0, 'TEXT'), (8, 'a'), (10, 0.5), (20, 0.1), (40, 0.2), (1, 'VALUE(u)=0'))
mtext = groups((0, 'MTEXT'), (8, '0'), (10, 0), (20, 9), (40, 0.2), (3, 'VARIABLES\\Pu\\P'), (1, 'PLOTS\\PCONTOUR(u)'))
seeds = {
    'lines': drawing(['0', 'a'], line, text),
    'arcs': drawing(['0', 'a', 'b'], arc, circle, ellipse),
    'polylines': drawing(['0', 'a', 'b', '0_hidden'], lw, poly),
    'texts': drawing(['0', 'a'], line, lw, text, mtext),
}
here = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'dxf')
os.makedirs(here, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(here, name), 'w') as f:
        f.write(data)

# Mutable namespace-scope variables: definitions at column 0 (the code's layout puts
# namespace-scope declarations there), neither const, constexpr, extern, using, typedef
# nor a function, per top-level folder. Usage: python3 tools/count_statics.py [source root]
import re, sys, os, collections
root = sys.argv[1] if len(sys.argv) > 1 else "."
skip = re.compile(r'^(const|constexpr|extern|using|typedef|template|namespace|return|struct|class|enum|union|#|//|static_assert|inline constexpr|static const|static constexpr|friend|public|private|case|default)\b')
decl = re.compile(r'^(static |thread_local )?[A-Za-z_][\w:<>,\s*&]*?[\s*&]([A-Za-z_]\w*)\s*(\[[^\]]*\])*\s*(=[^;]*|\{[^;]*\})?;\s*(//.*)?$')
counts = collections.Counter()
for d, _, fs in os.walk(root):
    if '/build' in d or '/.git' in d or '/tests' in d or '/bench' in d: continue
    for f in fs:
        if not f.endswith('.cpp'): continue
        p = os.path.join(d, f)
        folder = os.path.relpath(p, root).split('/')[0]
        for line in open(p, errors='replace'):
            if skip.match(line) or '(' in line.split('=')[0]: continue
            m = decl.match(line.rstrip('\n'))
            if m: counts[folder] += 1 + line.split('=')[0].count(',') * (0 if '<' in line else 1)
for k in sorted(counts): print(f'{k:10s} {counts[k]}')
print(f'{"total":10s} {sum(counts.values())}')

#!/usr/bin/env python3
# check_layers.py SOURCE_DIR: holds every #include "..." under src/ to the layers that
# src/layers.txt lists, top to bottom. A file may include headers of its own folder (its
# first under src/) and of the folders below it in the list. The conversion (convert,
# formats) never reaches a platform header, not even through another header: that would
# let it depend on the system. Nor does convert reach a report header: it tells how it
# ended, and the run alone turns that into a message. README.md's Layout table must list
# the same src/ folders in the same order, so that the table people read is the one the
# code keeps.
import os, re, sys
from pathlib import Path

root = Path(sys.argv[1] if len(sys.argv) > 1 else '.')
src = root / 'src'
table = src / 'layers.txt'
layers = [line.strip() for line in table.read_text(encoding='utf-8').splitlines()
          if line.strip() and not line.lstrip().startswith('#')]
rank = {folder: i for i, folder in enumerate(layers)}
if not rank:
    sys.exit('src/layers.txt: no folders')
readme = re.split(r'^## ', (root / 'README.md').read_text(encoding='utf-8'), flags=re.M)
readme = next((s for s in readme if s.startswith('Layout\n')), '')
readme = re.findall(r'^\| `src/([^`/]+)` \|', readme, re.M)

def includes(path):  # (line, as written, the header's path under src/)
    for number, line in enumerate(path.read_text(encoding='utf-8', errors='replace').splitlines(), 1):
        if m := re.match(r'\s*#\s*include\s*"([^"]+)"', line):
            near = path.parent / m[1]  # a quoted include looks beside its file first
            yield number, m[1], os.path.relpath(near, src) if near.is_file() else os.path.normpath(m[1])

# The folders that each folder of the conversion never reaches, directly or not.
BARRED = {'convert': ('platform', 'report'), 'formats': ('platform',)}

def barred_chain(header, barred, seen):  # the headers through which `header` reaches a barred folder
    if header.split(os.sep)[0] in barred:
        return [header]
    if header in seen or not (src / header).is_file():
        return None
    seen.add(header)
    for _, _, inner in includes(src / header):
        if chain := barred_chain(inner, barred, seen):
            return [header] + chain

faults, checked = [], 0
if readme != layers:
    faults.append(f'README.md: the src/ rows of the Layout table ({", ".join(readme) or "none"}) '
                  f'are not those of src/layers.txt ({", ".join(layers)}), in its order')
for path in sorted(p for p in src.rglob('*') if p.is_file() and p != table):
    name = path.relative_to(root).as_posix()
    folder = path.relative_to(src).parts[0]
    if folder not in rank:
        faults.append(f'{name}: src/{folder} is not a layer of src/layers.txt')
        continue
    for number, written, header in includes(path):
        checked += 1
        target = header.split(os.sep)[0]
        if rank.get(target, -1) < rank[folder]:
            faults.append(f'{name}:{number}: #include "{written}": {folder} may not include {target}, '
                          'which is not below it in src/layers.txt')
        if folder in BARRED and (chain := barred_chain(header, BARRED[folder], set())):
            faults.append(f'{name}:{number}: #include "{written}": the conversion reaches a '
                          f'{chain[-1].split(os.sep)[0]} header ({" -> ".join(chain)})')
print('\n'.join(faults + [f'{checked} includes checked; {len(faults)} faults']))
sys.exit(1 if faults else 0)

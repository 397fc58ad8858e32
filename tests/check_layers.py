#!/usr/bin/env python3
# check_layers.py SOURCE_DIR: holds every #include "..." under src/ to the table of
# README.md's Layout section, so that the table people read is the one the code keeps.
# A file may include headers of its own folder (its first under src/) and of the folders
# below it in the table. The conversion (convert, formats) never reaches a platform
# header, not even through another header: that would let it depend on the system.
import os, re, sys
from pathlib import Path

root = Path(sys.argv[1] if len(sys.argv) > 1 else '.')
src = root / 'src'
layout = re.split(r'^## ', (root / 'README.md').read_text(encoding='utf-8'), flags=re.M)
layout = next((s for s in layout if s.startswith('Layout\n')), '')
rank = {folder: i for i, folder in enumerate(re.findall(r'^\| `src/([^`/]+)` \|', layout, re.M))}
if not rank:
    sys.exit('README.md: no src/ rows in the table of the Layout section')

def includes(path):  # (line, as written, the header's path under src/)
    for number, line in enumerate(path.read_text(encoding='utf-8', errors='replace').splitlines(), 1):
        if m := re.match(r'\s*#\s*include\s*"([^"]+)"', line):
            near = path.parent / m[1]  # a quoted include looks beside its file first
            yield number, m[1], os.path.relpath(near, src) if near.is_file() else os.path.normpath(m[1])

def platform_chain(header, seen):  # the headers through which `header` reaches platform/
    if header.split(os.sep)[0] == 'platform':
        return [header]
    if header in seen or not (src / header).is_file():
        return None
    seen.add(header)
    for _, _, inner in includes(src / header):
        if chain := platform_chain(inner, seen):
            return [header] + chain

faults, checked = [], 0
for path in sorted(p for p in src.rglob('*') if p.is_file()):
    name = path.relative_to(root).as_posix()
    folder = path.relative_to(src).parts[0]
    if folder not in rank:
        faults.append(f'{name}: src/{folder} is not a row of the Layout table in README.md')
        continue
    for number, written, header in includes(path):
        checked += 1
        target = header.split(os.sep)[0]
        if rank.get(target, -1) < rank[folder]:
            faults.append(f'{name}:{number}: #include "{written}": {folder} may not include {target}, '
                          'which is not below it in the Layout table')
        if folder in ('convert', 'formats') and (chain := platform_chain(header, set())):
            faults.append(f'{name}:{number}: #include "{written}": the conversion reaches a platform '
                          f'header ({" -> ".join(chain)})')
print('\n'.join(faults + [f'{checked} includes checked, {len(faults)} break the Layout table']))
sys.exit(1 if faults else 0)

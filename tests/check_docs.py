#!/usr/bin/env python3
# check_docs.py usage SOURCE_DIR PROGRAM: the block of README.md's Usage section is,
#   byte for byte, what PROGRAM prints when started without arguments.
# check_docs.py messages SOURCE_DIR: every error and warning of src/report/Messages.h
#   stands, as its text alone, on a line of its own in docs/README.txt, the text that
#   ships to mod authors. The other texts there (the usage screen, the report and log
#   lines) are not reproduced in docs/README.txt and are exempt by name below, so that a
#   new text must be listed in docs/README.txt or exempted here on purpose.
import ast, difflib, re, subprocess, sys
from pathlib import Path

EXEMPT = {'kUsage', 'kLogRule', 'kLogTime', 'kSourceWed', 'kSourceTis', 'kOutputWed',
          'kOutputTis', 'kNoHeader', 'kHeader', 'kBasicTiles', 'kDoorTiles', 'kAnimationTiles',
          'kOverlayedDoorTiles', 'kProgress', 'kConsoleSummary', 'kLogSummary',
          'kCompanionCopyWarnings', 'kCompanionDeleteWarnings', 'kSystemReason'}


def usage(root, program):
    section = re.split(r'^## ', (root / 'README.md').read_text(encoding='utf-8'), flags=re.M)
    section = next((s for s in section if s.startswith('Usage\n')), '')
    block = re.search(r'^```[^\n]*\n(.*?)^```$', section, re.M | re.S)
    if not block:
        return ['README.md: no fenced block in the Usage section']
    printed = subprocess.run([program], capture_output=True, timeout=60).stdout.decode()
    if block[1] == printed:
        return []
    return ['README.md: the Usage block is not what the program prints without arguments:',
            *difflib.unified_diff(block[1].splitlines(), printed.splitlines(), 'README.md', program, lineterm='')]


def messages(root):
    header = (root / 'src' / 'report' / 'Messages.h').read_text(encoding='utf-8')
    lines = {line.strip() for line in (root / 'docs' / 'README.txt').read_text(encoding='utf-8').splitlines()}
    faults, found = [], 0
    declared = r'inline constexpr const char\*\s*(\w+)(?:\[\])?\s*=\s*((?:\s*"(?:[^"\\]|\\.)*")*)'
    for name, value in re.findall(declared, header):
        if name in EXEMPT:
            continue
        text = ast.literal_eval('"' + ''.join(re.findall(r'"((?:[^"\\]|\\.)*)"', value)) + '"')
        kind = re.match(r'\s*(Error|Warning) :\t (.+?)\s*$', text, re.S)
        if not kind:
            faults.append(f'{name}: neither an error nor a warning; exempt it in check_docs.py if '
                          'docs/README.txt need not list it')
        elif kind[2] not in lines:
            faults.append(f'docs/README.txt: no line of its own for the {kind[1].lower()} "{kind[2]}" ({name})')
        else:
            found += 1
    return faults if found else faults + ['src/report/Messages.h: no error or warning found']


root = Path(sys.argv[2])
faults = usage(root, sys.argv[3]) if sys.argv[1] == 'usage' else messages(root)
print('\n'.join(faults) or 'ok')
sys.exit(1 if faults else 0)

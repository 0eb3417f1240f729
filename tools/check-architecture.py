#!/usr/bin/env python3
"""Checks every include in src/ against docs/architecture.md: project headers are written from
src/ and name a file that is there, and each folder includes only the folders and libraries its
row of the dependency table allows. Prints each offence and exits with 1 if there is any."""

import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SRC = os.path.join(ROOT, 'src')

# Headers made by the build, not found in src/.
GENERATED = {'wlr-foreign-toplevel-management-unstable-v1-client-protocol.h'}

# What a library's headers look like.
LIBRARIES = {
    'Qt': re.compile(r'(Q[A-Z]\w*|Qt\w*)(/|$)'),
    'SQLite': re.compile(r'sqlite3\.h$'),
    'SDL': re.compile(r'SDL2?[/_.]|SDL\.h$'),
    'XCB': re.compile(r'xcb/'),
    'Xlib': re.compile(r'X11/'),
    'Wayland': re.compile(r'wayland-'),
    'xkbcommon': re.compile(r'xkbcommon/'),
    'libdbus': re.compile(r'dbus/'),
}

INCLUDE = re.compile(r'^\s*#\s*include\s+([<"])([^>"]+)[>"]')


def read_table():
    text = open(os.path.join(ROOT, 'docs', 'architecture.md'), encoding='utf-8').read()
    block = re.search(r'<!-- dependencies:.*?-->(.*?)<!-- /dependencies -->', text, re.S)
    if not block:
        sys.exit('check-architecture: no dependency table in docs/architecture.md')
    rules = {}
    for line in block.group(1).splitlines():
        cells = [c.strip() for c in line.strip().strip('|').split('|')]
        if len(cells) != 3 or not cells[0].startswith('`'):
            continue
        folder = cells[0].strip('`')
        allowed = re.findall(r'`([^`]+)`', cells[1])
        libraries = cells[2].split()
        unknown = [lib for lib in libraries if lib not in LIBRARIES]
        if unknown:
            sys.exit(f'check-architecture: unknown library {unknown[0]} in the row of {folder}')
        rules[folder] = (allowed, set(libraries))
    return rules


def allows(patterns, folder):
    return any(folder == p or (p.endswith('/*') and folder.startswith(p[:-1])) for p in patterns)


def main():
    rules = read_table()
    offences = []
    for dirpath, _, files in os.walk(SRC):
        for name in sorted(files):
            if not name.endswith(('.h', '.cpp', '.c')):
                continue
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, SRC)
            folder = os.path.dirname(rel)
            if folder not in rules:
                offences.append(f'src/{rel}: its folder {folder} has no row in the table')
                continue
            allowed, libraries = rules[folder]
            for number, line in enumerate(open(path, encoding='utf-8'), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                quoted, header = match.group(1) == '"', match.group(2)
                where = f'src/{rel}:{number}'
                if quoted:
                    if header in GENERATED:
                        continue
                    if not os.path.isfile(os.path.join(SRC, header)):
                        offences.append(f'{where}: "{header}" is not a path from src/')
                        continue
                    target = os.path.dirname(header)
                    if target != folder and not allows(allowed, target):
                        offences.append(f'{where}: {folder} may not include {target} ("{header}")')
                else:
                    for library, pattern in LIBRARIES.items():
                        if pattern.match(header) and library not in libraries:
                            offences.append(f'{where}: {folder} may not use {library} (<{header}>)')
    for offence in offences:
        print(offence)
    if offences:
        print(f'check-architecture: {len(offences)} include(s) break docs/architecture.md')
        return 1
    print('check-architecture: every include keeps to docs/architecture.md')
    return 0


if __name__ == '__main__':
    sys.exit(main())

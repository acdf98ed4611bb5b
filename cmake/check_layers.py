#!/usr/bin/env python3
"""Holds every #include "..." of the source tree against cmake/layers.txt.

Prints file:line for each include that reaches up or around, or that names nothing in the
tree and is no generated header, and for each source file outside every layer; exits 1 if
there is any.
usage: check_layers.py SOURCE_DIR [LAYERS_FILE]
"""

import fnmatch
import os
import re
import subprocess
import sys

SOURCE_SUFFIXES = ('.c', '.cc', '.cpp', '.h', '.hpp')
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def read_layers(path):
    layers, generated = [], []
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            words = line.split('#', 1)[0].split()
            if not words:
                continue
            if words[0] == 'generated':
                generated += words[1:]
                continue
            folders = [w for w in words[1:] if w.endswith('/')]
            allowed = [w for w in words[1:] if not w.endswith('/')]
            if not folders:
                sys.exit(f'{path}:{number}: layer {words[0]} names no folder')
            layers.append((words[0], folders, set(allowed)))
    names = {name for name, _, _ in layers}
    for name, _, allowed in layers:
        unknown = allowed - names - {'*'}
        if unknown:
            sys.exit(f'{path}: layer {name} may include unknown layers {sorted(unknown)}')
    return layers, generated


def layer_of(relative, layers):
    # The longest folder wins: usb/package/ is its own layer inside usb/.
    best, length = None, -1
    for name, folders, _ in layers:
        for folder in folders:
            if relative.startswith(folder) and len(folder) > length:
                best, length = name, len(folder)
    return best


def is_build_tree(path):
    return os.path.exists(os.path.join(path, 'CMakeCache.txt'))


def git_files(root):
    # What git tracks or would add: build folders being configured (no CMakeCache.txt yet) are
    # ignored there, whatever their name.
    try:
        out = subprocess.run(['git', '-C', root, 'ls-files', '-co', '--exclude-standard', '-z'],
                             capture_output=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return None
    return sorted(p for p in out.decode('utf-8', 'replace').split('\0')
                  if p.endswith(SOURCE_SUFFIXES) and os.path.isfile(os.path.join(root, p)))


def source_files(root):
    tracked = git_files(root)
    if tracked is not None:
        yield from tracked
        return
    for directory, subdirs, files in os.walk(root):
        subdirs[:] = sorted(d for d in subdirs
                            if not d.startswith('.') and not is_build_tree(os.path.join(directory, d)))
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.relpath(os.path.join(directory, name), root).replace(os.sep, '/')


def resolve(root, including, included):
    # As the compiler looks: beside the including file, then from the source root and from
    # tests/ (the tests' own include path).
    for base in (os.path.dirname(including), '', 'tests'):
        candidate = os.path.normpath(os.path.join(base, included)).replace(os.sep, '/')
        if not candidate.startswith('..') and os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip().splitlines()[-1])
    root = os.path.abspath(sys.argv[1])
    layers_file = sys.argv[2] if len(sys.argv) == 3 else os.path.join(root, 'cmake', 'layers.txt')
    layers, generated = read_layers(layers_file)
    allowed_of = {name: allowed for name, _, allowed in layers}
    faults = checked = 0
    for path in source_files(root):
        own = layer_of(path, layers)
        with open(os.path.join(root, path), encoding='utf-8', errors='replace') as f:
            lines = list(f)
        if own is None:
            print(f'{path}: belongs to no layer of {layers_file}')
            faults += 1
            continue
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            checked += 1
            included = match.group(1)
            target = resolve(root, path, included)
            if target is None:
                if not any(fnmatch.fnmatch(os.path.basename(included), g) for g in generated):
                    print(f'{path}:{number}: includes "{included}", which is nowhere in the tree')
                    faults += 1
                continue
            theirs = layer_of(target, layers)
            if theirs is None:
                print(f'{path}:{number}: includes "{included}", which belongs to no layer')
                faults += 1
            elif theirs != own and '*' not in allowed_of[own] and theirs not in allowed_of[own]:
                print(f'{path}:{number}: {own} includes "{included}" of {theirs}, which it may not')
                faults += 1
    if faults:
        print(f'{faults} include(s) break the layers of {layers_file}')
        return 1
    print(f'{checked} includes keep the layers')
    return 0


if __name__ == '__main__':
    sys.exit(main())

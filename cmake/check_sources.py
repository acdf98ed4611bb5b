#!/usr/bin/env python3
"""Holds the source files against the CMake lists that name them.

The lists name their sources one by one (a glob would be checked again on every build), so a
file added without its line would simply not be built. Prints each source file (.c, .cpp,
.qrc, and a header that needs moc) that no CMakeLists.txt in its folder or above names, and
each CMakeLists.txt that no add_subdirectory above reaches; exits 1 if there is any.
usage: check_sources.py SOURCE_DIR
"""

import os
import re
import subprocess
import sys

BUILT = ('.c', '.cpp', '.qrc')
SKIPPED = ('tests/cmake/layers-fixture/',)
SUBDIRECTORY = re.compile(r'add_subdirectory\(\s*([^\s)]+)')
MOC = re.compile(r'^\s*Q_OBJECT\b', re.M)


def files(root):
    out = subprocess.run(['git', '-C', root, 'ls-files', '-co', '--exclude-standard', '-z'],
                         capture_output=True, check=True).stdout
    return sorted(p for p in out.decode('utf-8', 'replace').split('\0')
                  if p and not p.startswith(SKIPPED) and os.path.isfile(os.path.join(root, p)))


def words(text):
    # A list's words, with the folder variables it may put in front of a path taken off.
    text = re.sub(r'#[^\n]*', ' ', text)
    text = re.sub(r'\$\{(CMAKE_CURRENT_SOURCE_DIR|PROJECT_SOURCE_DIR)\}/', '', text)
    return set(re.split(r'[\s()"]+', text))


def main(root):
    tracked = files(root)
    lists = {os.path.dirname(p): open(os.path.join(root, p), encoding='utf-8').read()
             for p in tracked if os.path.basename(p) == 'CMakeLists.txt'}
    named = {folder: words(text) for folder, text in lists.items()}
    faults = []

    def ancestors(path):
        folder = os.path.dirname(path)
        while True:
            yield folder
            if not folder:
                return
            folder = os.path.dirname(folder)

    def listed(path):
        for folder in ancestors(path):
            if folder in named:
                relative = os.path.relpath(path, folder or '.')
                if relative in named[folder] or path in named[folder]:
                    return True
        return False

    for path in tracked:
        needs_list = path.endswith(BUILT) or (
            path.endswith('.h') and MOC.search(open(os.path.join(root, path), encoding='utf-8',
                                                    errors='replace').read()))
        if needs_list and not listed(path):
            faults.append(f'{path}: named by no CMakeLists.txt in its folder or above')

    reached = set()
    for folder, text in lists.items():
        for sub in SUBDIRECTORY.findall(text):
            if '${' in sub:
                continue
            reached.add(os.path.normpath(os.path.join(folder, sub)).replace(os.sep, '/'))
    # A loop over folder names ("foreach(d ...) add_subdirectory(${d})") names them as words.
    for folder, text in lists.items():
        if 'add_subdirectory(${' in text:
            for word in words(text):
                reached.add(os.path.normpath(os.path.join(folder, word)).replace(os.sep, '/'))
    for folder in sorted(lists):
        if folder and folder not in reached:
            faults.append(f'{folder}/CMakeLists.txt: reached by no add_subdirectory')

    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else '.'))

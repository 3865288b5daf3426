#!/usr/bin/env python3
"""Checks the shape of src/: the folders' include graph has no circle, no
window (src/ui) holds an SQL statement, and the core (src/core) never talks to
the operator: it returns what happened and the windows say it. Prints the
graph with -v."""
import collections
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src')
# The prompt interface and the dialogs, which only windows use.
PROMPTS = re.compile(r'#include "common/(prompts|helpers)\.h"|\bprompts\(\)|\bQ(MessageBox|FileDialog|ColorDialog|FontDialog|InputDialog)\b')
SQL = re.compile(r'"\s*(SELECT\s|INSERT\s+INTO|UPDATE\s+\S+\s+SET|DELETE\s+FROM|CREATE\s+TABLE)', re.I)


def folder_of(path):
    parts = os.path.relpath(path, ROOT).split(os.sep)
    return parts[0] if parts[0] == 'app' else parts[0] + '/' + parts[1]


def sources():
    for base, _, names in os.walk(ROOT):
        for name in names:
            if name.endswith(('.h', '.cpp')):
                yield os.path.join(base, name)


def included(source, header):
    # A window sees src/ui and src/core, the core only src/core.
    roots = ['ui', 'core'] if folder_of(source).split('/')[0] in ('ui', 'app') else ['core']
    for root in roots:
        candidate = os.path.join(ROOT, root, header)
        if os.path.exists(candidate):
            return candidate
    return None


def main():
    edges = collections.defaultdict(set)
    problems = []
    for path in sources():
        text = open(path, encoding='utf-8').read()
        here = folder_of(path)
        for header in re.findall(r'#include "([^"]+)"', text):
            target = included(path, header)
            if target and folder_of(target) != here:
                edges[here].add(folder_of(target))
        if here.startswith('core/'):
            for number, line in enumerate(text.splitlines(), 1):
                if PROMPTS.search(line) and not line.lstrip().startswith('//'):
                    problems.append('%s:%d: the core talks to the operator: %s'
                                    % (os.path.relpath(path, ROOT), number, line.strip()))
        if here.startswith('ui/'):
            for number, line in enumerate(text.splitlines(), 1):
                if SQL.search(line) and not line.lstrip().startswith('//'):
                    problems.append('%s:%d: SQL in a window: %s' % (os.path.relpath(path, ROOT), number, line.strip()))

    # Circles: any folder that reaches itself.
    def reaches(start):
        seen, todo = set(), list(edges[start])
        while todo:
            node = todo.pop()
            if node not in seen:
                seen.add(node)
                todo.extend(edges[node])
        return seen

    for folder in sorted(edges):
        if folder in reaches(folder):
            problems.append('%s includes itself through %s' % (folder, ', '.join(sorted(
                f for f in edges[folder] if folder in reaches(f)))))
    if '-v' in sys.argv:
        for folder in sorted(edges):
            print('%-16s -> %s' % (folder, ' '.join(sorted(edges[folder]))))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())

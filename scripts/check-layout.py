#!/usr/bin/env python3
"""Checks the shape of src/: the folders' include graph has no circle, no
window (src/ui) holds an SQL statement, and the core (src/core) never talks to
the operator: it returns what happened and the windows say it. Every source
file stays under MAX_FILE_LINES lines and every function body under
MAX_FUNCTION_LINES (a table of data is no function and is not counted).
Prints the graph with -v."""
import collections
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src')
# The prompt interface and the dialogs, which only windows use.
PROMPTS = re.compile(r'#include "common/(prompts|helpers)\.h"|\bprompts\(\)|\bQ(MessageBox|FileDialog|ColorDialog|FontDialog|InputDialog)\b')
SQL = re.compile(r'"\s*(SELECT\s|INSERT\s+INTO|UPDATE\s+\S+\s+SET|DELETE\s+FROM|CREATE\s+TABLE)', re.I)


MAX_FILE_LINES = 600
MAX_FUNCTION_LINES = 80


def long_functions(lines):
    """(first line, length, signature) of each function body longer than the
    limit. Bodies open with a brace alone at the start of a line and close with
    one; a class, struct, enum or union body opens the same way and is skipped."""
    found = []
    i = 0
    while i < len(lines):
        if lines[i] == '{':
            j = i - 1
            while j >= 0 and not lines[j].strip():
                j -= 1
            start = j
            while start > 0 and lines[start - 1].strip() and not lines[start - 1].rstrip().endswith((';', '}', '{')) \
                    and not lines[start - 1].startswith(('//', '#')):
                start -= 1
            signature = ' '.join(line.strip() for line in lines[start:j + 1])
            end = i + 1
            while end < len(lines) and not lines[end].startswith('}'):
                end += 1
            if not re.match(r'(template<.*>\s*)?(struct|class|enum|union)\b', signature) \
                    and end - i - 1 > MAX_FUNCTION_LINES:
                found.append((i + 1, end - i - 1, signature))
            i = end
        i += 1
    return found


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
        lines = text.split('\n')
        where = os.path.relpath(path, ROOT)
        if len(lines) > MAX_FILE_LINES:
            problems.append('%s: %d lines, more than %d: split it along its parts'
                            % (where, len(lines), MAX_FILE_LINES))
        for first, length, signature in long_functions(lines):
            problems.append('%s:%d: a function of %d lines, more than %d: %s'
                            % (where, first, length, MAX_FUNCTION_LINES, signature[:80]))
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

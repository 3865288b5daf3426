#!/usr/bin/env python3
"""Runs tombolix-verify and the document's own checker (verify_document.py)
over a corpus of records, and fails unless both give every record the
verdict its name promises and agree with each other on its exit code.

    check_corpus.py TOMBOLIX-VERIFY VERIFY_DOCUMENT.PY FOLDER...

A record named honest-*.json or v1-honest-*.json must pass; dishonest-*.json
or v1-dishonest-*.json must fail; notjson-*.json is no JSON text at all, and
both must end with 2. A list file beside a record, NAME.list.csv,
is given to both checkers with it."""
import pathlib
import subprocess
import sys


def run(command):
    done = subprocess.run(command, capture_output=True, timeout=600)
    return done.returncode, (done.stdout + done.stderr).decode('utf-8', 'replace').strip()


def main():
    verify, document, *folders = sys.argv[1:]
    code, said = run([sys.executable, document, '--vectors'])
    if code != 0:
        print(f'the document\'s test vectors: {said}')
        return 1
    faults, checked = [], 0
    for folder in folders:
        for record in sorted(pathlib.Path(folder).glob('*.json')):
            name = record.name
            if name.startswith(('honest-', 'v1-honest-', 'verifiable-draw-example')):
                wanted = 0
            elif name.startswith(('dishonest-', 'v1-dishonest-')):
                wanted = 1
            elif name.startswith('notjson-'):
                wanted = 2
            else:
                continue
            extra = [str(record.with_suffix('.list.csv'))] if record.with_suffix('.list.csv').exists() else []
            ours, ours_said = run([verify, str(record)] + extra)
            theirs, theirs_said = run([sys.executable, document, str(record)] + extra)
            checked += 1
            if ours != wanted or theirs != wanted or ours != theirs:
                faults.append(f'{record}: wanted {wanted}, tombolix-verify {ours}, verify_document.py {theirs}\n'
                              f'  tombolix-verify: {ours_said.splitlines()[0] if ours_said else ""}\n'
                              f'  verify_document.py: {theirs_said.splitlines()[0] if theirs_said else ""}')
    for fault in faults:
        print(fault)
    print(f'{checked} records checked by both, {len(faults)} disagreements')
    return 1 if faults or checked == 0 else 0


if __name__ == '__main__':
    sys.exit(main())

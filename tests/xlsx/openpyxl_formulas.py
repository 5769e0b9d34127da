#!/usr/bin/env python3
"""Compares the library's formulas of the corpus workbooks with openpyxl's.

For every .xlsx/.xlsm workbook below the corpus folder that both read, the
formula of every cell as the library gives it (FORMULAS=TRUE: as stored, a
shared formula moved to each of its cells, an array formula once with its
range) must equal the formula openpyxl reads for that cell, which moves
shared formulas itself; a formula on one side only counts against the
library too.  Workbooks in the Strict form of Open XML count as unreadable
by openpyxl (it opens them but finds no cell in them).

Usage: openpyxl_formulas.py DUMP_BOOK CORPUS_DIR [-v]
Exit: 0 when every formula agrees, 1 otherwise, 77 (skipped) when openpyxl
is not importable or the corpus is missing.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import agreement  # noqa: E402
from openpyxl_agreement import is_strict  # noqa: E402


def main():
    tool, corpus = agreement.arguments(__doc__)
    openpyxl = agreement.peer("openpyxl")
    agreement.need_corpus(corpus)
    books = compared = 0
    misses = []
    for path in agreement.workbooks(corpus, (".xlsx", ".xlsm")):
        ours = agreement.formulas(tool, path)
        if ours is None or is_strict(path):
            continue
        try:
            theirs = agreement.openpyxl_formulas(openpyxl.load_workbook(path))
        except Exception:
            continue
        books += 1
        for key in sorted(set(ours) | set(theirs)):
            compared += 1
            if ours.get(key) != theirs.get(key):
                misses.append((os.path.relpath(path, corpus), key, theirs.get(key), ours.get(key)))
    for m in misses if "-v" in sys.argv or len(misses) < 50 else misses[:50]:
        print("MISMATCH %s sheet %d %s: openpyxl %r, library %r" % (m[0], m[1][0], m[1][1], m[2], m[3]))
    print("%d workbooks, %d formulas compared, %d agree" % (books, compared, compared - len(misses)))
    return 0 if not misses and compared > 0 else 1


if __name__ == "__main__":
    sys.exit(main())

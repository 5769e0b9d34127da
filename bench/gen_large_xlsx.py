#!/usr/bin/env python3
"""Writes a large workbook for the Open XML reader's benchmark.

5 sheets x 40,000 rows x 5 columns (1,000,000 cells): Japanese text,
integers, decimals, dates and percentages.  The texts are inline strings
("<is>" elements, as xlsxwriter writes them in its constant-memory mode);
with --shared-strings they go into the shared-string table instead (as
spreadsheet programs usually write them; the generator then holds the whole
workbook in memory).

With --changed FRACTION, that share of the cells (chosen at random, the
same ones every time) holds another value than the workbook written without
it: a second version of the same workbook, for a comparison.

Usage: gen_large_xlsx.py OUTPUT.xlsx [ROWS] [--shared-strings] [--changed FRACTION]
Needs xlsxwriter (Debian: python3-xlsxwriter).
"""
import datetime
import random
import sys

import xlsxwriter


def main():
    argv = sys.argv[1:]
    changed = 0.0
    if "--changed" in argv:
        at = argv.index("--changed")
        changed = float(argv[at + 1])
        del argv[at:at + 2]
    args = [a for a in argv if a != "--shared-strings"]
    shared = len(args) != len(argv)
    out = args[0] if args else "large.xlsx"
    rows = int(args[1]) if len(args) > 1 else 40000
    pick = random.Random(26)
    wb = xlsxwriter.Workbook(out, {"constant_memory": not shared, "strings_to_numbers": False})
    date_fmt = wb.add_format({"num_format": 'yyyy"年"m"月"d"日"'})
    pct_fmt = wb.add_format({"num_format": "0.0%"})
    base = datetime.date(2000, 1, 1)
    words = ["東京都", "大阪府", "北海道", "沖縄県", "福岡県", "京都府", "愛知県", "神奈川県"]
    for s in range(5):
        ws = wb.add_worksheet("シート%d" % (s + 1))
        for r in range(rows):
            edit = [changed > 0 and pick.random() < changed for _ in range(5)]
            ws.write_string(r, 0, "%s 項目%05d%s" % (words[(r + s) % len(words)], r % 5000, "改" if edit[0] else ""))
            ws.write_number(r, 1, r * 7 + s + edit[1])
            ws.write_number(r, 2, (r % 1000) / 8.0 + 0.125 + edit[2])
            ws.write_datetime(r, 3, base + datetime.timedelta(days=r % 9000 + edit[3]), date_fmt)
            ws.write_number(r, 4, (r % 100) / 100.0 + edit[4] / 100.0, pct_fmt)
    wb.close()


if __name__ == "__main__":
    main()

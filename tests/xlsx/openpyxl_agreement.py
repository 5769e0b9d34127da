#!/usr/bin/env python3
"""Compares the library's display of the corpus workbooks with openpyxl.

For every .xlsx/.xlsm workbook below the corpus folder that the library
opens, every cell value that openpyxl reads (cached values, data_only) must
show in the library's dump of the same sheet and cell:

- a text: the same text;
- a boolean: TRUE or FALSE;
- a number: the same value (thousands separators, a leading currency
  backslash and a percent sign removed; a percentage shows value x 100),
  or, shown as a date, the date of its serial;
- a date or time: some of its date or time fields (year, month, day, hour,
  minute) among the numbers of the display, or a weekday name.

Usage: openpyxl_agreement.py DUMP_BOOK CORPUS_DIR [-v]
Exit: 0 when at least 97% of the values agree, 1 otherwise, 77 (skipped)
when openpyxl is not importable or the corpus is missing.
"""
import datetime
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import agreement  # noqa: E402


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    tool, corpus = sys.argv[1], sys.argv[2]
    openpyxl = agreement.import_peer("openpyxl")
    if openpyxl is None:
        print("SKIPPED: openpyxl is not importable")
        return 77
    import warnings
    warnings.simplefilter("ignore")
    if not os.path.isdir(corpus):
        print("SKIPPED: no corpus")
        return 77
    t = agreement.tally(("text", "bool", "number", "date"))
    for path in agreement.workbooks(corpus, (".xlsx", ".xlsm")):
        shown = agreement.dump(tool, path)
        if shown is None:
            t.refused += 1
            continue
        try:
            wb = openpyxl.load_workbook(path, data_only=True)
        except Exception:
            t.unread += 1
            continue
        t.books += 1
        by_name = dict(shown)
        for ws in wb.worksheets:
            cells = by_name.get(ws.title)
            for row in ws.iter_rows():
                for c in row:
                    v = c.value
                    if v is None or (isinstance(v, str) and v == ""):
                        continue
                    text = cells.get(c.coordinate, "") if cells is not None else None
                    if isinstance(v, bool):
                        kind, ok = "bool", text == ("TRUE" if v else "FALSE")
                    elif isinstance(v, (int, float)):
                        # A number the library shows under a date format that
                        # openpyxl does not know (eras, weekdays, the Japanese
                        # built-in ids) agrees by its serial's date.
                        kind = "number"
                        ok = text is not None and (agreement.number_agrees(v, text) or
                                                   agreement.shown_number_agrees(v, text, c.number_format) or
                                                   (text != "" and agreement.date_agrees(v, text, 1462 if getattr(wb, "epoch", None) and wb.epoch.year == 1904 else 0)))
                    elif isinstance(v, (datetime.date, datetime.time, datetime.timedelta)):
                        kind, ok = "date", text is not None and agreement.date_agrees(v, text, 1462 if getattr(wb, "epoch", None) and wb.epoch.year == 1904 else 0)
                    else:
                        kind, ok = "text", text == str(v)
                    t.add(kind, ok, (os.path.relpath(path, corpus), ws.title, c.coordinate, kind, v, text,
                                     c.number_format))
    return t.report("openpyxl", "-v" in sys.argv,
                    "MISMATCH %s [%s] %s %s: openpyxl %r, library %r, format %r")


if __name__ == "__main__":
    sys.exit(main())

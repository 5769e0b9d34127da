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
  minute) among the numbers of the display, or a weekday name;
- a comment: its text among the sheet's shape and comment texts.

A value shown as nothing is a missing cell, unless its number format hides
it; a cell the library shows that openpyxl does not have is an extra cell
(the rules are in tests/support/agreement.py).  Workbooks in the Strict form
of Open XML (namespaces under http://purl.oclc.org/ooxml/) count as
unreadable by openpyxl: it opens them but finds no cell in them.

Usage: openpyxl_agreement.py DUMP_BOOK CORPUS_DIR [-v]
Exit: 0 when no cell is missing or extra and at least 97% of the values
agree, 1 otherwise, 77 (skipped)
when openpyxl is not importable or the corpus is missing.
"""
import datetime
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import agreement  # noqa: E402


def main():
    tool, corpus = agreement.arguments(__doc__)
    openpyxl = agreement.peer("openpyxl")
    agreement.need_corpus(corpus)
    t = agreement.tally(("text", "bool", "number", "date", "comment"))
    for path in agreement.workbooks(corpus, (".xlsx", ".xlsm")):
        objects = {}
        shown = agreement.dump(tool, path, objects)
        if shown is None:
            t.refused += 1
            continue
        try:
            if is_strict(path):
                raise ValueError("Strict Open XML")
            wb = openpyxl.load_workbook(path, data_only=True)
        except Exception:
            t.unread += 1
            continue
        t.books += 1
        book = os.path.relpath(path, corpus)
        by_name = {name: i for i, (name, _) in enumerate(shown)}
        matched = set()
        for ws in wb.worksheets:
            at = by_name.get(ws.title)
            cells = shown[at][1] if at is not None else None
            matched.add(at)
            have = set()
            texts = objects.get(at, [])
            for row in ws.iter_rows():
                for c in row:
                    if c.comment is not None and c.comment.text:
                        t.add("comment", c.comment.text in texts,
                              (book, ws.title, c.coordinate, "comment", c.comment.text, texts, None))
                    v = c.value
                    if v is None or (isinstance(v, str) and v == ""):
                        continue
                    have.add(c.coordinate)
                    text = cells.get(c.coordinate, "") if cells is not None else None
                    if not text:
                        kind = ("text" if isinstance(v, str) else "bool" if isinstance(v, bool) else
                                "number" if isinstance(v, (int, float)) else "date")
                        if agreement.hidden_by_format(v, c.number_format):
                            t.add(kind, True, None)
                        else:
                            t.missing(kind, (book, ws.title, c.coordinate, kind, v, text, c.number_format))
                        continue
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
                    t.add(kind, ok, (book, ws.title, c.coordinate, kind, v, text, c.number_format))
            if cells is not None:
                t.extras(book, ws.title, cells, have.__contains__)
        for i, (name, cells) in enumerate(shown):
            if i not in matched:
                t.extras(book, name, cells, None)
    return t.report("openpyxl", "-v" in sys.argv,
                    "MISMATCH %s [%s] %s %s: openpyxl %r, library %r, format %r")


def is_strict(path):
    """Whether the workbook part is written in the Strict namespaces."""
    import zipfile
    try:
        with zipfile.ZipFile(path) as z:
            for name in z.namelist():
                if name.lower() == "xl/workbook.xml":
                    return b"purl.oclc.org/ooxml/spreadsheetml/main" in z.read(name)[:4096]
    except Exception:
        pass
    return False


if __name__ == "__main__":
    sys.exit(main())

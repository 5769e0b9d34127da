#!/usr/bin/env python3
"""Compares the library's display of the corpus .xls workbooks with xlrd.

For every .xls workbook below the corpus folder that both the library and
xlrd open, every cell value that xlrd reads must show in the library's dump
of the same sheet and cell:

- a text: the same text (a no-break space may show as a blank);
- a boolean: TRUE or FALSE;
- an error: its error text (#DIV/0!, #N/A, ...);
- a number: the same value, within the precision of the display (thousands
  separators, a leading currency backslash and a percent sign removed; a
  percentage shows value x 100), or, shown as a date, the date of its serial;
- a number under a date format: some of its date or time fields (year,
  month, day, hour, minute) among the numbers of the display, or a weekday.

Sheets are matched by name, else by position (the names of a 5.0/95
workbook are kept in its code page).

Usage: xlrd_agreement.py DUMP_BOOK CORPUS_DIR [-v]
Exit: 0 when at least 97% of the values agree, 1 otherwise, 77 (skipped)
when xlrd is not importable or the corpus is missing.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import agreement  # noqa: E402


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    tool, corpus = sys.argv[1], sys.argv[2]
    xlrd = agreement.import_peer("xlrd")
    if xlrd is None:
        print("SKIPPED: xlrd is not importable")
        return 77
    if not os.path.isdir(corpus):
        print("SKIPPED: no corpus")
        return 77
    t = agreement.tally(("text", "bool", "error", "number", "date"))
    for path in agreement.workbooks(corpus, (".xls",)):
        shown = agreement.dump(tool, path)
        if shown is None:
            t.refused += 1
            continue
        try:
            wb = xlrd.open_workbook(path, on_demand=False, logfile=open(os.devnull, "w"),
                                    formatting_info=True)
        except Exception:
            t.unread += 1
            continue
        t.books += 1
        by_name = dict(shown)
        for i, ws in enumerate(wb.sheets()):
            cells = by_name.get(ws.name)
            if cells is None:
                # A 5.0/95 name shows in its code page: by position.
                cells = shown[i][1] if i < len(shown) else None
            for r in range(ws.nrows):
                for c in range(ws.row_len(r)):
                    cell = ws.cell(r, c)
                    ct, v = cell.ctype, cell.value
                    if ct in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK) or (ct == xlrd.XL_CELL_TEXT and v == ""):
                        continue
                    ref = agreement.cell_name(r, c)
                    try:
                        code = wb.format_map[wb.xf_list[cell.xf_index].format_key].format_str
                    except (AttributeError, IndexError, KeyError, TypeError):
                        code = ""
                    text = cells.get(ref, "") if cells is not None else None
                    if ct == xlrd.XL_CELL_TEXT:
                        kind = "text"
                        ok = text is not None and (text == v or text == v.replace("\u00a0", " "))
                    elif ct == xlrd.XL_CELL_BOOLEAN:
                        kind, ok = "bool", text == ("TRUE" if v else "FALSE")
                    elif ct == xlrd.XL_CELL_ERROR:
                        kind, ok = "error", text == xlrd.error_text_from_code.get(v)
                    elif ct == xlrd.XL_CELL_DATE:
                        kind = "date"
                        ok = text is not None and (agreement.date_agrees(v, text, 1462 if wb.datemode else 0) or agreement.number_agrees(v, text))
                    else:
                        kind = "number"
                        ok = text is not None and (agreement.number_agrees(v, text) or
                                                   agreement.shown_number_agrees(v, text, code) or
                                                   (text != "" and agreement.date_agrees(v, text, 1462 if wb.datemode else 0)))
                    t.add(kind, ok, (os.path.relpath(path, corpus), ws.name, ref, kind, v, text))
    return t.report("xlrd", "-v" in sys.argv, "MISMATCH %s [%s] %s %s: xlrd %r, library %r")


if __name__ == "__main__":
    sys.exit(main())

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
  month, day, hour, minute) among the numbers of the display, or a weekday;
- a comment (note): its text among the sheet's shape and comment texts.

A value shown as nothing is a missing cell, unless its number format hides
it; a cell the library shows that xlrd does not have is an extra cell (the
rules are in tests/support/agreement.py).  Sheets are matched by name, else
by position.

Usage: xlrd_agreement.py DUMP_BOOK CORPUS_DIR [-v]
Exit: 0 when no cell is missing or extra and at least 97% of the values
agree, 1 otherwise, 77 (skipped)
when xlrd is not importable or the corpus is missing.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import agreement  # noqa: E402


def main():
    tool, corpus = agreement.arguments(__doc__)
    xlrd = agreement.peer("xlrd")
    agreement.need_corpus(corpus)
    t = agreement.tally(("text", "bool", "error", "number", "date", "note"))
    for path in agreement.workbooks(corpus, (".xls",)):
        objects = {}
        shown = agreement.dump(tool, path, objects)
        if shown is None:
            t.refused += 1
            continue
        wb = None
        for formatting in (True, False):
            try:
                wb = xlrd.open_workbook(path, on_demand=False, formatting_info=formatting,
                                        logfile=open(os.devnull, "w"))
                break
            except Exception:
                pass
        if wb is None:
            t.unread += 1
            continue
        t.books += 1
        book = os.path.relpath(path, corpus)
        base = 1462 if wb.datemode else 0  # serials of the 1904 date system
        by_name = {name: i for i, (name, _) in enumerate(shown)}
        matched = set()
        for i, ws in enumerate(wb.sheets()):
            at = by_name.get(ws.name, i if i < len(shown) else None)
            cells = shown[at][1] if at is not None else None
            matched.add(at)
            have = set()
            for r in range(ws.nrows):
                for c in range(ws.row_len(r)):
                    cell = ws.cell(r, c)
                    ct, v = cell.ctype, cell.value
                    if ct in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK) or (ct == xlrd.XL_CELL_TEXT and v == ""):
                        continue
                    ref = agreement.cell_name(r, c)
                    have.add(ref)
                    text = cells.get(ref, "") if cells is not None else None
                    miss = (book, ws.name, ref, None, v, text)
                    if not text and ct in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                        fmt = number_format(wb, cell)
                        kind = "date" if ct == xlrd.XL_CELL_DATE else "number"
                        if agreement.hidden_by_format(v, fmt):
                            t.add(kind, True, None)
                        else:
                            t.missing(kind, miss[:3] + (kind,) + miss[4:])
                        continue
                    if not text and ct == xlrd.XL_CELL_TEXT:
                        t.missing("text", miss[:3] + ("text",) + miss[4:])
                        continue
                    if ct == xlrd.XL_CELL_TEXT:
                        kind = "text"
                        ok = text is not None and (text == v or text == v.replace("\u00a0", " "))
                    elif ct == xlrd.XL_CELL_BOOLEAN:
                        kind, ok = "bool", text == ("TRUE" if v else "FALSE")
                    elif ct == xlrd.XL_CELL_ERROR:
                        kind, ok = "error", text == xlrd.error_text_from_code.get(v)
                    elif ct == xlrd.XL_CELL_DATE:
                        kind = "date"
                        ok = text is not None and (agreement.date_agrees(v, text, base) or agreement.number_agrees(v, text))
                    else:
                        kind = "number"
                        ok = text is not None and (agreement.number_agrees(v, text) or
                                                   agreement.shown_number_agrees(v, text, number_format(wb, cell) or "") or
                                                   (text != "" and agreement.date_agrees(v, text, base)))
                    t.add(kind, ok, (book, ws.name, ref, kind, v, text))
            if cells is not None:
                t.extras(book, ws.name, cells, have.__contains__)
            texts = objects.get(at, [])
            for (r, c), note in sorted(getattr(ws, "cell_note_map", {}).items()):
                if note.text:
                    ref = agreement.cell_name(r, c)
                    t.add("note", note.text in texts, (book, ws.name, ref, "note", note.text, texts))
        for i, (name, cells) in enumerate(shown):
            if i not in matched:
                t.extras(book, name, cells, None)
    return t.report("xlrd", "-v" in sys.argv, "MISMATCH %s [%s] %s %s: xlrd %r, library %r")


def number_format(wb, cell):
    """The format code of a cell, when xlrd read the formatting."""
    try:
        return wb.format_map[wb.xf_list[cell.xf_index].format_key].format_str
    except Exception:
        return None


if __name__ == "__main__":
    sys.exit(main())

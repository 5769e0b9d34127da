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
import datetime
import math
import os
import re
import subprocess
import sys


def find_xlrd():
    try:
        import xlrd  # noqa: F401
        return True
    except ImportError:
        pass
    if os.environ.get("VERGLE_AGREEMENT_REEXEC"):
        return False
    # Another python3 on the search path may carry the distribution's package.
    seen = {os.path.realpath(sys.executable)}
    for d in os.environ.get("PATH", "").split(os.pathsep) + ["/usr/bin"]:
        exe = os.path.join(d, "python3")
        if not os.access(exe, os.X_OK) or os.path.realpath(exe) in seen:
            continue
        seen.add(os.path.realpath(exe))
        if subprocess.call([exe, "-c", "import xlrd"], stderr=subprocess.DEVNULL) == 0:
            env = dict(os.environ, VERGLE_AGREEMENT_REEXEC="1")
            sys.exit(subprocess.call([exe, __file__] + sys.argv[1:], env=env))
    return False


def decode(b):
    try:
        return b.decode("utf-8")
    except UnicodeDecodeError:
        return b.decode("cp932", "replace")


def unescape(t):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)), t)


def dump(tool, path):
    """The library's dump: a list of (sheet name, {A1: text})."""
    p = subprocess.run([tool, path], capture_output=True, timeout=300)
    if p.returncode != 0:
        return None
    sheets, cur = [], None
    for raw in p.stdout.split(b"\n"):
        line = decode(raw)
        if line.startswith("#sheet\t"):
            cur = {}
            sheets.append((line.split("\t", 2)[2], cur))
        elif line.startswith("#") or not line or cur is None:
            continue
        else:
            ref, _, text = line.partition("\t")
            cur[ref] = unescape(text)
    return sheets


WEEKDAYS = ("Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "日", "月", "火", "水", "木", "金", "土")


def number_agrees(value, text):
    t = text.replace(",", "").lstrip("\\").strip()
    factor = 1.0
    if t.endswith("%"):
        t, factor = t[:-1], 100.0
    try:
        shown = float(t)
    except ValueError:
        return False
    want = float(value) * factor
    # A plain number shows fifteen significant digits; a percentage or a
    # number with thousands separators six decimals.
    coarse = factor != 1.0 or "," in text
    return math.isclose(shown, want, rel_tol=1e-9, abs_tol=5e-7 if coarse else 1e-12)


MONTHS = ("January", "February", "March", "April", "May", "June", "July", "August", "September",
          "October", "November", "December")


def serial_fields(value):
    """Date and time fields of a serial of the 1900 date system, and the
    names of its month."""
    if value < 0 or value >= 2958466:
        return set()
    fields = set()
    day = int(value)
    month = 1
    if day >= 1:
        base = datetime.date(1899, 12, 31) if day < 60 else datetime.date(1899, 12, 30)
        if day == 60:
            fields |= {1900, 0, 2, 29}
            month = 2
        else:
            d = base + datetime.timedelta(days=day)
            fields |= {d.year, d.year % 100, d.month, d.day}
            month = d.month
    else:
        fields |= {1900, 0, 1}
    name = MONTHS[month - 1]
    fields |= {name, name[:3], name[0]}
    secs = int(round((value - day) * 86400))
    h, m = secs // 3600, secs % 3600 // 60
    fields |= {h, h % 12 or 12, m}
    return fields


def date_agrees(value, text):
    if not text:
        return False
    nums = {int(n) for n in re.findall(r"\d+", text)} | set(re.findall(r"[A-Za-z]+", text))
    return bool(nums & serial_fields(value)) or any(w in text for w in WEEKDAYS)


def cell_name(r, c):
    s = ""
    c += 1
    while c:
        c, m = divmod(c - 1, 26)
        s = chr(65 + m) + s
    return "%s%d" % (s, r + 1)


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    tool, corpus = sys.argv[1], sys.argv[2]
    verbose = "-v" in sys.argv
    if not find_xlrd():
        print("SKIPPED: xlrd is not importable")
        return 77
    import xlrd
    if not os.path.isdir(corpus):
        print("SKIPPED: no corpus")
        return 77
    files = sorted(os.path.join(d, f) for d, _, fs in os.walk(corpus) for f in fs
                   if f.lower().endswith(".xls"))
    kinds = ("text", "bool", "error", "number", "date")
    totals = {k: [0, 0] for k in kinds}
    misses = []
    books = refused = unread = 0
    for path in files:
        shown = dump(tool, path)
        if shown is None:
            refused += 1
            continue
        try:
            wb = xlrd.open_workbook(path, on_demand=False, logfile=open(os.devnull, "w"))
        except Exception:
            unread += 1
            continue
        books += 1
        by_name = {name: cells for name, cells in shown}
        for i, ws in enumerate(wb.sheets()):
            cells = by_name.get(ws.name)
            if cells is None:
                # A 5.0/95 name shows in its code page: by position among the
                # worksheets of the dump.
                cells = shown[i][1] if i < len(shown) else None
            for r in range(ws.nrows):
                for c in range(ws.row_len(r)):
                    cell = ws.cell(r, c)
                    t, v = cell.ctype, cell.value
                    if t in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK) or (t == xlrd.XL_CELL_TEXT and v == ""):
                        continue
                    ref = cell_name(r, c)
                    text = cells.get(ref, "") if cells is not None else None
                    if t == xlrd.XL_CELL_TEXT:
                        kind = "text"
                        ok = text is not None and (text == v or text == v.replace("\u00a0", " "))
                    elif t == xlrd.XL_CELL_BOOLEAN:
                        kind, ok = "bool", text == ("TRUE" if v else "FALSE")
                    elif t == xlrd.XL_CELL_ERROR:
                        kind, ok = "error", text == xlrd.error_text_from_code.get(v)
                    elif t == xlrd.XL_CELL_DATE:
                        kind = "date"
                        ok = text is not None and (date_agrees(v, text) or number_agrees(v, text))
                    else:
                        kind = "number"
                        ok = text is not None and (number_agrees(v, text) or
                                                   (text != "" and date_agrees(v, text)))
                    totals[kind][0] += 1
                    if ok:
                        totals[kind][1] += 1
                    else:
                        misses.append((os.path.relpath(path, corpus), ws.name, ref, kind, v, text))
    agreed = sum(t[1] for t in totals.values())
    checked = sum(t[0] for t in totals.values())
    print("workbooks compared: %d (refused by the library: %d, unreadable by xlrd: %d)"
          % (books, refused, unread))
    for k in kinds:
        n, ok = totals[k]
        print("%-7s %6d of %6d agree" % (k, ok, n))
    print("total   %6d of %6d agree (%.2f%%)" % (agreed, checked, 100.0 * agreed / max(checked, 1)))
    for m in misses[: None if verbose else 60]:
        print("MISMATCH %s [%s] %s %s: xlrd %r, library %r" % m)
    return 0 if checked and agreed >= 0.97 * checked else 1


if __name__ == "__main__":
    sys.exit(main())

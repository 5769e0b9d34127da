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
import math
import os
import re
import shutil
import subprocess
import sys


def find_openpyxl():
    try:
        import openpyxl  # noqa: F401
        return True
    except ImportError:
        pass
    if os.environ.get("VERGLE_AGREEMENT_REEXEC"):
        return False
    # Another python3 on the search path may carry the distribution's package.
    seen = {os.path.realpath(sys.executable)}
    for d in os.environ.get("PATH", "").split(os.pathsep):
        exe = os.path.join(d, "python3")
        if not os.access(exe, os.X_OK) or os.path.realpath(exe) in seen:
            continue
        seen.add(os.path.realpath(exe))
        if subprocess.call([exe, "-c", "import openpyxl"], stderr=subprocess.DEVNULL) == 0:
            env = dict(os.environ, VERGLE_AGREEMENT_REEXEC="1")
            sys.exit(subprocess.call([exe, __file__] + sys.argv[1:], env=env))
    return False


def dump(tool, path):
    p = subprocess.run([tool, path], capture_output=True, timeout=120)
    if p.returncode != 0:
        return None
    sheets, cur = {}, None
    for line in p.stdout.decode("utf-8", "replace").split("\n"):
        if line.startswith("#sheet\t"):
            cur = sheets.setdefault(line.split("\t", 2)[2], {})
        elif line.startswith("#") or not line or cur is None:
            continue
        else:
            ref, _, text = line.partition("\t")
            cur[ref] = unescape(text)
    return sheets


def unescape(t):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)), t)


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
    return math.isclose(shown, want, rel_tol=1e-9, abs_tol=1e-9)


def serial_date(value):
    """The date of a serial of the 1900 date system (None outside it)."""
    if not 1 <= value < 2958466:
        return None
    base = datetime.datetime(1899, 12, 31) if value < 60 else datetime.datetime(1899, 12, 30)
    return base + datetime.timedelta(days=float(value))


def date_agrees(value, text):
    if not text:
        return False
    nums = {int(n) for n in re.findall(r"\d+", text)}
    fields = set()
    if isinstance(value, (datetime.date, datetime.datetime)):
        fields |= {value.year, value.year % 100, value.month, value.day}
    if isinstance(value, (datetime.datetime, datetime.time)):
        fields |= {value.hour, value.hour % 12 or 12, value.minute}
    if isinstance(value, datetime.timedelta):
        return bool(nums)
    return bool(nums & fields) or any(w in text for w in WEEKDAYS)


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    tool, corpus = sys.argv[1], sys.argv[2]
    verbose = "-v" in sys.argv
    if not find_openpyxl():
        print("SKIPPED: openpyxl is not importable")
        return 77
    import openpyxl
    import warnings
    warnings.simplefilter("ignore")
    if not os.path.isdir(corpus):
        print("SKIPPED: no corpus")
        return 77
    files = sorted(os.path.join(d, f) for d, _, fs in os.walk(corpus) for f in fs
                   if f.lower().endswith((".xlsx", ".xlsm")))
    totals = {"text": [0, 0], "bool": [0, 0], "number": [0, 0], "date": [0, 0]}
    misses = []
    books = refused = unread = 0
    for path in files:
        shown = dump(tool, path)
        if shown is None:
            refused += 1
            continue
        try:
            wb = openpyxl.load_workbook(path, data_only=True)
        except Exception:
            unread += 1
            continue
        books += 1
        for ws in wb.worksheets:
            cells = shown.get(ws.title)
            for row in ws.iter_rows():
                for c in row:
                    v = c.value
                    if v is None or (isinstance(v, str) and v == ""):
                        continue
                    text = cells.get(c.coordinate, "") if cells is not None else None
                    if isinstance(v, bool):
                        kind, ok = "bool", text == ("TRUE" if v else "FALSE")
                    elif isinstance(v, (int, float)):
                        kind, ok = "number", text is not None and number_agrees(v, text)
                        if not ok and text:
                            # A number that the library shows under a date
                            # format openpyxl does not know (eras, weekdays,
                            # the Japanese built-in ids): by its serial's date.
                            if 0 <= v < 1:
                                d = (datetime.datetime(1900, 1, 1) + datetime.timedelta(days=float(v))).time()
                            else:
                                d = serial_date(v)
                            ok = d is not None and date_agrees(d, text)
                    elif isinstance(v, (datetime.date, datetime.time, datetime.timedelta)):
                        kind, ok = "date", text is not None and date_agrees(v, text)
                    else:
                        kind, ok = "text", text == str(v)
                    totals[kind][0] += 1
                    if ok:
                        totals[kind][1] += 1
                    else:
                        misses.append((os.path.relpath(path, corpus), ws.title, c.coordinate, kind, v, text,
                                       c.number_format))
    agreed = sum(t[1] for t in totals.values())
    checked = sum(t[0] for t in totals.values())
    print("workbooks compared: %d (refused by the library: %d, unreadable by openpyxl: %d)"
          % (books, refused, unread))
    for k, (n, ok) in totals.items():
        print("%-7s %6d of %6d agree" % (k, ok, n))
    print("total   %6d of %6d agree (%.2f%%)" % (agreed, checked, 100.0 * agreed / max(checked, 1)))
    for m in misses[: None if verbose else 40]:
        print("MISMATCH %s [%s] %s %s: openpyxl %r, library %r, format %r" % m)
    return 0 if checked and agreed >= 0.97 * checked else 1


if __name__ == "__main__":
    sys.exit(main())

"""What the agreement checks with independent readers share: finding a
python3 that has the reader, the library's dump of a workbook, and the rules
by which a displayed text agrees with a value.  Every rule of the comparison
lives here, so that a change of the library's display changes one place.

The dump comes from the test tool xlsx_dump_book (MODE=UNLOAD, CHARSET=UTF8):
lines "#sheet\tINDEX\tNAME" and "A1\ttext" with \\n, \\r, \\t and \\\\ escaped.

Both directions count:
- every value the reader finds must show in the library's cell (the rules
  of text_agrees, number_agrees and date_agrees below); a value that shows
  as nothing is a missing cell unless hidden_by_format explains it;
- every cell the library shows with text must hold a value in the reader
  (an extra cell), on a sheet the reader knows.
"""
import datetime
import math
import os
import re
import subprocess
import sys


def import_peer(module):
    """The reader's module, or None.  When this python3 lacks it, another
    python3 on the search path (or the system's) that has it runs the calling
    script instead, and this process ends with its status."""
    try:
        return __import__(module)
    except ImportError:
        pass
    if os.environ.get("VERGLE_AGREEMENT_REEXEC"):
        return None
    seen = {os.path.realpath(sys.executable)}
    for d in os.environ.get("PATH", "").split(os.pathsep) + ["/usr/bin"]:
        exe = os.path.join(d, "python3")
        if not os.access(exe, os.X_OK) or os.path.realpath(exe) in seen:
            continue
        seen.add(os.path.realpath(exe))
        if subprocess.call([exe, "-c", "import " + module], stderr=subprocess.DEVNULL) == 0:
            env = dict(os.environ, VERGLE_AGREEMENT_REEXEC="1")
            sys.exit(subprocess.call([exe, os.path.abspath(sys.argv[0])] + sys.argv[1:], env=env))
    return None


def arguments(doc):
    """The tool and the corpus the command line names (the usage and exit 2
    when it names fewer)."""
    if len(sys.argv) < 3:
        print(doc)
        sys.exit(2)
    return sys.argv[1], sys.argv[2]


def skip(reason):
    """Ends a check that cannot run here, with its reason (exit 77)."""
    print("SKIPPED: " + reason)
    sys.exit(77)


def peer(module):
    """The reader's module with its warnings silenced; the check skipped
    when no python3 here has it."""
    m = import_peer(module)
    if m is None:
        skip(module + " is not importable")
    import warnings
    warnings.simplefilter("ignore")
    return m


def need_corpus(corpus):
    if not os.path.isdir(corpus):
        skip("no corpus")


def decode(b):
    try:
        return b.decode("utf-8")
    except UnicodeDecodeError:
        return b.decode("cp932", "replace")  # a 5.0/95 sheet name kept in its code page


def unescape(t):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)), t)


def dump(tool, path, objects=None):
    """The library's dump of a workbook: a list of (sheet name, {A1: text}),
    or None when the library refuses it.  The texts of the shapes and
    comments of sheet i go to objects[i] when a dict is given."""
    p = subprocess.run([tool, path], capture_output=True, timeout=300)
    if p.returncode != 0:
        return None
    sheets, cur = [], None
    for raw in p.stdout.split(b"\n"):
        line = decode(raw)
        if line.startswith("#sheet\t"):
            cur = {}
            sheets.append((line.split("\t", 2)[2], cur))
        elif line.startswith("#object\t") and objects is not None:
            objects.setdefault(len(sheets) - 1, []).append(unescape(line[len("#object\t"):]))
        elif line.startswith("#") or not line or cur is None:
            continue
        else:
            ref, _, text = line.partition("\t")
            cur[ref] = unescape(text)
    return sheets


WEEKDAYS = ("Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "日", "月", "火", "水", "木", "金", "土")
MONTHS = ("January", "February", "March", "April", "May", "June", "July", "August", "September",
          "October", "November", "December")


def number_agrees(value, text):
    """The same value, within the precision of the display: thousands
    separators, a leading currency backslash and a percent sign removed (a
    percentage shows value x 100)."""
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


NUMBER = re.compile(r"(\d[\d,]*(?:\.\d*)?|\.\d+)(?:E([+-]?\d+))?")


def shown_number_agrees(value, text, code):
    """The number a format code shows: the digits of the text, read with
    the scale the code implies (a percent sign, scaling commas, a fraction),
    equal to the value within half a unit of the last digit shown.  An
    empty text only where the code has an empty section."""
    if not code:
        return False
    if text.strip() == "":
        # The section that takes the value shows no placeholder at all.
        sections = code.split(";")
        pick = 0
        if len(sections) >= 2 and value < 0:
            pick = 1
        elif len(sections) >= 3 and value == 0:
            pick = 2
        bare = re.sub(r'"[^"]*"|\\.|\[[^\]]*\]|_.|\*.', "", sections[pick])
        return not re.search(r"[0#?@]|general", bare, re.I)
    t = text.strip()
    negative = value < 0
    m = re.search(r"(\d+) (\d+)/(\d+)$|^(\d+)/(\d+)$", t.replace("  ", " ").strip())
    if m:  # a fraction: whole part, numerator, denominator
        if m.group(1):
            shown = int(m.group(1)) + int(m.group(2)) / int(m.group(3))
            den = int(m.group(3))
        else:
            shown = int(m.group(4)) / int(m.group(5))
            den = int(m.group(5))
        return abs(shown - abs(value)) <= 0.5 / den + 1e-9
    found = NUMBER.search(t.replace("\u00a5", "").replace("$", ""))
    if not found:
        return False
    digits = found.group(1).replace(",", "")
    decimals = len(digits.split(".")[1]) if "." in digits else 0
    shown = float(digits or "0")
    if found.group(2):
        shown *= 10.0 ** int(found.group(2))
        exp = int(found.group(2))
    else:
        exp = 0
    want = abs(value)
    first = code.split(";")[0]
    plain = re.sub(r'"[^"]*"|\\.|\[[^\]]*\]', "", first)
    scales = [1.0]
    if "%" in plain:
        scales = [100.0]
    trailing = re.search(r"[0#?](,+)[^0#?]*$", plain.split(".")[0]) or re.search(r"[0#?](,+)[^0#?]*$", plain)
    if trailing:
        scales.append(10.0 ** (-3 * len(trailing.group(1))))
    tol = 0.5 * 10.0 ** (exp - decimals) * (1 + 1e-9) + 1e-12
    return any(abs(shown - want * k) <= max(tol, abs(want * k) * 1e-14) for k in scales)


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
            fields |= {1900, 0, 2, 29}  # the fictitious 1900-02-29
            month = 2
        else:
            d = base + datetime.timedelta(days=day)
            fields |= {d.year, d.year % 100, d.month, d.day}
            month = d.month
    else:
        fields |= {1900, 0, 1, 33}  # 1900/1/0, Meiji 33
    name = MONTHS[month - 1]
    fields |= {name, name[:3], name[0]}
    if day >= 61 or 1 <= day < 60:
        d = (datetime.date(1899, 12, 31) if day < 60 else datetime.date(1899, 12, 30)) + datetime.timedelta(days=day)
        key = (d.year, d.month, d.day)
        eras = ((1868, (1868, 9, 8)), (1912, (1912, 7, 30)), (1926, (1926, 12, 25)), (1989, (1989, 1, 8)),
                (2019, (2019, 5, 1)))
        start = max(y for y, first in eras if key >= first)
        fields |= {d.year - start + 1, int("%04d%02d%02d" % key)}  # era year, compact date
        fields |= {int("%04d%02d%02d%02d%02d%02d" % (key + divmod(int(round((value - day) * 86400)) // 60, 60)
                                                         + (int(round((value - day) * 86400)) % 60,)))}
    secs = int(round((value - day) * 86400))
    h, m = secs // 3600, secs % 3600 // 60
    fields |= {h, h % 12 or 12, m}
    return fields


def calendar_fields(d, h=0, m=0, sec=0):
    """The era year, the compact forms and the month's initial of a date."""
    key = (d.year, d.month, d.day)
    eras = ((1868, (1868, 9, 8)), (1912, (1912, 7, 30)), (1926, (1926, 12, 25)), (1989, (1989, 1, 8)),
            (2019, (2019, 5, 1)))
    start = max([y for y, first in eras if key >= first] or [1868])
    return {d.year - start + 1, int("%04d%02d%02d" % key), int("%04d%02d%02d%02d%02d%02d" % (key + (h, m, sec))),
            MONTHS[d.month - 1][0]}


def value_fields(value, offset=0):
    """Date and time fields of a date, time or serial."""
    if isinstance(value, (int, float)):
        return serial_fields(value)
    fields = set()
    if isinstance(value, (datetime.date, datetime.datetime)):
        fields |= {value.year, value.year % 100, value.month, value.day}
        if isinstance(value, datetime.datetime):
            fields |= calendar_fields(value, value.hour, value.minute, value.second)
        else:
            fields |= calendar_fields(value)
    if isinstance(value, datetime.time):
        # A time alone is serial 0 and below 1: day 0 of the date system.
        fields |= {1904, 1} if offset else {1900, 1, 0}
    if isinstance(value, (datetime.datetime, datetime.time)):
        fields |= {value.hour, value.hour % 12 or 12, value.minute}
    return fields


def date_agrees(value, text, offset=0):
    """Some of the date's fields among the numbers and words of the display,
    or a weekday name.  offset: 1462 for a serial of the 1904 date system.
    A row of # stands for a date that cannot be shown (before the system's
    first day or after 9999-12-31)."""
    if not text:
        return False
    if isinstance(value, (int, float)) and offset:
        value = value + offset
    if text.strip("#") == "":
        if isinstance(value, (int, float)):
            return value < offset or value >= 2958466
        return isinstance(value, (datetime.date, datetime.datetime)) and value.year < 1900 + 4 * (offset > 0)
    if isinstance(value, datetime.timedelta):
        return bool(re.search(r"\d", text))
    shown = {int(n) for n in re.findall(r"\d+", text)} | set(re.findall(r"[A-Za-z]+", text))
    return bool(shown & value_fields(value, offset)) or any(w in text for w in WEEKDAYS)


def hidden_by_format(value, fmt):
    """The one rule for a value that shows as nothing: its number format has
    an empty section for it (";;;" hides everything, "0;;" negatives and
    zeros, "0;-0;" zeros, an empty literal '""' everything)."""
    if not fmt or not isinstance(value, (int, float)) or isinstance(value, bool):
        return False
    sections, cur, quoted, esc = [], "", False, False
    for ch in fmt:
        if esc:
            cur, esc = cur + ch, False
        elif ch == "\\":
            cur, esc = cur + ch, True
        elif ch == '"':
            cur, quoted = cur + ch, not quoted
        elif ch == ";" and not quoted:
            sections.append(cur)
            cur = ""
        else:
            cur += ch
    sections.append(cur)
    if value > 0 or (value == 0 and len(sections) < 3):
        part = sections[0]
    elif value < 0:
        part = sections[1]
    else:
        part = sections[2]
    return re.sub(r'\[[^\]]*\]|""', "", part).strip() == ""


def cell_name(r, c):
    """The A1 name of 0-based row and column."""
    s = ""
    c += 1
    while c:
        c, m = divmod(c - 1, 26)
        s = chr(65 + m) + s
    return "%s%d" % (s, r + 1)


def workbooks(corpus, extensions):
    return sorted(os.path.join(d, f) for d, _, fs in os.walk(corpus) for f in fs if f.lower().endswith(extensions))


class tally:
    """Counts of values checked and agreed by kind, and the misses."""

    def __init__(self, kinds):
        self.kinds = kinds
        self.totals = {k: [0, 0] for k in kinds}
        self.misses = []
        self.lost = []       # values shown as nothing
        self.invented = []   # cells the reader does not have
        self.books = self.refused = self.unread = 0

    def add(self, kind, ok, miss):
        self.totals[kind][0] += 1
        if ok:
            self.totals[kind][1] += 1
        else:
            self.misses.append(miss)

    def missing(self, kind, miss):
        """A value of the reader's that the library shows as nothing."""
        self.totals[kind][0] += 1
        self.lost.append(miss)

    def extras(self, book, sheet, cells, peer_has):
        """Counts the cells the library shows with text where the reader has
        no value; peer_has(ref) tells whether the reader has one (None: the
        reader does not know the sheet)."""
        for ref, text in cells.items():
            if text != "" and (peer_has is None or not peer_has(ref)):
                self.invented.append((book, sheet, ref, text))

    def report(self, peer, verbose, miss_format):
        """Prints the figures; 0 when no cell is missing or extra and at
        least 97% of the values agree (extra cells counted as disagreeing),
        else 1."""
        agreed = sum(t[1] for t in self.totals.values())
        checked = sum(t[0] for t in self.totals.values()) + len(self.invented)
        print("workbooks compared: %d (refused by the library: %d, unreadable by %s: %d)"
              % (self.books, self.refused, peer, self.unread))
        for k in self.kinds:
            n, ok = self.totals[k]
            print("%-7s %6d of %6d agree" % (k, ok, n))
        print("missing %6d values of %s's shown as nothing" % (len(self.lost), peer))
        print("extra   %6d cells shown that %s does not have" % (len(self.invented), peer))
        print("total   %6d of %6d agree (%.2f%%)" % (agreed, checked, 100.0 * agreed / max(checked, 1)))
        for m in self.lost[: None if verbose else 60]:
            print(("MISSING " + miss_format[len("MISMATCH "):]) % m)
        for m in self.invented[: None if verbose else 60]:
            print("EXTRA %s [%s] %s: library %r" % m)
        for m in self.misses[: None if verbose else 60]:
            print(miss_format % m)
        ok = checked and agreed >= 0.97 * checked and not self.lost and not self.invented
        return 0 if ok else 1


def formulas(tool, path):
    """The library's formulas of a workbook (dump_book -f): {(sheet index,
    "A1"): text}, an array formula's text followed by " " and its range, or
    "#error <message>" for one the library reports; None when the library
    refuses the workbook."""
    p = subprocess.run([tool, "-f", path], capture_output=True, timeout=300)
    if p.returncode != 0:
        return None
    out, sheet = {}, -1
    for raw in p.stdout.split(b"\n"):
        line = decode(raw)
        if line.startswith("#sheet\t"):
            sheet = int(line.split("\t")[1])
        elif line and not line.startswith("#"):
            parts = line.split("\t")
            if parts[1] == "#error":
                out[(sheet, parts[0])] = "#error " + parts[3]
            else:
                out[(sheet, parts[0])] = unescape(parts[1]) + (" " + parts[2] if len(parts) > 2 else "")
    return out


def openpyxl_formulas(wb):
    """The formulas openpyxl reads from a workbook (its shared formulas
    already moved to each cell), in the form of formulas(): an array
    formula as "{=...} RANGE" at its first cell, a data table as
    "{=TABLE(r1,r2)} RANGE"."""
    out = {}
    for i, ws in enumerate(wb.worksheets):
        attributes = getattr(ws, "formula_attributes", {}) or {}
        for row in ws.iter_rows():
            for c in row:
                v = c.value
                if c.data_type != "f" and not hasattr(v, "ref"):
                    continue
                key = (i, c.coordinate)
                if hasattr(v, "ref") and hasattr(v, "text"):  # an array formula (openpyxl 3.1)
                    out[key] = "{=" + (v.text or "").lstrip("=") + "} " + v.ref
                elif hasattr(v, "ref"):  # a data table (openpyxl 3.1)
                    args = (v.r1 + "," + v.r2) if v.dt2D else (v.r1 + ",") if v.dtr else ("," + v.r1)
                    out[key] = "{=TABLE(" + args + ")} " + v.ref
                elif attributes.get(c.coordinate, {}).get("t") == "array":  # openpyxl 3.0
                    out[key] = "{=" + v.lstrip("=") + "} " + attributes[c.coordinate]["ref"]
                elif isinstance(v, str):
                    out[key] = v
    return out

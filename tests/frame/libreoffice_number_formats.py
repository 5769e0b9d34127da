#!/usr/bin/python3
"""Checks the number-format case table against LibreOffice.

    libreoffice_number_formats.py CASES.tsv

Writes one workbook holding every row of the table (the value in column A
under the row's code), has LibreOffice in the Japanese locale export it as
CSV with the cells "as shown", and compares each shown text with the text
the table expects.  A row whose note says why Excel's text is followed may
differ; any other difference fails.  Built-in ids are written as their
Japanese codes; rows of the 1904 date system are left out (one workbook has
one date system).

Exit 77 (skipped) when LibreOffice (soffice) or python3-openpyxl is missing.
"""
import csv
import os
import shutil
import subprocess
import sys
import tempfile

BUILTIN = {  # the Japanese codes of the built-in ids the table uses
    1: "0", 2: "0.00", 3: "#,##0", 4: "#,##0.00",
    5: '"¥"#,##0;"¥"\\-#,##0', 6: '"¥"#,##0;[Red]"¥"\\-#,##0',
    7: '"¥"#,##0.00;"¥"\\-#,##0.00', 8: '"¥"#,##0.00;[Red]"¥"\\-#,##0.00',
    9: "0%", 10: "0.00%", 11: "0.00E+00", 12: "# ?/?", 13: "# ??/??",
    14: "yyyy/m/d", 15: "d-mmm-yy", 16: "d-mmm", 17: "mmm-yy",
    18: "h:mm AM/PM", 19: "h:mm:ss AM/PM", 20: "h:mm", 21: "h:mm:ss",
    22: "yyyy/m/d h:mm", 27: "[$-411]ge.m.d", 28: '[$-411]ggge"年"m"月"d"日"',
    30: "m/d/yy", 31: 'yyyy"年"m"月"d"日"', 32: 'h"時"mm"分"',
    33: 'h"時"mm"分"ss"秒"', 34: 'yyyy"年"m"月"', 35: 'm"月"d"日"',
    36: "[$-411]ge.m.d", 37: "#,##0 ;(#,##0)", 38: "#,##0 ;[Red](#,##0)",
    39: "#,##0.00;(#,##0.00)", 40: "#,##0.00;[Red](#,##0.00)",
    41: '_ * #,##0_ ;_ * \\-#,##0_ ;_ * "-"_ ;_ @_ ',
    42: '_ "¥"* #,##0_ ;_ "¥"* \\-#,##0_ ;_ "¥"* "-"_ ;_ @_ ',
    43: '_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * "-"??_ ;_ @_ ',
    45: "mm:ss", 46: "[h]:mm:ss", 47: "mm:ss.0", 48: "##0.0E+0", 49: "@",
    50: "[$-411]ge.m.d", 51: '[$-411]ggge"年"m"月"d"日"', 52: 'yyyy"年"m"月"',
    53: 'm"月"d"日"', 54: '[$-411]ggge"年"m"月"d"日"', 55: 'yyyy"年"m"月"',
    56: 'm"月"d"日"', 57: "[$-411]ge.m.d", 58: '[$-411]ggge"年"m"月"d"日"', 0: "General",
}


def load(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            parts = line.split("\t") + [""] * 5
            rows.append((n,) + tuple(parts[:5]))
    return rows


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    try:
        import openpyxl
    except ImportError:
        openpyxl = None
        debian = "/usr/bin/python3"  # where the Debian modules live
        if os.path.realpath(sys.executable) != os.path.realpath(debian) and os.path.exists(debian):
            os.execv(debian, [debian] + sys.argv)
    if not soffice or openpyxl is None:
        print("LibreOffice or python3-openpyxl is missing: skipped")
        return 77
    rows = [r for r in load(sys.argv[1]) if r[1] != "date1904"]
    wb = openpyxl.Workbook()
    ws = wb.active
    for i, (n, feature, code, value, expected, note) in enumerate(rows, 1):
        if code.startswith("id:"):
            code = BUILTIN[int(code[3:])]
        cell = ws.cell(row=i, column=1)
        cell.value = value[2:] if value.startswith("s:") else float(value)
        cell.number_format = code
    with tempfile.TemporaryDirectory() as tmp:
        book = os.path.join(tmp, "cases.xlsx")
        wb.save(book)
        env = dict(os.environ, LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8", HOME=tmp)
        # CSV: comma, double quote, UTF-8, from line 1, default cell formats,
        # Japanese, ..., cell contents as shown.
        filt = "csv:Text - txt - csv (StarCalc):44,34,76,1,,1041,false,true,true,false,false"
        subprocess.run([soffice, "--headless", "--norestore", "-env:UserInstallation=file://" + tmp + "/profile",
                        "--convert-to", filt, "--outdir", tmp, book],
                       env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300, check=False)
        out = os.path.join(tmp, "cases.csv")
        if not os.path.exists(out):
            print("LibreOffice wrote no CSV")
            return 1
        with open(out, encoding="utf-8", newline="") as f:
            shown = [r[0] if r else "" for r in csv.reader(f)]
    shown += [""] * (len(rows) - len(shown))
    agree = explained = 0
    unexplained = []
    for (n, feature, code, value, expected, note), text in zip(rows, shown):
        if text == expected:
            agree += 1
        elif note:
            explained += 1
            print(f"follows Excel (line {n}, {feature}) {code!r} {value}: Excel {expected!r}, LibreOffice {text!r}: {note}")
        else:
            unexplained.append(f"line {n} [{feature}] {code!r} {value}: expected {expected!r}, LibreOffice {text!r}")
    for u in unexplained:
        print("DIFFERS", u)
    print(f"{len(rows)} rows: {agree} agree, {explained} follow Excel with a reason, {len(unexplained)} unexplained")
    return 1 if unexplained else 0


if __name__ == "__main__":
    sys.exit(main())

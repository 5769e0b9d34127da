#!/usr/bin/python3
"""Writes the two sample workbooks under samples/: a budget and its revised
version, with Japanese and ASCII text, dates in Japanese formats, amounts
with thousands separators, a percentage, a comment and a text box, differing
in a few cells.

    python3 scripts/make-sample-workbooks.py [OUTPUT_FOLDER]

Needs xlsxwriter (Debian: python3-xlsxwriter).
"""
import datetime
import os
import sys

import xlsxwriter

CREATED = datetime.datetime(2024, 4, 1, 9, 0, 0)

VERSIONS = {
    "budget_v1.xlsx": {
        "rows": [("旅費", 120000, 0.25), ("備品", 45800, 0.10), ("Training", 300000, 0.65)],
        "date": datetime.date(2024, 4, 1),
        "comment": "承認済み",
        "box": "予算案（第1版）",
    },
    "budget_v2.xlsx": {
        "rows": [("旅費", 135000, 0.27), ("備品", 45800, 0.09), ("Training", 300000, 0.60),
                 ("書籍", 20000, 0.04)],
        "date": datetime.date(2024, 4, 15),
        "comment": "承認済み（再提出）",
        "box": "予算案（第2版）",
    },
}


def build(path, spec):
    wb = xlsxwriter.Workbook(path)
    wb.set_properties({"created": CREATED, "author": "Vergle"})
    bold = wb.add_format({"bold": True})
    yen = wb.add_format({"num_format": "#,##0"})
    pct = wb.add_format({"num_format": "0%"})
    jdate = wb.add_format({"num_format": 'yyyy"年"m"月"d"日"'})
    era = wb.add_format({"num_format": '[$-411]ggge"年"m"月"d"日"'})

    ws = wb.add_worksheet("予算 2024")
    ws.write_row(0, 0, ["費目", "金額", "割合"], bold)
    for r, (name, amount, share) in enumerate(spec["rows"], start=1):
        ws.write_string(r, 0, name)
        ws.write_number(r, 1, amount, yen)
        ws.write_number(r, 2, share, pct)
    total = len(spec["rows"]) + 1
    ws.write_string(total, 0, "合計", bold)
    ws.write_formula(total, 1, "=SUM(B2:B%d)" % total, yen, sum(a for _, a, _ in spec["rows"]))
    ws.write_comment(1, 1, spec["comment"])
    ws.insert_textbox(total + 2, 0, spec["box"])

    info = wb.add_worksheet("Info")
    info.write_string(0, 0, "作成日")
    info.write_datetime(0, 1, datetime.datetime.combine(spec["date"], datetime.time()), jdate)
    info.write_string(1, 0, "和暦")
    info.write_datetime(1, 1, datetime.datetime.combine(spec["date"], datetime.time()), era)
    wb.close()


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "samples")
    os.makedirs(out, exist_ok=True)
    for name, spec in VERSIONS.items():
        build(os.path.join(out, name), spec)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Writes the two sample Word documents under samples/: a report and its
revised version, with Japanese and ASCII text, a table and a page break,
differing in a few lines.

    python3 scripts/make-samples.py [OUTPUT_FOLDER]

Needs python-docx (Debian: python3-docx).  The output is byte-for-byte
reproducible: fixed document properties and fixed member times.
"""
import datetime
import io
import os
import sys
import zipfile

import docx

FIXED_TIME = datetime.datetime(2024, 4, 1, 9, 0, 0)

VERSIONS = {
    "report_v1.docx": {
        "title": "月次報告書 2024年3月",
        "summary": "今月の売上は前月比 5% 増でした。",
        "rows": [("品名", "数量", "単価"), ("りんご", "120", "150"), ("みかん", "80", "90"), ("Banana", "45", "60")],
        "notes": ["出荷は予定どおり完了しました。", "Next review: April 15.", "問い合わせ先：営業部 山田"],
        "closing": "以上",
    },
    "report_v2.docx": {
        "title": "月次報告書 2024年3月（改訂版）",
        "summary": "今月の売上は前月比 7% 増でした。",
        "rows": [("品名", "数量", "単価"), ("りんご", "120", "150"), ("みかん", "85", "90"), ("Banana", "45", "60"),
                 ("ぶどう", "30", "400")],
        "notes": ["出荷は予定どおり完了しました。", "Next review: April 22.", "問い合わせ先：営業部 山田"],
        "closing": "以上",
    },
}


def build(spec):
    d = docx.Document()
    d.core_properties.author = "Vergle"
    d.core_properties.created = FIXED_TIME
    d.core_properties.modified = FIXED_TIME
    d.core_properties.last_modified_by = "Vergle"
    d.core_properties.revision = 1
    d.add_heading(spec["title"], level=1)
    d.add_paragraph(spec["summary"])
    d.add_paragraph("Sales summary (ASCII line): all figures in JPY.")
    table = d.add_table(rows=0, cols=3)
    for row in spec["rows"]:
        cells = table.add_row().cells
        for cell, text in zip(cells, row):
            cell.text = text
    d.add_page_break()
    d.add_heading("備考", level=2)
    for note in spec["notes"]:
        d.add_paragraph(note)
    d.add_paragraph(spec["closing"])
    buf = io.BytesIO()
    d.save(buf)
    return buf.getvalue()


def normalise(data):
    """The same package with fixed member times, members in their order."""
    src = zipfile.ZipFile(io.BytesIO(data))
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as dst:
        for info in src.infolist():
            fixed = zipfile.ZipInfo(info.filename, date_time=FIXED_TIME.timetuple()[:6])
            fixed.compress_type = zipfile.ZIP_DEFLATED
            fixed.external_attr = 0o644 << 16
            dst.writestr(fixed, src.read(info.filename))
    return out.getvalue()


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "samples")
    os.makedirs(folder, exist_ok=True)
    for name, spec in VERSIONS.items():
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(normalise(build(spec)))
        print(path)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes two folder trees of small workbooks for the benchmark of a
comparison of two folders.

    gen_tree.py OUT COUNT [--changed FRACTION]

OUT/a and OUT/b each get COUNT workbooks (3 sheets x 20 rows x 4 columns:
Japanese text, integers, decimals, dates shown through a format code) in
20 subfolders, named alike on both sides; in OUT/b the FRACTION (default
0.05) of them chosen at random (the same ones every time) has one cell
changed.  The packages are written with zipfile alone, so nothing beyond
Python is needed.
"""
import os
import random
import sys
import zipfile

CONTENT_TYPES = (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
    '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
    '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
    '<Default Extension="xml" ContentType="application/xml"/>'
    '<Override PartName="/xl/workbook.xml" '
    'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
    '<Override PartName="/xl/styles.xml" '
    'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
    '%s</Types>')
SHEET_TYPE = ('<Override PartName="/xl/worksheets/sheet%d.xml" '
              'ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>')
ROOT_RELS = (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
    '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
    'officeDocument" Target="xl/workbook.xml"/></Relationships>')
STYLES = (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
    '<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
    '<numFmts count="1"><numFmt numFmtId="164" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/>'
    '</numFmts><fonts count="1"><font><sz val="11"/></font></fonts><fills count="1"><fill/></fills>'
    '<borders count="1"><border/></borders><cellStyleXfs count="1"><xf/></cellStyleXfs>'
    '<cellXfs count="2"><xf numFmtId="0"/><xf numFmtId="164" applyNumberFormat="1"/></cellXfs></styleSheet>')
WORDS = ["東京都", "大阪府", "北海道", "沖縄県", "福岡県", "京都府", "愛知県", "神奈川県"]


def workbook(path, seed, change):
    sheets = 3
    wb = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
          '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
          'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>']
    rels = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">']
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", CONTENT_TYPES % "".join(SHEET_TYPE % (s + 1) for s in range(sheets)))
        z.writestr("_rels/.rels", ROOT_RELS)
        z.writestr("xl/styles.xml", STYLES)
        for s in range(sheets):
            wb.append('<sheet name="シート%d" sheetId="%d" r:id="rId%d"/>' % (s + 1, s + 1, s + 1))
            rels.append('<Relationship Id="rId%d" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
                        'relationships/worksheet" Target="worksheets/sheet%d.xml"/>' % (s + 1, s + 1))
            rows = []
            for r in range(20):
                n = r + 1
                text = "%s 項目%d-%d" % (WORDS[(seed + r + s) % len(WORDS)], seed, r)
                value = seed * 7 + r * 3 + s + (1 if change and s == 1 and r == 10 else 0)
                rows.append('<row r="%d"><c r="A%d" t="inlineStr"><is><t>%s</t></is></c><c r="B%d"><v>%d</v></c>'
                            '<c r="C%d"><v>%s</v></c><c r="D%d" s="1"><v>%d</v></c></row>' % (
                                n, n, text, n, value, n, (r % 8) / 8.0 + 0.125, n, 45000 + seed % 300 + r))
            z.writestr("xl/worksheets/sheet%d.xml" % (s + 1),
                       '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                       '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>'
                       + "".join(rows) + '</sheetData></worksheet>')
        z.writestr("xl/workbook.xml", "".join(wb) + "</sheets></workbook>")
        z.writestr("xl/_rels/workbook.xml.rels", "".join(rels) + "</Relationships>")


def main():
    argv = sys.argv[1:]
    changed = 0.05
    if "--changed" in argv:
        at = argv.index("--changed")
        changed = float(argv[at + 1])
        del argv[at:at + 2]
    out, count = argv[0], int(argv[1])
    pick = random.Random(31)
    for i in range(count):
        change = pick.random() < changed
        for side in ("a", "b"):
            folder = os.path.join(out, side, "部署%02d" % (i % 20))
            os.makedirs(folder, exist_ok=True)
            workbook(os.path.join(folder, "帳票 %04d.xlsx" % i), i, change and side == "b")


if __name__ == "__main__":
    main()

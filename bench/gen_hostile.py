#!/usr/bin/python3
"""Documents whose shape once cost far more than their size: many sheets, rows
that reach the last column, a slide list that names one slide again and
again.

    gen_hostile.py sheets N PATH       a workbook of N sheets, one cell each
    gen_hostile.py xfd N PATH          a workbook of N rows, cells at A and XFD
    gen_hostile.py slides N PATH       a deck whose slide list names one slide N times
"""
import sys
import zipfile


def sheets(n, path):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", "<Types/>")
        z.writestr("xl/workbook.xml", '<workbook xmlns:r="r"><sheets>' + "".join(
            '<sheet name="S%d" sheetId="%d" r:id="rId%d"/>' % (i, i, i) for i in range(1, n + 1)) +
            "</sheets></workbook>")
        z.writestr("xl/_rels/workbook.xml.rels", "<Relationships>" + "".join(
            '<Relationship Id="rId%d" Type="worksheet" Target="worksheets/sheet%d.xml"/>' % (i, i)
            for i in range(1, n + 1)) + "</Relationships>")
        for i in range(1, n + 1):
            z.writestr("xl/worksheets/sheet%d.xml" % i,
                       '<worksheet><sheetData><row r="1"><c r="A1"><v>%d</v></c></row></sheetData></worksheet>' % i)


def xfd(n, path):
    rows = "".join('<row r="%d"><c r="A%d"><v>%d</v></c><c r="XFD%d"><v>%d</v></c></row>' % (r, r, r, r, r)
                   for r in range(1, n + 1))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("xl/workbook.xml", '<workbook><sheets><sheet name="Wide" sheetId="1"/></sheets></workbook>')
        z.writestr("xl/worksheets/sheet1.xml", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>")


def slides(n, path):
    rels = ('<Relationships><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
            'relationships/slide" Target="slides/slide1.xml"/></Relationships>')
    ids = "".join('<p:sldId id="%d" r:id="rId1"/>' % (256 + i) for i in range(n))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("_rels/.rels", '<Relationships><Relationship Id="r" Type="http://schemas.openxmlformats.org/'
                   'officeDocument/2006/relationships/officeDocument" Target="ppt/presentation.xml"/>'
                   "</Relationships>")
        z.writestr("ppt/presentation.xml", '<p:presentation xmlns:p="p" xmlns:r="r"><p:sldIdLst>' + ids +
                   "</p:sldIdLst></p:presentation>")
        z.writestr("ppt/_rels/presentation.xml.rels", rels)
        z.writestr("ppt/slides/slide1.xml", '<p:sld xmlns:a="a" xmlns:p="p"><p:cSld><p:spTree><p:sp><p:txBody>'
                   "<a:p><a:r><a:t>one</a:t></a:r></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>")


if __name__ == "__main__":
    kinds = {"sheets": sheets, "xfd": xfd, "slides": slides}
    if len(sys.argv) != 4 or sys.argv[1] not in kinds:
        sys.exit(__doc__)
    kinds[sys.argv[1]](int(sys.argv[2]), sys.argv[3])

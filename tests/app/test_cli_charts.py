#!/usr/bin/env python3
"""A changed chart title and a changed chart value show in the comparison.

   test_cli_charts.py VERGLE CORPUS_DIR

Every workbook of the corpus with a chart, and a Word document and a
presentation built here, is edited once in its chart's title and once in a
value the chart plots (where the document has that place); the command
line, with shape and comment text, must exit 1 and show the old line
removed and the new one added.  The edits touch the chart part (or, in a
legacy workbook, the chart's records in place), nothing else.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

vergle, corpus = sys.argv[1], (sys.argv[2] if len(sys.argv) > 2 else "")
work = tempfile.mkdtemp()
passed = failed = 0


def check(name, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print("FAILED:", name, detail)


def rezip(src, dst, edit):
    """Copies a package, the members for which edit returns bytes replaced."""
    with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, "w", zipfile.ZIP_DEFLATED) as zout:
        changed = False
        for info in zin.infolist():
            data = zin.read(info.filename)
            new = edit(info.filename, data)
            if new is not None and new != data:
                changed = True
                data = new
            zout.writestr(info, data)
    return changed


def compare(name, a, b, removed, added):
    env = dict(os.environ, TEMP=work, HOME=work, XDG_CONFIG_HOME=work)
    r = subprocess.run([vergle, "--textbox", "--no-program", "--color=never", a, b],
                       capture_output=True, env=env, stdin=subprocess.DEVNULL)
    out = r.stdout.decode("utf-8", "replace")
    check(name + ": exit 1", r.returncode == 1, "exit %d %s" % (r.returncode, r.stderr[:300]))
    # A line removed ("-") or added ("+"), or changed in place ("~" with its
    # words marked "[-old-]{+new+}"), whose two sides are then taken apart.
    old_lines, new_lines = set(), set()
    for line in out.splitlines():
        if line.startswith("-") and not line.startswith("---"):
            old_lines.add(line[1:])
        elif line.startswith("+") and not line.startswith("+++"):
            new_lines.add(line[1:])
        elif line.startswith("~"):
            old_lines.add(re.sub(r"\[-(.*?)-\]|\{\+(.*?)\+\}", lambda m: m.group(1) or "", line[1:]))
            new_lines.add(re.sub(r"\[-(.*?)-\]|\{\+(.*?)\+\}", lambda m: m.group(2) or "", line[1:]))
    check(name + ": old line removed", removed in old_lines, "\n" + out[:2000])
    check(name + ": new line added", added in new_lines, "\n" + out[:2000])


def edit_chart_xml(pattern, replacement):
    def edit(member, data):
        if not re.match(r"(xl|word|ppt)/charts/chart\d+\.xml$", member):
            return None
        text = data.decode("utf-8")
        return re.sub(pattern, replacement, text, count=1, flags=re.S).encode("utf-8")
    return edit


TITLE = r"(<c:title>.*?<a:t>)[^<]*(</a:t>)"
VALUE = r"(<c:val>.*?<c:numCache>.*?<c:v>)[^<]*(</c:v>)"

POI_REST = ("\t2005 Sum of Revenue: 18474075.56\t2006 Sum of Cost: 18593182\t2006 Sum of Revenue: 22401812.19"
            "\t2007 Sum of Cost: 22860084\t2007 Sum of Revenue: 27490579.69")

# (file, old title line, new, old series line, new) for the Open XML workbooks.
pie_old = "【系列】系列1\tりんご: 3\tBanana: 12"
pie_new = "【系列】系列1\tりんご: 987654\tBanana: 12"
xlsx_cases = [
    ("generated/xlsx_comments_shapes__xlsxwriter.xlsx", "【グラフ】グラフ題名", pie_old, pie_new),
    ("generated/xlsx_comments_shapes__libreoffice.xlsx", "【グラフ】グラフ題名", pie_old, pie_new),
    ("generated/xlsm_comments_shapes__libreoffice.xlsm", "【グラフ】グラフ題名", pie_old, pie_new),
    ("generated/xlsx_sheet_names__xlsxwriter.xlsx", None, "【系列】series\t1", "【系列】series\t987654"),
    ("generated/xlsx_sheet_names__libreoffice.xlsx", "【グラフ】series", "【系列】series\t1", "【系列】series\t987654"),
    ("public/apache__poi/WithChartSheet.xlsx", None, "【系列】Total\t2005 Sum of Cost: 15355463" + POI_REST,
     "【系列】Total\t2005 Sum of Cost: 987654" + POI_REST),
    ("public/tafia__calamine/any_sheets.xlsx", None, "【系列】系列1\t1\t3\t5", "【系列】系列1\t987654\t3\t5"),
]

if not corpus or not os.path.isdir(corpus):
    print("no corpus: the workbooks are not checked")
else:
    for rel, title, old, new in xlsx_cases:
        src = os.path.join(corpus, rel)
        ext = os.path.splitext(rel)[1]
        base = os.path.join(work, os.path.basename(rel)[: -len(ext)])
        if title:
            dst = base + "_title" + ext
            check(rel + ": title edited", rezip(src, dst, edit_chart_xml(TITLE, r"\1changed title\2")))
            compare(rel + " title", src, dst, title, "【グラフ】changed title")
        dst = base + "_value" + ext
        check(rel + ": value edited", rezip(src, dst, edit_chart_xml(VALUE, r"\g<1>987654\2")))
        compare(rel + " value", src, dst, old, new)

    # Legacy workbooks: the title's characters and a cached value changed in
    # place (same length), where the file has them.
    def patch(rel, old, new, suffix):
        src = os.path.join(corpus, rel)
        data = open(src, "rb").read()
        check(rel + ": " + suffix + " found once", data.count(old) == 1)
        dst = os.path.join(work, os.path.basename(rel)[:-4] + "_" + suffix + ".xls")
        open(dst, "wb").write(data.replace(old, new))
        return src, dst

    s, d = patch("generated/xls_comments_shapes__libreoffice.xls", "グラフ題名".encode("utf-16-le"),
                 "グラフ改名".encode("utf-16-le"), "title")
    compare("xls_comments_shapes title", s, d, "【グラフ】グラフ題名", "【グラフ】グラフ改名")
    s, d = patch("generated/xls_sheet_names__libreoffice.xls", b"\x06\x01s\x00e\x00r\x00i\x00e\x00s\x00",
                 b"\x06\x01s\x00e\x00r\x00i\x00e\x00S\x00", "title")
    compare("xls_sheet_names title", s, d, "【グラフ】series", "【グラフ】serieS")
    # any_sheets.xls: the cached 5 of the first series (SIINDEX values, then
    # NUMBER row 2, column 0).
    five = b"\x03\x02\x0e\x00\x02\x00\x00\x00"
    data = open(os.path.join(corpus, "public/tafia__calamine/any_sheets.xls"), "rb").read()
    at = data.find(b"\x65\x10\x02\x00\x01\x00")
    at = data.find(five, at)
    check("any_sheets.xls: cached value found", at > 0)
    value_at = at + len(five) + 2
    check("any_sheets.xls: it is 5", data[value_at:value_at + 8] == struct.pack("<d", 5.0))
    dst = os.path.join(work, "any_sheets_value.xls")
    open(dst, "wb").write(data[:value_at] + struct.pack("<d", 987654.0) + data[value_at + 8:])
    compare("any_sheets.xls value", os.path.join(corpus, "public/tafia__calamine/any_sheets.xls"), dst,
            "【系列】系列1\t1\t3\t5", "【系列】系列1\t1\t3\t987654")

# Word and PowerPoint, built here: a chart anchored in a paragraph and one in
# a slide's graphic frame.
NS_C = "http://schemas.openxmlformats.org/drawingml/2006/chart"
NS_A = "http://schemas.openxmlformats.org/drawingml/2006/main"
NS_R = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
CHART_REF = ('<a:graphic xmlns:a="%s"><a:graphicData uri="%s"><c:chart xmlns:c="%s" xmlns:r="%s" r:id="rId9"/>'
             '</a:graphicData></a:graphic>' % (NS_A, NS_C, NS_C, NS_R))


def chart(title, value):
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><c:chartSpace xmlns:c="%s" xmlns:a="%s"><c:chart>'
            '<c:title><c:tx><c:rich><a:p><a:r><a:t>%s</a:t></a:r></a:p></c:rich></c:tx></c:title><c:plotArea>'
            '<c:barChart><c:ser><c:tx><c:v>売上</c:v></c:tx><c:cat><c:strLit><c:pt idx="0"><c:v>4月</c:v></c:pt>'
            '</c:strLit></c:cat><c:val><c:numLit><c:formatCode>#,##0</c:formatCode><c:pt idx="0"><c:v>%s</c:v>'
            '</c:pt></c:numLit></c:val></c:ser></c:barChart></c:plotArea></c:chart></c:chartSpace>'
            % (NS_C, NS_A, title, value))


def rels(target):
    return ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship '
            'Id="rId9" Type="%s/chart" Target="%s"/></Relationships>' % (NS_R, target))


TYPES = ('<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="xml" '
         'ContentType="application/xml"/><Override PartName="/%s" ContentType="%s"/></Types>')


def word(path, title, value):
    with zipfile.ZipFile(path, "w") as z:
        z.writestr("[Content_Types].xml", TYPES % ("word/document.xml", "application/vnd.openxmlformats-"
                   "officedocument.wordprocessingml.document.main+xml"))
        z.writestr("word/document.xml", '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/'
                   'main"><w:body><w:p><w:r><w:t>図1</w:t></w:r><w:r><w:drawing><wp:inline>' + CHART_REF +
                   '</wp:inline></w:drawing></w:r></w:p></w:body></w:document>')
        z.writestr("word/_rels/document.xml.rels", rels("charts/chart1.xml"))
        z.writestr("word/charts/chart1.xml", chart(title, value))


def slides(path, title, value):
    with zipfile.ZipFile(path, "w") as z:
        z.writestr("[Content_Types].xml", TYPES % ("ppt/presentation.xml", "application/vnd.openxmlformats-"
                   "officedocument.presentationml.presentation.main+xml"))
        z.writestr("ppt/presentation.xml", '<p:presentation xmlns:p="http://schemas.openxmlformats.org/'
                   'presentationml/2006/main"/>')
        z.writestr("ppt/slides/slide1.xml", '<p:sld xmlns:a="%s" xmlns:p="http://schemas.openxmlformats.org/'
                   'presentationml/2006/main"><p:cSld><p:spTree><p:graphicFrame>%s</p:graphicFrame></p:spTree>'
                   '</p:cSld></p:sld>' % (NS_A, CHART_REF))
        z.writestr("ppt/slides/_rels/slide1.xml.rels", rels("../charts/chart1.xml"))
        z.writestr("ppt/charts/chart1.xml", chart(title, value))


for kind, build, ext in (("word", word, ".docx"), ("slides", slides, ".pptx")):
    a, t, v = (os.path.join(work, kind + s + ext) for s in ("_a", "_title", "_value"))
    build(a, "四半期", "1200")
    build(t, "半期", "1200")
    build(v, "四半期", "1300")
    compare(kind + " title", a, t, "【グラフ】四半期", "【グラフ】半期")
    compare(kind + " value", a, v, "【系列】売上\t4月: 1,200", "【系列】売上\t4月: 1,300")

shutil.rmtree(work, ignore_errors=True)
print("%d passed, %d failed" % (passed, failed))
sys.exit(1 if failed else 0)

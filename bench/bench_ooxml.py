#!/usr/bin/python3
"""Benchmark of the Word and PowerPoint text dump.

    python3 bench/bench_ooxml.py [BUILD_FOLDER] [--runs N]

Generates a large .docx (50,000 paragraphs with tables and page breaks) and a
200-slide .pptx in a temporary folder, builds a small driver for the dump
against the libraries of BUILD_FOLDER (default: build), and times the dump
against `unzip -p`, python-docx and `pandoc -t plain` with /usr/bin/time -v
(elapsed time and peak resident memory; best of N runs).  Tools that are not
installed are left out.  Nothing here asserts anything.

Then the forms whose cost grows with the markup rather than the text, each
at two sizes so that linear growth shows (time per size step): paragraphs
that each declare a namespace, pictures declaring three namespaces each as
Word writes them, tags with very many attributes, and nesting near the
limit; and a presentation carrying 500 MB of media (stored, as a video is),
whose dump must not grow with the media (--media-mb changes the size, 0
leaves the row out).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)

W_NS = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
RUN_PR = '<w:rPr><w:rFonts w:hint="eastAsia"/><w:sz w:val="21"/></w:rPr>'


def word_paragraph(i):
    text = "第%d段落：売上は前年比 %d%% 増加しました。Paragraph %d &amp; more text." % (i, i % 97, i)
    return ('<w:p w:rsidR="00A1B2C3" w:rsidRDefault="00D4E5F6"><w:pPr><w:spacing w:after="0"/></w:pPr>'
            '<w:r>%s<w:t xml:space="preserve">%s</w:t></w:r><w:r>%s<w:t> end.</w:t></w:r></w:p>' % (RUN_PR, text, RUN_PR))


def word_table(i):
    rows = []
    for r in range(4):
        cells = "".join('<w:tc><w:tcPr><w:tcW w:w="3000" w:type="dxa"/></w:tcPr><w:p><w:r><w:t>表%d-%d-%d</w:t></w:r></w:p></w:tc>'
                        % (i, r, c) for c in range(3))
        rows.append("<w:tr>%s</w:tr>" % cells)
    return ('<w:tbl><w:tblPr><w:tblW w:w="0" w:type="auto"/></w:tblPr><w:tblGrid><w:gridCol w:w="3000"/>'
            '<w:gridCol w:w="3000"/><w:gridCol w:w="3000"/></w:tblGrid>%s</w:tbl>' % "".join(rows))


def make_docx(path, paragraphs=50000):
    body = []
    for i in range(paragraphs):
        body.append(word_paragraph(i))
        if i % 50 == 49:
            body.append(word_table(i))
        if i % 500 == 499:
            body.append('<w:p><w:r><w:br w:type="page"/></w:r></w:p>')
    body.append('<w:sectPr><w:pgSz w:w="11906" w:h="16838"/></w:sectPr>')
    document = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n<w:document %s><w:body>%s</w:body></w:document>'
                % (W_NS, "".join(body)))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml",
                   '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>'
                   '</Types>')
        z.writestr("_rels/.rels",
                   '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>'
                   '</Relationships>')
        z.writestr("word/_rels/document.xml.rels",
                   '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"/>')
        z.writestr("word/document.xml", document)


def slide_xml(n):
    def para(text):
        return '<a:p><a:r><a:rPr lang="ja-JP" altLang="en-US" dirty="0"/><a:t>%s</a:t></a:r></a:p>' % text

    title = ('<p:sp><p:nvSpPr><p:cNvPr id="2" name="Title"/><p:cNvSpPr><a:spLocks noGrp="1"/></p:cNvSpPr><p:nvPr><p:ph type="title"/></p:nvPr></p:nvSpPr>'
             '<p:spPr/><p:txBody><a:bodyPr/><a:lstStyle/>%s</p:txBody></p:sp>' % para("スライド %d の題名" % n))
    bullets = "".join(para("項目 %d-%d: text of the bullet &lt;%d&gt;" % (n, b, b)) for b in range(10))
    body = ('<p:sp><p:nvSpPr><p:cNvPr id="3" name="Body"/><p:cNvSpPr><a:spLocks noGrp="1"/></p:cNvSpPr><p:nvPr><p:ph idx="1"/></p:nvPr></p:nvSpPr>'
            '<p:spPr/><p:txBody><a:bodyPr/><a:lstStyle/>%s</p:txBody></p:sp>' % bullets)
    rows = "".join('<a:tr h="370840">%s</a:tr>' % "".join(
        '<a:tc><a:txBody><a:bodyPr/><a:lstStyle/>%s</a:txBody><a:tcPr/></a:tc>' % para("セル%d-%d" % (r, c)) for c in range(4))
        for r in range(5))
    table = ('<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id="4" name="Table"/><p:cNvGraphicFramePr/><p:nvPr/></p:nvGraphicFramePr>'
             '<p:xfrm><a:off x="0" y="0"/><a:ext cx="1" cy="1"/></p:xfrm><a:graphic><a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/table">'
             '<a:tbl><a:tblPr firstRow="1"/><a:tblGrid><a:gridCol w="1"/><a:gridCol w="1"/><a:gridCol w="1"/><a:gridCol w="1"/></a:tblGrid>%s</a:tbl>'
             '</a:graphicData></a:graphic></p:graphicFrame>' % rows)
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n<p:sld xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
            'xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"><p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id="1" name=""/>'
            '<p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr><p:grpSpPr/>%s%s%s</p:spTree></p:cSld></p:sld>' % (title, body, table))


def make_pptx(path, slides=200):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>')
        z.writestr("ppt/presentation.xml", '<?xml version="1.0" encoding="UTF-8"?><p:presentation xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"/>')
        for n in range(1, slides + 1):
            z.writestr("ppt/slides/slide%d.xml" % n, slide_xml(n))
            z.writestr("ppt/slides/_rels/slide%d.xml.rels" % n, '<?xml version="1.0" encoding="UTF-8"?><Relationships/>')


W_URI = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"


def plain_docx(path, body):
    """A Word package around a body."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml",
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="xml" ContentType="application/xml"/></Types>')
        z.writestr("word/document.xml", '<w:document xmlns:w="%s"><w:body>%s</w:body></w:document>' % (W_URI, body))


def each_declares(n):
    return "".join('<w:p xmlns:x%d="urn:x%d"><w:r><w:t>%d</w:t></w:r></w:p>' % (i, i, i) for i in range(n))


def with_pictures(n, pictures):
    pic = ('<w:r><w:drawing><wp:inline xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing">'
           '<a:graphic xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"><a:graphicData>'
           '<pic:pic xmlns:pic="http://schemas.openxmlformats.org/drawingml/2006/picture"/></a:graphicData></a:graphic>'
           '</wp:inline></w:drawing></w:r>')
    every = max(1, n // pictures)
    return "".join('<w:p><w:r><w:t>paragraph %d</w:t></w:r>%s</w:p>' % (i, pic if i % every == 0 else "")
                   for i in range(n))


def many_attributes(n):
    attrs = " ".join('w:a%d="v"' % i for i in range(n))
    return '<w:p %s><w:r><w:t>x</w:t></w:r></w:p>' % attrs * 10


def deep_nesting(n):
    open_, close = "<w:sdt><w:sdtContent>" * 45, "</w:sdtContent></w:sdt>" * 45
    return "".join(open_ + "<w:p><w:r><w:t>n</w:t></w:r></w:p>" + close for _ in range(n))


MARKUP_ROWS = [
    ("paragraphs each declaring a namespace", each_declares, (25000, 50000)),
    ("50,000 paragraphs with pictures (3 declarations each)", lambda k: with_pictures(50000, k), (1000, 2000)),
    ("10 tags of many attributes", many_attributes, (50000, 100000)),
    ("blocks nested 90 deep", deep_nesting, (5000, 10000)),
]


def media_pptx(path, megabytes):
    """A presentation with one slide and a stored video of this size."""
    slide = ('<p:sld xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
             'xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"><p:cSld><p:spTree><p:sp><p:nvSpPr>'
             '<p:nvPr><p:ph type="title"/></p:nvPr></p:nvSpPr><p:txBody><a:p><a:r><a:t>with a video</a:t></a:r></a:p>'
             '</p:txBody></p:sp></p:spTree></p:cSld></p:sld>')
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, allowZip64=True) as z:
        z.writestr("[Content_Types].xml",
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Default Extension="mp4" ContentType="video/mp4"/></Types>')
        z.writestr("ppt/presentation.xml", '<p:presentation xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"/>')
        z.writestr("ppt/slides/slide1.xml", slide)
        with z.open(zipfile.ZipInfo("ppt/media/media1.mp4"), "w", force_zip64=True) as f:
            block = os.urandom(1 << 20)
            for i in range(megabytes):
                f.write(block[i % 997:] + block[:i % 997])


def build_driver(build, work):
    """The dump that the comparison run makes, as the benchmark program
    vergle_dump_one of the build (configured with -DVERGLE_BENCH=ON)."""
    r = subprocess.run(["cmake", "--build", build, "-j2", "--target", "vergle_dump_one"])
    exe = os.path.join(build, "bench", "vergle_dump_one")
    if r.returncode != 0 or not os.path.exists(exe):
        sys.exit("bench: configure %s with -DVERGLE_BENCH=ON to build vergle_dump_one" % build)
    return exe


def timed(cmd, runs):
    """Best elapsed seconds and the peak resident memory (KiB) of that run."""
    best = None
    for _ in range(runs):
        r = subprocess.run(["/usr/bin/time", "-v"] + cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if r.returncode != 0:
            return None
        wall = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([\d.]+)", r.stderr)
        rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", r.stderr)
        user = re.search(r"User time \(seconds\): ([\d.]+)", r.stderr)
        system = re.search(r"System time \(seconds\): ([\d.]+)", r.stderr)
        secs = int(wall.group(1) or 0) * 3600 + int(wall.group(2)) * 60 + float(wall.group(3))
        cpu = float(user.group(1)) + float(system.group(1))
        if best is None or secs < best[0]:
            best = (secs, int(rss.group(1)), cpu)
    return best


PY_DOCX = ("import sys, docx\n"
           "d = docx.Document(sys.argv[1])\n"
           "out = []\n"
           "for p in d.paragraphs: out.append(p.text)\n"
           "for t in d.tables:\n"
           "    for row in t.rows: out.append('\\t'.join(c.text for c in row.cells))\n"
           "sys.stdout.write('\\n'.join(out))\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build", nargs="?", default=os.path.join(SOURCE, "build"))
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--media-mb", type=int, default=500)
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix="vergle-bench-")
    try:
        exe = build_driver(os.path.abspath(args.build), work)
        docx_path = os.path.join(work, "big.docx")
        pptx_path = os.path.join(work, "big.pptx")
        make_docx(docx_path)
        make_pptx(pptx_path)
        out = os.path.join(work, "out")
        rows = []
        # The driver's own footprint: a document of one paragraph.
        tiny = os.path.join(work, "tiny.docx")
        make_docx(tiny, paragraphs=1)
        base = timed([exe, "word", tiny, os.path.join(work, "tiny")], 1)
        print("driver baseline (one-paragraph document): %.1f MiB peak" % (base[1] / 1024))
        for label, path, family in (("docx (50,000 paragraphs)", docx_path, "word"),
                                    ("pptx (200 slides)", pptx_path, "powerpoint")):
            raw = sum(i.file_size for i in zipfile.ZipFile(path).infolist())
            print("%s: package %.1f MiB, uncompressed %.1f MiB" % (label, os.path.getsize(path) / 2**20, raw / 2**20))
            tools = [("vergle dump", [exe, family, path, out]),
                     ("vergle dump, ALLPAGE", [exe, family, path, out + "_all", "allpage"]),
                     ("unzip -p", ["unzip", "-p", path])]
            if family == "word":
                tools.append(("python-docx", ["/usr/bin/python3", "-c", PY_DOCX, path]))
                tools.append(("pandoc -t plain", ["pandoc", "-t", "plain", path]))
            for name, cmd in tools:
                if shutil.which(cmd[0]) is None and not os.path.exists(cmd[0]):
                    continue
                shutil.rmtree(out, ignore_errors=True)
                shutil.rmtree(out + "_all", ignore_errors=True)
                # pandoc takes about a minute on the large document: once is enough.
                res = timed(cmd, 1 if name.startswith("pandoc") else args.runs)
                if res is None:
                    print("  %-22s failed" % name)
                    continue
                rows.append((label, name, res[0], res[1], raw))
                print("  %-22s %8.3f s elapsed  %8.3f s CPU  %9.1f MiB peak  (%.2fx uncompressed size)"
                      % (name, res[0], res[2], res[1] / 1024, res[1] * 1024 / raw))
        print("markup forms (vergle dump, ALLPAGE):")
        for label, make, sizes in MARKUP_ROWS:
            cells = []
            for size in sizes:
                path = os.path.join(work, "markup.docx")
                plain_docx(path, make(size))
                shutil.rmtree(out + "_all", ignore_errors=True)
                res = timed([exe, "word", path, out + "_all", "allpage"], args.runs)
                cells.append("%7d: %7.3f s %7.1f MiB" % (size, res[0], res[1] / 1024) if res else "%7d: failed" % size)
            print("  %-54s %s" % (label, "   ".join(cells)))
        if args.media_mb > 0:
            path = os.path.join(work, "media.pptx")
            media_pptx(path, args.media_mb)
            for name, cmd in (("vergle dump", [exe, "powerpoint", path, out]),
                              ("vergle dump, shape text", [exe, "powerpoint", path, out + "_tb", "textbox"])):
                shutil.rmtree(out, ignore_errors=True)
                shutil.rmtree(out + "_tb", ignore_errors=True)
                res = timed(cmd, args.runs)
                print("pptx with %d MB of media, %-24s %8.3f s elapsed  %8.1f MiB peak"
                      % (args.media_mb, name + ":", res[0], res[1] / 1024) if res else "media: failed")
            os.remove(path)
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

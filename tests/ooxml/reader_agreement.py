#!/usr/bin/env python3
"""Compares the Word and PowerPoint dump of the corpus documents with
independent readers, line by line.

- Word, python-docx: the body's paragraphs and tables in document order.  A
  paragraph's text is the text of its runs as python-docx gives it (tabs as
  tabs, line and page breaks as line ends), runs in hyperlinks, insertions,
  fields and content controls included; a table row is its cells' texts,
  each followed by a tab, a cell's paragraphs on lines of their own.
- Word, pandoc: every paragraph and table cell of pandoc's reading (its JSON
  document) must be a line of the dump or a cell of one, blanks folded.
- PowerPoint, the slide XML read directly: every paragraph of every shape
  (placeholders only with shape text off) and every table row, slides in the
  presentation's order.

A line the reader finds that the dump does not hold is "missing"; a line of
the dump that the reader does not find is "extra".  Empty lines are not
counted.  Extra lines are allowed only where a reason below explains them.

Usage: reader_agreement.py DUMP_DOCUMENT CORPUS_DIR [-v]
Exit: 0 when no line is missing and every extra line is explained; 1
otherwise; 77 (skipped) when neither python-docx nor pandoc is there, or
the corpus is missing.
"""
import collections
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import agreement  # noqa: E402

W = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"
A = "{http://schemas.openxmlformats.org/drawingml/2006/main}"
P = "{http://schemas.openxmlformats.org/presentationml/2006/main}"
R = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"
PKG = "{http://schemas.openxmlformats.org/package/2006/relationships}"

# Why the dump may hold lines a reader does not give.
# Word is compared with shape text off, PowerPoint up to the separator line,
# so that text boxes, comments, notes, headers and footers, which the readers
# leave out, do not count.  No other extra line is expected.


def dump(tool, path, folder, *opts):
    """The dump's files: {name: [lines]}, or None when it fails."""
    p = subprocess.run([tool, path, folder] + list(opts), capture_output=True, timeout=300)
    if p.returncode != 0:
        return None
    files, cur = {}, None
    for line in p.stdout.decode("utf-8", "replace").split("\n"):
        if line.startswith("#file\t"):
            cur = files.setdefault(line[6:], [])
        elif cur is not None:
            cur.append(line.rstrip("\r"))
    return files


def body_lines(lines):
    """The lines before the separator of the comments and notes."""
    out = []
    for line in lines:
        if line.startswith("★★★"):
            break
        out.append(line)
    return out


# ---------------------------------------------------------------- python-docx

def docx_reference(docx, path):
    from docx.text.paragraph import Paragraph
    from docx.text.run import Run
    from docx.table import Table, _Cell
    from docx.opc.part import PartFactory
    from docx.package import Package
    from docx.parts.document import DocumentPart
    # python-docx does not know the macro-enabled document's content type;
    # its part is an ordinary document part.
    PartFactory.part_type_for["application/vnd.ms-word.document.macroEnabled.main+xml"] = DocumentPart
    doc = Package.open(path).main_document_part.document
    lines = []

    def para_text(p_elm, parent):
        para = Paragraph(p_elm, parent)
        runs = p_elm.xpath("./w:r | ./w:hyperlink/w:r | ./w:ins/w:r | ./w:fldSimple/w:r | ./w:smartTag/w:r"
                           " | ./w:sdt/w:sdtContent/w:r | ./w:hyperlink/w:ins/w:r")
        return "".join(Run(r, para).text for r in runs)

    def cell_text(tc, table):
        # python-docx's cells, one per w:tc (its row.cells repeats merged
        # cells); a table inside the cell gives its rows as lines there.
        cell = _Cell(tc, table)
        parts = []
        for child in tc.iterchildren():
            if child.tag == W + "p":
                parts.append(para_text(child, cell))
            elif child.tag == W + "tbl":
                parts.extend(rows(child, cell))
        return "\n".join(parts)

    def rows(tbl_elm, parent):
        table = Table(tbl_elm, parent)
        return ["".join(cell_text(tc, table) + "\t" for tc in tr.iterchildren(W + "tc"))
                for tr in tbl_elm.iterchildren(W + "tr")]

    def table_lines(tbl_elm, parent):
        for row in rows(tbl_elm, parent):
            lines.extend(row.split("\n"))

    def block(elm, parent):
        for child in elm.iterchildren():
            if child.tag == W + "p":
                lines.extend(para_text(child, parent).split("\n"))
            elif child.tag == W + "tbl":
                table_lines(child, parent)
            elif child.tag == W + "sdt":
                content = child.find(W + "sdtContent")
                if content is not None:
                    block(content, parent)

    block(doc.element.body, doc)
    return lines


# --------------------------------------------------------------------- pandoc

def pandoc_blocks(path):
    p = subprocess.run(["pandoc", "-f", "docx", "-t", "json", path], capture_output=True, timeout=300)
    if p.returncode != 0:
        return None
    out = []

    def inlines(xs):
        s = ""
        for x in xs:
            t, c = x["t"], x.get("c")
            if t == "Str":
                s += c
            elif t in ("Space", "SoftBreak"):
                s += " "
            elif t == "LineBreak":
                s += "\n"
            elif t in ("Emph", "Strong", "Underline", "Strikeout", "Superscript", "Subscript", "SmallCaps"):
                s += inlines(c)
            elif t in ("Span", "Link", "Quoted", "Cite"):
                s += inlines(c[1] if t in ("Span", "Link") else c[1] if t == "Quoted" else c[1])
            elif t == "Code":
                s += c[1]
            elif t == "Note":
                pass  # a footnote: not body text
        return s

    def blocks(bs):
        for b in bs:
            t, c = b["t"], b.get("c")
            if t in ("Para", "Plain"):
                out.extend(inlines(c).split("\n"))
            elif t == "Header":
                out.extend(inlines(c[2]).split("\n"))
            elif t in ("BlockQuote", "Div"):
                blocks(c if t == "BlockQuote" else c[1])
            elif t in ("BulletList",):
                for item in c:
                    blocks(item)
            elif t == "OrderedList":
                for item in c[1]:
                    blocks(item)
            elif t == "Table":
                # pandoc 2.10+: attr, caption, colspecs, head, bodies, foot
                head, bodies, foot = c[3], c[4], c[5]
                rows = list(head[1]) + [r for body in bodies for r in body[2] + body[3]] + list(foot[1])
                for row in rows:
                    for cell in row[1]:
                        blocks(cell[4])
    blocks(json.loads(p.stdout)["blocks"])
    return out


def fold(s):
    return re.sub(r"\s+", " ", s).strip()


# ------------------------------------------------------------ slide XML direct

def pptx_reference(path, textbox):
    z = zipfile.ZipFile(path)
    names = set(z.namelist())

    def rels(part):
        folder, _, file = part.rpartition("/")
        name = (folder + "/" if folder else "") + "_rels/" + file + ".rels"
        if name not in names:
            return {}
        out = {}
        for r in ET.fromstring(z.read(name)).iter(PKG + "Relationship"):
            if r.get("TargetMode") == "External":
                continue
            t = r.get("Target")
            full = t[1:] if t.startswith("/") else os.path.normpath(os.path.join(folder, t)).replace("\\", "/")
            out[r.get("Id")] = full
        return out

    pres = "ppt/presentation.xml"
    slides = []
    if pres in names:
        prel = rels(pres)
        lst = ET.fromstring(z.read(pres)).find(P + "sldIdLst")
        for s in (lst if lst is not None else []):
            t = prel.get(s.get(R + "id"))
            if t in names:
                slides.append(t)
    result = []
    for slide in slides:
        lines = []
        root = ET.fromstring(z.read(slide))

        def para(p):
            s = ""
            for x in p:
                if x.tag in (A + "r", A + "fld"):
                    s += "".join(t.text or "" for t in x.iter(A + "t"))
                elif x.tag == A + "br":
                    s += "\n"
            return s

        def walk(elm):
            for child in elm:
                if child.tag == P + "sp":
                    ph = child.find(P + "nvSpPr/" + P + "nvPr/" + P + "ph")
                    body = child.find(P + "txBody")
                    if body is not None and (textbox or ph is not None):
                        for p in body.iter(A + "p"):
                            lines.extend(para(p).split("\n"))
                elif child.tag == P + "grpSp":
                    walk(child)
                elif child.tag == P + "graphicFrame":
                    for tbl in child.iter(A + "tbl"):
                        for tr in tbl.iter(A + "tr"):
                            row = ""
                            for tc in tr.iter(A + "tc"):
                                row += "\n".join(para(p) for p in tc.iter(A + "p")) + "\t"
                            lines.extend(row.split("\n"))
                elif child.tag.endswith("AlternateContent"):
                    choice = next(iter(child), None)
                    if choice is not None:
                        walk(choice)

        tree = root.find(P + "cSld/" + P + "spTree")
        if tree is not None:
            walk(tree)
        result.append(lines)
    return result


# ------------------------------------------------------------------------ main

def through_cp932(tool, lines):
    """The lines as the dump writes them: code page 932 has no place for
    some characters, and Windows writes best-fit characters for others."""
    text = "\n".join(l.replace("\n", " ") for l in lines) + "\n"
    p = subprocess.run([tool, "--through-cp932"], input=text.encode("utf-8"), capture_output=True, timeout=60)
    return p.stdout.decode("utf-8", "replace").split("\n")[:len(lines)]


def compare(name, reference, ours, counts, verbose):
    ref = collections.Counter(l for l in reference if l.strip())
    got = collections.Counter(l for l in ours if l.strip())
    missing = ref - got
    extra = got - ref
    counts["lines"] += sum(ref.values())
    counts["missing"] += sum(missing.values())
    counts["extra"] += sum(extra.values())
    for l in missing:
        print("MISSING %s: %r" % (name, l))
    for l in extra:
        print("EXTRA   %s: %r" % (name, l))
    if verbose:
        print("%s: %d lines, %d missing, %d extra" % (name, sum(ref.values()), sum(missing.values()),
                                                       sum(extra.values())))


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    tool, corpus = sys.argv[1], sys.argv[2]
    verbose = "-v" in sys.argv
    docx = agreement.import_peer("docx")
    has_pandoc = shutil.which("pandoc") is not None
    if docx is None and not has_pandoc:
        print("SKIPPED: neither python-docx nor pandoc is there")
        return 77
    if not os.path.isdir(corpus):
        print("SKIPPED: no corpus")
        return 77
    if docx is None:
        print("NOTE: python-docx is not importable; pandoc only")
    if not has_pandoc:
        print("NOTE: pandoc is not installed; python-docx only")
    counts = collections.Counter()
    tmp = tempfile.mkdtemp(prefix="vergle-agreement-")
    try:
        for path in agreement.workbooks(corpus, (".docx", ".docm", ".pptx", ".pptm")):
            rel = os.path.relpath(path, corpus)
            word = ".doc" in path
            off = dump(tool, path, os.path.join(tmp, "d"), "allpage")
            if off is None:
                counts["refused"] += 1
                continue
            counts["documents"] += 1
            if word:
                ours = off.get("全文", [])
                if docx is not None:
                    lines = through_cp932(tool, docx_reference(docx, path))
                    compare("python-docx " + rel, lines, ours, counts, verbose)
                if has_pandoc:
                    blocks = pandoc_blocks(path)
                    if blocks is not None:
                        blocks = through_cp932(tool, blocks)
                        mine = set(fold(l) for l in ours)
                        mine |= set(fold(c) for l in ours for c in l.split("\t"))
                        for b in blocks:
                            if fold(b) and fold(b) not in mine:
                                counts["pandoc missing"] += 1
                                print("MISSING pandoc %s: %r" % (rel, b))
                            counts["pandoc lines"] += 1
            else:
                on = dump(tool, path, os.path.join(tmp, "d"), "textbox")
                off_split = dump(tool, path, os.path.join(tmp, "d"))
                ref_on = [through_cp932(tool, s) for s in pptx_reference(path, True)]
                ref_off = [through_cp932(tool, s) for s in pptx_reference(path, False)]
                for i, (r_on, r_off) in enumerate(zip(ref_on, ref_off)):
                    n = "スライド%03d" % i
                    compare("slide XML %s %s" % (rel, n), r_off, off_split.get(n, []), counts, verbose)
                    compare("slide XML %s %s (shape text)" % (rel, n), r_on, body_lines(on.get(n, [])),
                            counts, verbose)
                if len(off_split) != len(ref_off):
                    print("SLIDES %s: %d files, %d slides" % (rel, len(off_split), len(ref_off)))
                    counts["missing"] += 1
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    print("documents %d (refused %d); lines %d: missing %d, extra %d; pandoc blocks %d: missing %d"
          % (counts["documents"], counts["refused"], counts["lines"], counts["missing"], counts["extra"],
             counts["pandoc lines"], counts["pandoc missing"]))
    return 0 if counts["missing"] == 0 and counts["extra"] == 0 and counts["pandoc missing"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())

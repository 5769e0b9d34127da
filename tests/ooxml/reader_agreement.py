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
#
# What the dump shows that python-docx does not give, added to its reading:
# - a footnote or endnote reference shows its mark in square brackets where
#   it stands: footnotes 1, 2, 3 ..., endnotes i, ii, iii ... in the order of
#   the references (or the format the body's section names);
# - a numbered paragraph starts with its number: the reader's line must end
#   the dump's line, after a label of at most 40 characters (the label's
#   value is compared with LibreOffice in list_numbers_agreement.py).


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
    numbered = collections.Counter()
    numbering = numbered_styles(path)
    marks = note_marks(doc.element.body)

    def run_text(r, para):
        if r.find(W + "footnoteReference") is None and r.find(W + "endnoteReference") is None:
            return Run(r, para).text
        s = ""
        for child in r:
            if child.tag == W + "t":
                s += child.text or ""
            elif child.tag == W + "tab":
                s += "\t"
            elif child.tag in (W + "br", W + "cr"):
                s += "\n"
            elif child.tag in (W + "footnoteReference", W + "endnoteReference"):
                if child.get(W + "customMarkFollows") not in ("1", "true", "on"):
                    s += "[%s]" % marks[child.tag](child)
        return s

    def para_text(p_elm, parent):
        para = Paragraph(p_elm, parent)
        runs = p_elm.xpath("./w:r | ./w:hyperlink/w:r | ./w:ins/w:r | ./w:fldSimple/w:r | ./w:smartTag/w:r"
                           " | ./w:sdt/w:sdtContent/w:r | ./w:hyperlink/w:ins/w:r")
        text = "".join(run_text(r, para) for r in runs)
        if numbering(p_elm):
            numbered[text.split("\n")[0]] += 1
        return text

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
    return lines, numbered


ROMAN = [(1000, "m"), (900, "cm"), (500, "d"), (400, "cd"), (100, "c"), (90, "xc"), (50, "l"), (40, "xl"),
         (10, "x"), (9, "ix"), (5, "v"), (4, "iv"), (1, "i")]


def note_number(n, fmt):
    if fmt in ("lowerRoman", "upperRoman"):
        s = ""
        for v, r in ROMAN:
            while n >= v:
                s, n = s + r, n - v
        return s.upper() if fmt == "upperRoman" else s
    if fmt in ("lowerLetter", "upperLetter"):
        s = chr(ord("a") + (n - 1) % 26) * ((n - 1) // 26 + 1)
        return s.upper() if fmt == "upperLetter" else s
    return str(n)


def note_marks(body):
    """Functions giving the next mark of a footnote or endnote reference."""
    fmts = {"footnotePr": "decimal", "endnotePr": "lowerRoman"}
    sect = body.find(W + "sectPr")
    for kind in fmts:
        f = sect.find(W + kind + "/" + W + "numFmt") if sect is not None else None
        if f is not None:
            fmts[kind] = f.get(W + "val")
    count = {"footnotePr": 0, "endnotePr": 0}

    def mark(kind):
        def next_mark(_elm):
            count[kind] += 1
            return note_number(count[kind], fmts[kind])
        return next_mark
    return {W + "footnoteReference": mark("footnotePr"), W + "endnoteReference": mark("endnotePr")}


def numbered_styles(path):
    """A predicate: the paragraph has a list number, its own or its style's
    (w:numPr with a numId other than 0 naming an instance of the numbering
    part)."""
    z = zipfile.ZipFile(path)
    names = set(z.namelist())
    nums = set()
    if "word/numbering.xml" in names:
        for n in ET.fromstring(z.read("word/numbering.xml")).iter(W + "num"):
            nums.add(n.get(W + "numId"))
    styles, default = {}, None
    if "word/styles.xml" in names:
        for st in ET.fromstring(z.read("word/styles.xml")).iter(W + "style"):
            sid = st.get(W + "styleId")
            num = st.find(W + "pPr/" + W + "numPr/" + W + "numId")
            based = st.find(W + "basedOn")
            styles[sid] = (num.get(W + "val") if num is not None else None,
                           based.get(W + "val") if based is not None else None)
            if st.get(W + "type") == "paragraph" and st.get(W + "default") in ("1", "true"):
                default = sid

    def style_num(sid):
        for _ in range(len(styles) + 1):
            if sid not in styles:
                return None
            num, based = styles[sid]
            if num is not None:
                return num
            sid = based
        return None

    def numbered(p):
        ppr = p.find(W + "pPr")
        num = ppr.find(W + "numPr/" + W + "numId") if ppr is not None else None
        if num is not None:
            n = num.get(W + "val")
        else:
            st = ppr.find(W + "pStyle") if ppr is not None else None
            n = style_num(st.get(W + "val") if st is not None else default)
        return n not in (None, "0") and n in nums
    return numbered


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


def compare(name, reference, ours, counts, verbose, numbered=None):
    ref = collections.Counter(l for l in reference if l.strip())
    got = collections.Counter(l for l in ours if l.strip())
    missing = ref - got
    extra = got - ref
    # A numbered paragraph's line: the reader's text after the label.
    for line in list((missing & (numbered or collections.Counter())).elements()):
        for e in extra:
            label = e[:len(e) - len(line)] if line else e
            if extra[e] > 0 and e.endswith(line) and 0 < len(label) <= 40:
                extra[e] -= 1
                missing[line] -= 1
                counts["numbered"] += 1
                break
    missing, extra = +missing, +extra
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
                    lines, numbered = docx_reference(docx, path)
                    lines = through_cp932(tool, lines)
                    numbered = collections.Counter(dict(zip(through_cp932(tool, list(numbered)), numbered.values())))
                    compare("python-docx " + rel, lines, ours, counts, verbose, numbered)
                if has_pandoc:
                    blocks = pandoc_blocks(path)
                    if blocks is not None:
                        blocks = through_cp932(tool, blocks)
                        mine = set(fold(l) for l in ours)
                        mine |= set(fold(c) for l in ours for c in l.split("\t"))
                        # pandoc leaves out the note marks ("[1]", "[ii]") that
                        # stand in the text.
                        mine |= set(fold(re.sub(r"\[(?:[0-9]+|[ivxlcdm]+)\]", "", l)) for l in ours)
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
    print("documents %d (refused %d); lines %d (numbered %d): missing %d, extra %d; pandoc blocks %d: missing %d"
          % (counts["documents"], counts["refused"], counts["lines"], counts["numbered"], counts["missing"],
             counts["extra"], counts["pandoc lines"], counts["pandoc missing"]))
    return 0 if counts["missing"] == 0 and counts["extra"] == 0 and counts["pandoc missing"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())

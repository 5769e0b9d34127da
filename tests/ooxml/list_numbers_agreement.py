#!/usr/bin/env python3
"""Compares the list numbers of the Word dump with LibreOffice's text export
(`soffice --convert-to txt:Text`, which writes each numbered paragraph as
its indentation, its label, a blank and its text).

Documents: every .docx/.docm of the corpus that the dump reads, and
documents built here for the number formats and the numbering engine
(levels, starts, instances sharing a definition, start overrides, the
numbering of styles, numbering styles, bullets).  For every numbered body
paragraph with text (outside tables and text boxes, whose layout the two
exports write differently), in document order, the label before its text
must be the same in both: exactly, character for character.

Where LibreOffice shows a number otherwise than Word, the dump follows Word
and the built documents leave the case out; the C++ tests hold Word's
rendering of each (numbering_test.cpp):
- decimalFullWidth(2), decimalEnclosedParen, decimalEnclosedFullstop:
  LibreOffice writes ASCII digits; Word "１", "⑴", "⒈".
- ideographEnclosedCircle: LibreOffice "①", Word "㈠".
- ideographDigital: LibreOffice counts ("十"); Word writes the digits of
  the number ("一〇").
- decimalEnclosedCircle above 20: LibreOffice "㉑"; Word plain "21".
- japaneseLegal from 10 on: LibreOffice writes digits ("壱零"); Word
  counts with 拾 ("壱拾").
- w:lvlRestart 0 (never restart): LibreOffice restarts all the same.
- w:isLgl: LibreOffice keeps each level's own format; Word shows every
  level in decimal digits.
- the level's suffix: LibreOffice writes a blank after every label (tab,
  blank or nothing alike), so labels are compared without it.

Usage: list_numbers_agreement.py DUMP_DOCUMENT [CORPUS_DIR] [-v]
Exit: 0 when every label agrees; 1 otherwise; 77 (skipped) when
LibreOffice is not installed.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import agreement  # noqa: E402
from reader_agreement import W, numbered_styles  # noqa: E402

W_NS = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"


# ------------------------------------------------------------ built documents

def lvl(i, fmt, text, start=1, extra=""):
    return ('<w:lvl w:ilvl="%d"><w:start w:val="%d"/><w:numFmt w:val="%s"/><w:lvlText w:val="%s"/>%s'
            '<w:pPr><w:ind w:left="%d" w:hanging="360"/></w:pPr></w:lvl>' % (i, start, fmt, text, extra, 720 * (i + 1)))


def para(text, num=None, ilvl=None, style=None):
    ppr = '<w:pStyle w:val="%s"/>' % style if style else ""
    if num is not None:
        ppr += "<w:numPr>%s<w:numId w:val=\"%d\"/></w:numPr>" % (
            '<w:ilvl w:val="%d"/>' % ilvl if ilvl is not None else "", num)
    return '<w:p><w:pPr>%s</w:pPr><w:r><w:t xml:space="preserve">%s</w:t></w:r></w:p>' % (ppr, text)


def package(path, body, numbering, styles=""):
    rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    with zipfile.ZipFile(path, "w") as z:
        z.writestr("[Content_Types].xml",
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-'
                   'officedocument.wordprocessingml.document.main+xml"/></Types>')
        z.writestr("_rels/.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   '<Relationship Id="rId1" Type="%sofficeDocument" Target="word/document.xml"/></Relationships>' % rel)
        z.writestr("word/_rels/document.xml.rels",
                   '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   '<Relationship Id="rId1" Type="%snumbering" Target="numbering.xml"/>'
                   '<Relationship Id="rId2" Type="%sstyles" Target="styles.xml"/></Relationships>' % (rel, rel))
        z.writestr("word/document.xml", '<w:document xmlns:w="%s"><w:body>%s<w:sectPr/></w:body></w:document>'
                   % (W_NS, body))
        z.writestr("word/numbering.xml", '<w:numbering xmlns:w="%s">%s</w:numbering>' % (W_NS, numbering))
        z.writestr("word/styles.xml", '<w:styles xmlns:w="%s">%s</w:styles>' % (W_NS, styles))


# The formats LibreOffice shows as Word does, and how far.
FORMATS = [("decimal", 25), ("decimalZero", 12), ("upperRoman", 25), ("lowerRoman", 25), ("upperLetter", 30),
           ("lowerLetter", 30), ("decimalEnclosedCircle", 20), ("aiueo", 46), ("aiueoFullWidth", 46),
           ("iroha", 47), ("irohaFullWidth", 47), ("japaneseCounting", 25), ("chineseCounting", 25),
           ("chineseCountingThousand", 12), ("japaneseLegal", 9), ("chineseLegalSimplified", 9),
           ("ideographTraditional", 10), ("ideographZodiac", 12), ("ordinal", 25), ("cardinalText", 25),
           ("ordinalText", 25), ("ganada", 14), ("chosung", 14)]


def formats_document(path):
    numbering, body = "", ""
    for k, (fmt, count) in enumerate(FORMATS):
        numbering += '<w:abstractNum w:abstractNumId="%d">%s</w:abstractNum>' % (k, lvl(0, fmt, "%1."))
        numbering += '<w:num w:numId="%d"><w:abstractNumId w:val="%d"/></w:num>' % (k + 1, k)
        body += "".join(para("%s item %d" % (fmt, i), k + 1, 0) for i in range(1, count + 1))
    package(path, body, numbering)


def engine_document(path):
    numbering = (
        '<w:abstractNum w:abstractNumId="0">' + lvl(0, "decimal", "%1.") + lvl(1, "lowerLetter", "(%2)") +
        lvl(2, "lowerRoman", "%3)") + lvl(3, "decimal", "%1.%2.%3.%4", 3) + '</w:abstractNum>'
        '<w:abstractNum w:abstractNumId="1">' + lvl(0, "japaneseCounting", "第%1条") +
        lvl(1, "decimal", "%1.%2") + '</w:abstractNum>'
        '<w:abstractNum w:abstractNumId="2">' + lvl(0, "upperRoman", "%1.", extra='<w:pStyle w:val="H1"/>') +
        lvl(1, "decimal", "%1.%2", extra='<w:pStyle w:val="H2"/>') + '</w:abstractNum>'
        '<w:abstractNum w:abstractNumId="3">' + lvl(0, "upperLetter", "%1)") +
        lvl(1, "decimal", "%1-%2", extra='<w:lvlRestart w:val="1"/>') + lvl(2, "decimal", "%2.%3") +
        '</w:abstractNum>'
        '<w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num>'
        '<w:num w:numId="2"><w:abstractNumId w:val="0"/></w:num>'
        '<w:num w:numId="3"><w:abstractNumId w:val="0"/><w:lvlOverride w:ilvl="0"><w:startOverride w:val="1"/>'
        '</w:lvlOverride></w:num>'
        '<w:num w:numId="4"><w:abstractNumId w:val="1"/></w:num>'
        '<w:num w:numId="5"><w:abstractNumId w:val="2"/></w:num>'
        '<w:num w:numId="6"><w:abstractNumId w:val="3"/></w:num>'
        '<w:num w:numId="7"><w:abstractNumId w:val="0"/><w:lvlOverride w:ilvl="0"><w:startOverride w:val="7"/>'
        '</w:lvlOverride></w:num>')
    styles = ('<w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/></w:style>'
              '<w:style w:type="paragraph" w:styleId="H1"><w:name w:val="heading 1"/><w:pPr><w:numPr>'
              '<w:numId w:val="5"/></w:numPr></w:pPr></w:style>'
              '<w:style w:type="paragraph" w:styleId="H2"><w:name w:val="heading 2"/><w:basedOn w:val="H1"/>'
              '<w:pPr><w:numPr><w:ilvl w:val="1"/></w:numPr></w:pPr></w:style>'
              '<w:style w:type="paragraph" w:styleId="H3"><w:name w:val="heading 3"/><w:basedOn w:val="H2"/>'
              '</w:style>')
    body = (para("one", 1, 0) + para("two", 1, 0) + para("sub a", 1, 1) + para("sub b", 1, 1) +
            para("deep", 1, 2) + para("deeper", 1, 3) + para("three", 1, 0) + para("sub again", 1, 1) +
            para("deeper again", 1, 3) +
            para("another instance goes on", 2, 0) + para("restarted", 3, 0) + para("after restart", 3, 0) +
            para("article", 4, 0) + para("clause", 4, 1) + para("article 2", 4, 0) + para("clause 2", 4, 1) +
            para("heading", style="H1") + para("heading 2", style="H2") + para("heading 2b", style="H3") +
            para("heading again", style="H1") + para("heading sub", style="H2") +
            para("A", 6, 0) + para("A sub", 6, 1) + para("A sub sub", 6, 2) + para("B", 6, 0) +
            para("B sub", 6, 1) + para("B sub sub", 6, 2) + para("B sub sub 2", 6, 2) +
            para("not numbered", 0, 0) + para("seven", 7, 0) + para("eight", 7, 0) + para("level 1 after", 1, 1))
    package(path, body, numbering, styles)


# ------------------------------------------------------------------- labels

def numbered_paragraphs(path):
    """The texts of the numbered body paragraphs, in order: not in tables,
    text boxes, deletions or fallbacks."""
    z = zipfile.ZipFile(path)
    root = ET.fromstring(z.read("word/document.xml"))
    numbered = numbered_styles(path)
    skip = {W + "tbl", W + "txbxContent", W + "del", W + "moveFrom",
            "{http://schemas.openxmlformats.org/markup-compatibility/2006}Fallback"}
    out = []

    def walk(elm):
        for child in elm:
            if child.tag in skip:
                continue
            if child.tag == W + "p":
                text = "".join(t.text or "" for t in child.iter(W + "t"))
                if numbered(child) and text.strip():
                    out.append(text)
            else:
                walk(child)
    walk(root)
    return out


def labels(lines, texts, strip_indent):
    """For each text, in order, the label before it on the first line (from
    where the last one was found) that ends with it; None when not found."""
    out, at = [], 0
    for text in texts:
        found = None
        for i in range(at, len(lines)):
            line = lines[i].lstrip(" ") if strip_indent else lines[i]
            if line.endswith(text):
                found = line[:len(line) - len(text)]
                # The level's suffix: a tab or a blank (LibreOffice: always
                # a blank).
                if found.endswith("\t") or found.endswith(" "):
                    found = found[:-1]
                at = i + 1
                break
        out.append(found)
    return out


def ours(tool, path, folder):
    p = subprocess.run([tool, path, folder, "allpage", "utf8"], capture_output=True, timeout=300)
    if p.returncode != 0:
        return None
    return [l.rstrip("\r") for l in p.stdout.decode("utf-8").split("\n") if not l.startswith("#file\t")]


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    tool = sys.argv[1]
    corpus = sys.argv[2] if len(sys.argv) > 2 and not sys.argv[2].startswith("-") else None
    verbose = "-v" in sys.argv
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if not soffice:
        print("SKIPPED: LibreOffice (soffice) is not installed")
        return 77
    tmp = tempfile.mkdtemp(prefix="vergle-lists-")
    try:
        docs = []
        for name, build in (("formats.docx", formats_document), ("engine.docx", engine_document)):
            path = os.path.join(tmp, name)
            build(path)
            docs.append(path)
        if corpus and os.path.isdir(corpus):
            docs += agreement.workbooks(corpus, (".docx", ".docm"))
        else:
            print("NOTE: no corpus; built documents only")
        readable = [d for d in docs if ours(tool, d, os.path.join(tmp, "d")) is not None]
        # Copies with unique names: LibreOffice names its output after the input.
        conv = os.path.join(tmp, "in")
        os.mkdir(conv)
        inputs = []
        for i, d in enumerate(readable):
            dst = os.path.join(conv, "%03d%s" % (i, os.path.splitext(d)[1]))
            shutil.copy(d, dst)
            inputs.append(dst)
        profile = "file://" + os.path.join(tmp, "profile")
        subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless", "--convert-to", "txt:Text",
                        "--outdir", os.path.join(tmp, "out")] + inputs, capture_output=True, timeout=600)
        labelled = mismatched = 0
        for d, src in zip(readable, inputs):
            name = os.path.relpath(d, corpus) if corpus and d.startswith(corpus) else os.path.basename(d)
            txt = os.path.join(tmp, "out", os.path.splitext(os.path.basename(src))[0] + ".txt")
            if not os.path.exists(txt):
                print("NO EXPORT %s" % name)
                mismatched += 1
                continue
            with open(txt, encoding="utf-8-sig") as f:
                lo_lines = f.read().split("\n")
            texts = numbered_paragraphs(d)
            mine = labels(ours(tool, d, os.path.join(tmp, "d")), texts, False)
            theirs = labels(lo_lines, texts, True)
            for text, a, b in zip(texts, mine, theirs):
                labelled += 1
                if a != b or a is None:
                    mismatched += 1
                    print("DIFFERENT %s: %r: dump %r, LibreOffice %r" % (name, text, a, b))
                elif verbose:
                    print("same %s: %r %r" % (name, a, text))
        print("documents %d; numbered paragraphs %d, labels different %d" % (len(readable), labelled, mismatched))
        return 0 if mismatched == 0 and labelled > 0 else 1
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

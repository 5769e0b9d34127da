#!/usr/bin/env python3
"""Writes the small seed inputs of the fuzz targets into seeds/<target>/.

The seeds are tiny hand-made documents that reach each reader's main paths;
the replay test also reads the shared corpus where it exists.  Run again
after changing a seed; the output is deterministic."""
import io
import os
import struct
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(HERE, "seeds", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def rec(kind, data=b""):
    return struct.pack("<HH", kind, len(data)) + data


def biff_stream():
    """A BIFF8 workbook stream: globals with strings, formats and one sheet."""
    bof = lambda kind: rec(0x0809, struct.pack("<HHHHII", 0x0600, kind, 0, 0, 0, 0))
    sst = struct.pack("<II", 3, 3)
    for s in (b"abc", b"x" * 5):
        sst += struct.pack("<HB", len(s), 0) + s
    sst += struct.pack("<HB", 2, 1) + "日本".encode("utf-16-le")
    xf = lambda fmt: rec(0x00E0, struct.pack("<HHH", 0, fmt, 1) + b"\0" * 14)
    code = "yyyy/m/d".encode("utf-16-le")
    fmt = rec(0x041E, struct.pack("<HHB", 200, 8, 1) + code)
    globals_ = bof(5) + rec(0x0042, struct.pack("<H", 1200)) + fmt
    globals_ += xf(0) + xf(14) + xf(200) + xf(10) + rec(0x00FC, sst)
    name = b"Sheet1"
    sheet_rec_len = 4 + 8 + len(name)
    head_len = len(globals_) + sheet_rec_len + 4  # + EOF
    globals_ += rec(0x0085, struct.pack("<IBBBB", head_len, 0, 0, len(name), 0) + name) + rec(0x000A)
    sheet = bof(0x10)
    sheet += rec(0x0203, struct.pack("<HHHd", 0, 0, 0, 2.5))
    sheet += rec(0x027E, struct.pack("<HHHI", 0, 1, 1, (45000 << 2) | 2))
    sheet += rec(0x00FD, struct.pack("<HHHI", 1, 0, 0, 2))
    sheet += rec(0x00BD, struct.pack("<HHHIHIH", 2, 0, 0, (7 << 2) | 2, 2, 0x3FF00000, 2))
    sheet += rec(0x0006, struct.pack("<HHH", 3, 0, 0) + b"\0\0\0\0\0\0\xff\xff" + struct.pack("<HIH", 0, 0, 0))
    sheet += rec(0x0207, struct.pack("<HB", 3, 0) + b"xyz")
    sheet += rec(0x0204, struct.pack("<HHHH", 4, 0, 0, 2) + b"\0hi")
    sheet += rec(0x0201, struct.pack("<HHH", 5, 3, 3))
    sheet += rec(0x01B6, b"\0" * 10 + struct.pack("<H", 4) + b"\0" * 6) + rec(0x003C, b"\0") + rec(0x003C, b"\0note")
    sheet += rec(0x000A)
    return globals_ + sheet


def compound(streams):
    """A compound document (512-byte sectors) holding regular streams."""
    sec = 512
    data_sectors = []
    entries = []
    next_sector = 2  # 0: FAT, 1: directory
    for name, body in streams:
        body = body + b"\0" * (-len(body) % sec)
        if len(body) < 4096:
            body += b"\0" * (4096 - len(body))
        n = len(body) // sec
        entries.append((name, next_sector, len(body)))
        data_sectors.append(body)
        next_sector += n
    fat = [0xFFFFFFFD, 0xFFFFFFFE]
    for name, start, size in entries:
        n = size // sec
        fat += [start + i + 1 for i in range(n - 1)] + [0xFFFFFFFE]
    fat += [0xFFFFFFFF] * (128 - len(fat))
    header = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16
    header += struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + b"\0" * 6
    header += struct.pack("<IIIIIIIII", 0, 1, 1, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0)
    header += struct.pack("<I", 0) + struct.pack("<I", 0xFFFFFFFF) * 108

    def entry(name, kind, left, right, child, start, size):
        u = name.encode("utf-16-le") + b"\0\0"
        e = u + b"\0" * (64 - len(u)) + struct.pack("<HBB", len(u), kind, 1)
        e += struct.pack("<III", left, right, child) + b"\0" * 36 + struct.pack("<IQ", start, size)
        return e

    none = 0xFFFFFFFF
    directory = entry("Root Entry", 5, none, none, 1, 0xFFFFFFFE, 0)
    for i, (name, start, size) in enumerate(entries):
        right = i + 2 if i + 1 < len(entries) else none
        directory += entry(name, 2, none, right, none, start, size)
    directory += b"\0" * (-len(directory) % sec)
    return header + struct.pack("<128I", *fat) + directory[:sec] + b"".join(data_sectors)


def compound_tree(streams):
    """A compound document of regular streams whose names ("VBA/dir") put
    them into storages below the root."""
    sec = 512
    nodes = [["Root Entry", 5, None, []]]  # name, type, stream, children
    for i, (path, _) in enumerate(streams):
        at = 0
        parts = path.split("/")
        for part in parts[:-1]:
            found = [c for c in nodes[at][3] if nodes[c][0] == part and nodes[c][1] == 1]
            if not found:
                nodes.append([part, 1, None, []])
                nodes[at][3].append(len(nodes) - 1)
                found = [len(nodes) - 1]
            at = found[0]
        nodes.append([parts[-1], 2, i, []])
        nodes[at][3].append(len(nodes) - 1)
    dir_sectors = (len(nodes) * 128 + sec - 1) // sec
    bodies, starts = [], []
    next_sector = 1 + dir_sectors  # 0: FAT
    for _, body in streams:
        size = len(body)
        body = body + b"\0" * (-len(body) % sec)
        body += b"\0" * max(0, 4096 - len(body))
        starts.append((next_sector, max(size, 4096)))
        bodies.append(body)
        next_sector += len(body) // sec
    fat = [0xFFFFFFFD] + [i + 2 for i in range(dir_sectors - 1)] + [0xFFFFFFFE]
    for (start, _), body in zip(starts, bodies):
        n = len(body) // sec
        fat += [start + i + 1 for i in range(n - 1)] + [0xFFFFFFFE]
    assert len(fat) <= 128
    fat += [0xFFFFFFFF] * (128 - len(fat))
    header = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16
    header += struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + b"\0" * 6
    header += struct.pack("<IIIIIIIII", 0, 1, 1, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0)
    header += struct.pack("<I", 0) + struct.pack("<I", 0xFFFFFFFF) * 108
    none = 0xFFFFFFFF
    entries = [b""] * len(nodes)
    for n, (name, kind, stream, children) in enumerate(nodes):
        for k, c in enumerate(children):
            cname, ckind, cstream, cchildren = nodes[c]
            right = children[k + 1] if k + 1 < len(children) else none
            child = cchildren[0] if cchildren else none
            start, size = starts[cstream] if ckind == 2 else (0, 0)
            u = cname.encode("utf-16-le") + b"\0\0"
            e = u + b"\0" * (64 - len(u)) + struct.pack("<HBB", len(u), ckind, 1)
            entries[c] = e + struct.pack("<III", none, right, child) + b"\0" * 36 + struct.pack("<IQ", start, size)
    u = "Root Entry".encode("utf-16-le") + b"\0\0"
    entries[0] = (u + b"\0" * (64 - len(u)) + struct.pack("<HBB", len(u), 5, 1) +
                  struct.pack("<III", none, none, nodes[0][3][0]) + b"\0" * 36 + struct.pack("<IQ", 0xFFFFFFFE, 0))
    directory = b"".join(entries)
    directory += b"\0" * (dir_sectors * sec - len(directory))
    return header + struct.pack("<128I", *fat) + directory + b"".join(bodies)


def literal_container(text):
    """A compressed container: a raw chunk for each whole 4096 bytes of
    text, literal tokens for the rest."""
    out = b"\x01"
    for at in range(0, len(text), 4096):
        chunk = text[at:at + 4096]
        if len(chunk) == 4096:
            out += struct.pack("<H", 0x3000 | 4095) + chunk
        else:
            body = b"".join(b"\0" + chunk[i:i + 8] for i in range(0, len(chunk), 8))
            out += struct.pack("<H", 0xB000 | (len(body) + 2 - 3)) + body
    return out


def vba_project():
    """A vbaProject.bin with one standard and one document module."""
    def r(kind, data=b""):
        return struct.pack("<HI", kind, len(data)) + data
    dir_ = r(1, struct.pack("<I", 1)) + r(3, struct.pack("<H", 932)) + r(4, b"VBAProject")
    dir_ += struct.pack("<HIIH", 9, 4, 1, 2) + r(0x0F, struct.pack("<H", 2)) + r(0x13, struct.pack("<H", 0xFFFF))
    filler = b"' " + b"-" * 4100 + b"\r\n"
    modules = [(b"Module1", 0x21, b"Sub Rate()\r\n    r = 0.08\r\nEnd Sub\r\n" + filler),
               (b"ThisWorkbook", 0x22, b"Attribute VB_Name = \"ThisWorkbook\"\r\n" + filler)]
    streams = []
    for name, kind, source in modules:
        dir_ += r(0x19, name) + r(0x1A, name) + r(0x32, name.decode().encode("utf-16-le"))
        dir_ += r(0x31, struct.pack("<I", 4)) + r(kind) + r(0x2B)
        streams.append(("VBA/" + name.decode(), b"\xCC\x61\xFF\xFF" + literal_container(source)))
    # The streams of these seeds lie in whole sectors: each is made longer
    # than the mini stream's cutoff (what follows the dir stream's
    # terminator is not read; the modules end in a long comment).
    dir_ += r(0x10)
    dir_ += b"\0" * (4096 - len(dir_))
    project = b"ID=\"{00000000-0000-0000-0000-000000000000}\"\r\nModule=Module1\r\nDocument=ThisWorkbook/&H00000000\r\n"
    return compound_tree([("VBA/dir", literal_container(dir_))] + streams + [("PROJECT", project)])


def formula(tokens, extra=b""):
    """A formula seed: the tokens' length, the tokens, their extra data."""
    return struct.pack("<H", len(tokens)) + tokens + extra


def package(members):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in members:
            z.writestr(name, text)
    return out.getvalue()


SHEET = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
         '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>'
         '<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" s="1"><v>45000.5</v></c>'
         '<c r="C1"><f>SUM(A1:B1)</f><v>3</v></c><c r="D1" t="inlineStr"><is><t>in</t></is></c></row>'
         '<row r="3"><c r="b3" s="2"><v>0.125</v></c><c r="C3" t="str"><v>&amp;x</v></c></row>'
         '</sheetData><mergeCells><mergeCell ref="A1:B1"/></mergeCells></worksheet>')
SST = ('<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="2" uniqueCount="2">'
       '<si><t>a&lt;b</t></si><si><r><t>rich</t></r><rPh><t>yomi</t></rPh></si><si><t/></si></sst>')
STYLES = ('<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
          '<numFmts count="1"><numFmt numFmtId="200" formatCode="yyyy&quot;年&quot;m&quot;月&quot;"/></numFmts>'
          '<cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="200"/><xf numFmtId="10"/></cellXfs></styleSheet>')
WORKBOOK = ('<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
            'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
            '<sheets><sheet name="One &amp; Two" sheetId="1" r:id="rId1"/></sheets></workbook>')
RELS = ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" '
        'Target="worksheets/sheet1.xml"/></Relationships>')
DRAWING = ('<xdr:wsDr xmlns:xdr="x" xmlns:a="a"><xdr:twoCellAnchor><xdr:sp><xdr:nvSpPr><xdr:cNvPr id="2" name="T"/>'
           '</xdr:nvSpPr><xdr:spPr><a:prstGeom prst="rect"/></xdr:spPr><xdr:txBody><a:p><a:r><a:t>box</a:t></a:r></a:p>'
           '</xdr:txBody></xdr:sp></xdr:twoCellAnchor></xdr:wsDr>')
COMMENTS = '<comments><commentList><comment ref="A1"><text><r><t>note</t></r></text></comment></commentList></comments>'
CUSTOM = '<Properties><property name="p"><vt:lpwstr>v</vt:lpwstr></property></Properties>'
CONTENT_TYPES = '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>'

NS_W = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
NS_M = 'xmlns:m="http://schemas.openxmlformats.org/officeDocument/2006/math"'
NS_DGM = ('xmlns:dgm="http://schemas.openxmlformats.org/drawingml/2006/diagram" '
          'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"')
DOCX_BODY = ('<w:document ' + NS_W + ' ' + NS_M + '><w:body><w:p><w:r><w:t>Hello</w:t></w:r><w:r><w:tab/><w:t xml:space="preserve"> world</w:t></w:r></w:p>'
             '<w:tbl><w:tblGrid><w:gridCol/><w:gridCol/></w:tblGrid><w:tr><w:tc><w:p><w:r><w:t>a</w:t></w:r></w:p></w:tc>'
             '<w:tc><w:p><w:r><w:t>b</w:t></w:r></w:p></w:tc></w:tr></w:tbl>'
             '<w:p><w:r><w:br w:type="page"/><w:t>page 2</w:t></w:r></w:p>'
             '<w:p><w:r><w:drawing><wps:txbx><w:txbxContent><w:p><w:r><w:t>in box</w:t></w:r></w:p></w:txbxContent></wps:txbx></w:drawing></w:r></w:p>'
             '<w:p><w:pPr><w:numPr><w:ilvl w:val="0"/><w:numId w:val="1"/></w:numPr></w:pPr><m:oMathPara><m:oMath>'
             '<m:f><m:num><m:r><m:t>a+b</m:t></m:r></m:num><m:den><m:sSup><m:e><m:r><m:t>c</m:t></m:r></m:e>'
             '<m:sup><m:r><m:t>2</m:t></m:r></m:sup></m:sSup></m:den></m:f><m:rad><m:deg/><m:e><m:d><m:dPr>'
             '<m:begChr m:val="["/></m:dPr><m:e><m:r><m:t>x</m:t></m:r></m:e></m:d></m:e></m:rad><m:nary><m:naryPr>'
             '<m:chr m:val="∑"/></m:naryPr><m:sub/><m:sup/><m:e><m:m><m:mr><m:e/><m:e/></m:mr></m:m></m:e></m:nary>'
             '</m:oMath></m:oMathPara><w:r><w:footnoteReference w:id="1"/><w:fldChar w:fldCharType="begin"><w:ffData>'
             '<w:checkBox><w:checked/></w:checkBox></w:ffData></w:fldChar></w:r></w:p>'
             '<w:sectPr/></w:body></w:document>')
PPTX_SLIDE = ('<p:sld xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main" '
              'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"><p:cSld><p:spTree><p:sp><p:nvSpPr><p:nvPr><p:ph type="title"/></p:nvPr></p:nvSpPr>'
              '<p:txBody><a:p><a:r><a:t>Title</a:t></a:r></a:p><a:p><a:r><a:t>x &amp; y</a:t></a:r><a:br/></a:p></p:txBody></p:sp>'
              '<p:graphicFrame><a:tbl><a:tr><a:tc><a:txBody><a:p><a:r><a:t>c1</a:t></a:r></a:p></a:txBody></a:tc></a:tr></a:tbl></p:graphicFrame>'
              '</p:spTree></p:cSld></p:sld>')


NUMBERING = ('<w:numbering ' + NS_W + '><w:abstractNum w:abstractNumId="0"><w:lvl w:ilvl="0"><w:start w:val="1"/>'
             '<w:numFmt w:val="japaneseCounting"/><w:lvlText w:val="第%1条"/></w:lvl><w:lvl w:ilvl="1">'
             '<w:numFmt w:val="decimal"/><w:lvlText w:val="%1.%2"/><w:isLgl/><w:lvlRestart w:val="0"/>'
             '<w:pStyle w:val="List"/></w:lvl></w:abstractNum><w:abstractNum w:abstractNumId="1"><w:numStyleLink '
             'w:val="List"/></w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="0"/><w:lvlOverride w:ilvl="1">'
             '<w:startOverride w:val="5"/></w:lvlOverride></w:num><w:num w:numId="2"><w:abstractNumId w:val="1"/>'
             '</w:num></w:numbering>')
WSTYLES = ('<w:styles ' + NS_W + '><w:style w:type="paragraph" w:default="1" w:styleId="a"/><w:style w:type="paragraph" '
           'w:styleId="List"><w:basedOn w:val="a"/><w:pPr><w:numPr><w:numId w:val="2"/></w:numPr><w:pageBreakBefore/>'
           '</w:pPr></w:style></w:styles>')
SECTIONS = ('<w:document ' + NS_W + ' xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
            '<w:body><w:p><w:pPr><w:sectPr><w:headerReference w:type="default" r:id="rId1"/><w:footnotePr>'
            '<w:numFmt w:val="lowerRoman"/><w:numRestart w:val="eachSect"/></w:footnotePr></w:sectPr></w:pPr>'
            '<w:r><w:commentReference w:id="0"/></w:r></w:p><w:sectPr><w:footerReference r:id="rId2"/></w:sectPr>'
            '</w:body></w:document>')
DIAGRAM = ('<dgm:dataModel ' + NS_DGM + '><dgm:ptLst><dgm:pt modelId="0" type="doc"/><dgm:pt modelId="1"><dgm:t>'
           '<a:p><a:r><a:t>node</a:t></a:r></a:p></dgm:t></dgm:pt></dgm:ptLst><dgm:cxnLst><dgm:cxn modelId="2" '
           'srcId="0" destId="1" srcOrd="0" destOrd="0"/></dgm:cxnLst></dgm:dataModel>')
SETTINGS = ('<w:settings ' + NS_W + '><w:footnotePr><w:numFmt w:val="upperLetter"/><w:numStart w:val="3"/>'
            '</w:footnotePr></w:settings>')


def main():
    stream = biff_stream()
    xls = compound([("Workbook", stream)])
    put("biff", "workbook_stream", stream)
    put("cfb", "workbook.xls", xls)
    put("cfb", "two_streams.xls", compound([("Book", stream[:200]), ("Workbook", stream)]))
    put("open_book_xls", "workbook.xls", xls)
    xlsx = package([("[Content_Types].xml", CONTENT_TYPES), ("xl/workbook.xml", WORKBOOK),
                    ("xl/_rels/workbook.xml.rels", RELS), ("xl/worksheets/sheet1.xml", SHEET),
                    ("xl/sharedStrings.xml", SST), ("xl/styles.xml", STYLES),
                    ("xl/drawings/drawing1.xml", DRAWING), ("xl/comments1.xml", COMMENTS)])
    put("open_book_xlsx", "small.xlsx", xlsx)
    put("unzip", "small.xlsx", xlsx)
    put("unzip", "stored.zip", package([]) + b"")
    put("file_type", "xls", b"\x00" + xls[:1536])
    put("file_type", "xlsx", b"\x01" + xlsx)
    put("file_type", "docx", b"\x04" + package([("word/document.xml", DOCX_BODY)]))
    for i, part in enumerate([SHEET, SST, DRAWING, COMMENTS, WORKBOOK, CUSTOM, STYLES]):
        put("xlsx_scan", "part%d.xml" % i, bytes([i]) + part.encode("utf-8"))
    put("ofx_walk", "document.xml", b"\x00" + DOCX_BODY.encode("utf-8"))
    put("ofx_walk", "slide.xml", b"\x01" + PPTX_SLIDE.encode("utf-8"))
    put("ofx_parts", "parts", "\x01\x02".join([NUMBERING, WSTYLES, SECTIONS, DIAGRAM, SETTINGS,
                                                "decimal,aiueo,japaneseCounting,custom,001, 002"]))
    put("xml_escape", "unescape", b"\x00a&amp;lt;b &#x41; _x0041_ &quot;\r\n")
    put("xml_escape", "escape", b"\x01A<B>&\"\r\n_x0041_ \xe6\x97\xa5")
    put("keywords", "open", 'EXCEL="a b.xlsx" READ_MEMORY=TRUE CHARSET=UTF8 ブック=\'x\'\'y\';')
    put("keywords", "sjis", b'EXCEL="\x83\x5c.xlsx" VERSION="2.0.4.0" XLS_BOOK=1')
    put("cell_format", "date", struct.pack("<dB", 45000.75, 2) + b'yyyy"\x94\x4e"m"\x8c\x8e"d"\x93\xfa" h:mm AM/PM')
    put("cell_format", "number", struct.pack("<dB", -1234567.25, 3) + b"#,##0.00_);[Red](#,##0.00)")
    put("cell_format", "era", struct.pack("<dB", 32516.0, 2) + b"[$-411]ggge\x94\x4e")
    put("cell_format", "elapsed", struct.pack("<dB", 1.5, 6) + b"[h]:mm:ss.00;[Red]-[mm]:ss;@")
    put("cell_format", "sections", struct.pack("<dB", 12345.678, 3) + b'[>=1000]#,##0,"K";[<0]0.00E+00;# ?/8;"<"@">"')
    put("cell_format", "dbnum", struct.pack("<dB", 1234.5, 7) + b"[DBNum1][$-ja-JP-x-gannen]ggge aaaa 0.0%")
    put("orb_convert", "sjis_utf8", bytes([0 + 4 * 2, 0]) + b"\x83\x5c\x82\xa0abc\x81")
    put("orb_convert", "utf8_sjis", bytes([2 + 4 * 0, 255]) + "ソあ¥~".encode("utf-8") + b"\xe6")
    put("orb_convert", "utf16_euc", bytes([3 + 4 * 1, 128]) + "日本".encode("utf-16-be") + b"\xd8")
    ref = lambda row, col: struct.pack("<BHH", 0x44, row, col | 0xC000)
    put("formula", "arithmetic", formula(ref(0, 0) + ref(1, 1) + b"\x03" + struct.pack("<BH", 0x1E, 2) + b"\x05\x15"))
    put("formula", "functions", formula(struct.pack("<BHHHH", 0x25, 0, 9, 0xC000, 0xC000) + struct.pack("<BBH", 0x19, 0x10, 0)
                                        + struct.pack("<BBH", 0x17, 2, 0) + b"ab" + struct.pack("<BBH", 0x42, 2, 111)))
    put("formula", "names_3d", formula(struct.pack("<BHHH", 0x5A, 0, 3, 2) + struct.pack("<BI", 0x43, 1) + b"\x05"
                                       + struct.pack("<BHI", 0x39, 1, 1) + struct.pack("<BBH", 0x42, 2, 255)))
    put("formula", "array", formula(b"\x60" + b"\0" * 7, struct.pack("<BHBd", 0, 0, 1, 1.5)))
    put("vba", "normal.bin", bytes.fromhex(
        "012FB00023616161626364658266007061676869"
        "6A013808616B6C00206D6E6F700671027004007273747576107778797A002C"))
    put("vba", "project.bin", vba_project())
    # Two workbooks (sheets with their layout told), two decks, two
    # documents with a page break moved.
    sheet_a = "費目\t金額\t\n旅費\t120,000\t\n備品\t45,800\t\n"
    sheet_b = "費目\t産地\t金額\t\n旅費\t国内\t135,000\t\n追加\t\t1\t\n備品\t国内\t45,800\t\n"
    put("align", "sheets", bytes([0 + 4]) + (sheet_a + "\x01x\t1\t\n\0" + "x\t1\t\n\x01" + sheet_b).encode("utf-8"))
    put("align", "slides", bytes([2]) + "A\n1\n\x01B\n2\n\x01C\n3\n\0A\n1\n\x01C\n3\n\x01B\n2\x1b[2J\n".encode("utf-8"))
    put("align", "pages", bytes([1]) + "今月の売上は 5% 増\n\x01備考\n以上\n\0今月の売上は 7% 増\n備考\n\x01以上\n".encode("utf-8"))


if __name__ == "__main__":
    main()

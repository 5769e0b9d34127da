#!/usr/bin/env python3
"""The formulas of legacy workbooks against a known writer and an
independent reader, and the two forms of the corpus's workbook pairs.

1. A table of formulas: openpyxl writes them into a workbook (.xlsx, as
   stored), LibreOffice converts it into a legacy workbook (.xls), and the
   library must give back every formula of the table from the .xls (and
   from the .xlsx): operators, precedence and parentheses, functions with
   fixed and varying arguments, references of every kind, other sheets and
   sheet ranges, defined names, constants, array constants, array formulas,
   and a column of formulas that LibreOffice stores as one shared formula.
   Where LibreOffice cannot store a formula as written, the table says what
   it stores instead and why.
2. Every .xls of the corpus: LibreOffice converts it into .xlsx, openpyxl
   reads the formulas of that, and each must equal the library's formula of
   the same cell, and the other way round.  What LibreOffice itself changes
   on the way is set aside, each with its reason (RULES below).
3. The corpus's pairs of one workbook as .xls and as .xlsx: the same cell's
   formula must read the same in both forms.

Usage: libreoffice_formulas.py DUMP_BOOK CORPUS_DIR [-v]
Exit: 0 when everything agrees, 1 otherwise, 77 (skipped) when LibreOffice
(soffice) or openpyxl is missing.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import agreement  # noqa: E402

# (formula as written, formula the .xls of LibreOffice gives, or None when
# the same); the cells are Sheet3!A1, A2, ...
TABLE = [
    ("=SUM(A1:A10)", None), ("=A1+B2*C3", None), ("=(A1+B2)*C3", None), ("=A1-(B1-C1)", None), ("=A1-B1-C1", None),
    ("=-A1^2", None), ("=(-A1)^2", None), ("=-(A1^2)", None), ("=A1%", None), ("=10%*A1", None),
    ("=A1&\"x\"&B1", None), ("=\"He said \"\"hi\"\"\"", None), ("=A1=B1", None), ("=A1<>B1", None),
    ("=A1<=B1", None), ("=A1>=B1", None), ("=$A$1+A$1+$A1", None), ("=SUM(A:A)", None), ("=SUM($B:$C)", None),
    # A whole row of an Open XML sheet (16384 columns) does not fit a legacy
    # sheet's 256: LibreOffice stores a reference error.
    ("=SUM(1:1)", "=SUM(#REF!)"),
    ("=SUM($2:$3)", None), ("=Sheet3!A1", None), ("='数値 一覧'!B2", None), ("=SUM(Sheet3!A1:B2)", None),
    ("=SUM('数値 一覧'!A1:A3)", None), ("=IF(A1>5,\"big\",\"small\")", None), ("=IF(A1>5,1)", None),
    ("=VLOOKUP(A1,A1:C10,2,FALSE)", None), ("=ROUND(A1/3,2)", None), ("=MID(\"abcdef\",2,3)", None),
    ("=LEFT(\"abc\")", None), ("=CHOOSE(2,A1,B1,C1)", None), ("=COUNTIF(A1:A10,\">3\")", None),
    ("=SUMIF(A1:A10,\">3\",B1:B10)", None), ("=INDEX(A1:C10,2,3)", None), ("=MATCH(4,A1:A10,0)", None),
    ("=TRUE", None), ("=FALSE", None), ("=#N/A", None),
    # LibreOffice stores every error constant but #N/A as #N/A.
    ("=#DIV/0!", "=#N/A"),
    ("=1.5", None), ("=0.1", None), ("=123456789", None), ("=1E+20", None), ("=0.000001", None), ("=1/3", None),
    ("=PI()", None), ("=NOW()", None), ("=TODAY()", None), ("=RAND()", None), ("=NA()", None),
    ("=SUM(A1:A3,B1:B3)", None), ("=SUM((A1:A3,B1:B3))", None), ("=SUM(A1:C3 B2:D4)", None),
    ("=SUMPRODUCT(A1:A3,B1:B3)", None), ("=DATE(2024,1,5)", None), ("=TEXT(A1,\"0.00\")", None), ("=ABS(-A1)", None),
    ("=MAX(A1:A10)-MIN(A1:A10)", None), ("=AVERAGE(A1:A10)", None), ("=COUNTA(A:A)", None), ("=ISNUMBER(A1)", None),
    ("=IFERROR(1/0,0)", None), ("=AND(A1>0,B1>0)", None), ("=OR(A1>0,B1>0)", None), ("=NOT(A1>0)", None),
    ("=CONCATENATE(A1,B1)", None), ("=UPPER(\"a\")", None), ("=LEN(\"abc\")", None),
    ("=SUBSTITUTE(\"aa\",\"a\",\"b\")", None), ("=ROUNDUP(A1,0)", None), ("=ROUNDDOWN(A1,0)", None),
    ("=MOD(A1,3)", None), ("=POWER(2,3)", None), ("=SQRT(16)", None), ("=EXP(1)", None), ("=LN(2)", None),
    ("=LOG10(100)", None), ("=LOG(8,2)", None), ("=INT(2.5)", None), ("=TRUNC(2.5)", None), ("=YEAR(A1)", None),
    ("=WEEKDAY(A1)", None), ("=HLOOKUP(1,A1:E2,2)", None), ("=OFFSET(A1,1,1)", None), ("=INDIRECT(\"A1\")", None),
    ("=ROW()", None), ("=COLUMN(B3)", None), ("=ROWS(A1:A10)", None), ("=TRANSPOSE(A1:A3)", None),
    ("=SUM({1,2;3,4})", None), ("=SUM({1,\"a\",TRUE})", None), ("=A1:A3", None), ("=Data!A1", None),
    ("=SUM(Data!A1:A3)", None), ("=+A1", None), ("=--A1", None), ("=A1*-1", None), ("=2^3^2", None),
    ("=2^(3^2)", None), ("=(1+2)*(3+4)", None), ("=1+2+3", None), ("=1+(2+3)", None), ("=A1&B1&C1", None),
    ("=SUBTOTAL(9,A1:A10)", None), ("=LARGE(A1:A10,2)", None), ("=RANK(A1,A1:A10)", None), ("=STDEV(A1:A10)", None),
    ("=MEDIAN(A1:A10)", None), ("=PRODUCT(A1:A3)", None), ("=FIXED(A1,2)", None), ("=DOLLAR(A1)", None),
    ("=REPT(\"-\",3)", None), ("=EXACT(\"a\",\"A\")", None), ("=TRIM(\" a \")", None), ("=FIND(\"b\",\"abc\")", None),
    ("=SEARCH(\"b\",\"abc\")", None), ("=REPLACE(\"abc\",2,1,\"x\")", None), ("=CHAR(65)", None),
    ("=CODE(\"A\")", None), ("=VALUE(\"3\")", None), ("=HOUR(0.5)", None), ("=TIME(1,2,3)", None),
    ("=DATEVALUE(\"2024/1/5\")", None), ("=PMT(0.05/12,360,-100000)", None), ("=NPV(0.1,A1:A3)", None),
    ("=FV(0.05,10,-100)", None), ("=ISBLANK(Z99)", None), ("=ISERROR(A1)", None), ("=ISTEXT(A1)", None),
    ("=SIGN(-3)", None), ("=FLOOR(2.5,1)", None), ("=CEILING(2.5,1)", None), ("=EVEN(3)", None), ("=ODD(2)", None),
    ("=FACT(5)", None), ("=COMBIN(5,2)", None), ("=MyName*2", None), ("=SUM(MyRange)", None),
    ("=Sheet3!$B$2*2", None),
    # LibreOffice stores a cell of a sheet range as a 3D area of that cell.
    ("=SUM(Data:Sheet3!A1)", "=SUM(Data:Sheet3!A1:A1)"),
    ("=A1*1.5E-10", None), ("=DAYS360(A1,B1)", None), ("=DCOUNT(A1:C10,1,A1:A2)", None),
    ("=NORMSDIST(1)", None), ("=BINOMDIST(1,2,0.5,FALSE)", None), ("=WEIBULL(1,2,3,TRUE)", None),
    ("=SLN(1000,100,5)", None), ("=SYD(1000,100,5,1)", None), ("=IPMT(0.1,1,3,100)", None),
    ("=DDB(1000,100,5,1)", None), ("=TANH(1)", None), ("=ATAN2(1,1)", None), ("=CLEAN(\"a\")", None),
    ("=PROPER(\"ab cd\")", None), ("=RIGHT(\"abc\",2)", None), ("=N(A1)", None), ("=T(A1)", None),
    ("=ISLOGICAL(A1)", None), ("=ISNONTEXT(A1)", None), ("=ISREF(A1)", None),
    # LibreOffice stores ERROR.TYPE as a call of the add-in function it
    # names "_xlfn.ERROR.TYPE", not as the built-in function.
    ("=ERROR.TYPE(A1)", "=_xlfn.ERROR.TYPE(A1)"),
    ("=CELL(\"row\",A1)", None), ("=INFO(\"osversion\")", None), ("=ADDRESS(1,2)", None),
    ("=HYPERLINK(\"http://example.com\",\"x\")", None), ("=GEOMEAN(A1:A3)", None), ("=PERCENTILE(A1:A10,0.5)", None),
    ("=QUARTILE(A1:A10,1)", None), ("=FORECAST(1,A1:A3,B1:B3)", None), ("=CORREL(A1:A3,B1:B3)", None),
    ("=TTEST(A1:A3,B1:B3,2,1)", None), ("=MMULT(A1:B2,A1:B2)", None), ("=MDETERM(A1:B2)", None),
    ("=DATEDIF(A1,B1,\"d\")", None), ("=COUNTBLANK(A1:A10)", None), ("=SUMSQ(A1:A3)", None),
    ("=RADIANS(180)", None), ("=ROMAN(4)", None), ("=DOLLAR(A1,2)", None), ("=DGET(A1:C10,1,A1:A2)", None),
]
ARRAYS = [("F1", "=SUM(A1:A3*B1:B3)", "F1"), ("G1", "=A1:A3*2", "G1:G3")]
SHARED = [("H%d" % r, "=A%d*2+$B$1+B%d" % (r, r)) for r in range(1, 11)]

# What LibreOffice's conversion of a corpus .xls to .xlsx changes, set
# aside with its reason.
RULES = """\
blanks     LibreOffice drops the blanks and line breaks typed in a formula:
           they are compared without them (outside strings and names).
constants  LibreOffice writes the constants TRUE, FALSE and #N/A as the
           functions TRUE(), FALSE() and NA().
values     LibreOffice writes a boolean or error cell (no formula in the
           .xls) as the formula TRUE(), FALSE() or NA().
peer       cells that LibreOffice cannot read, listed in PEER below."""
PEER = {
    # A call of the user function "su" that no add-in defines: LibreOffice
    # writes "(#NAME?,B4)".
    ("types.xls", 2, "B15"),
    # A natural-language formula (labels of Excel 97): the library reports
    # it unreadable, LibreOffice writes "'Dec' Profit".
    ("namesdemo.xls", 2, "A6"),
}


def soffice():
    for name in ("soffice", "libreoffice"):
        exe = shutil.which(name)
        if exe:
            return exe
    return None


def convert(exe, sources, target, outdir, profile):
    """LibreOffice converts the files into outdir (one run); the paths of
    the results by source."""
    os.makedirs(outdir, exist_ok=True)
    subprocess.run([exe, "-env:UserInstallation=file://" + profile, "--headless", "--convert-to", target,
                    "--outdir", outdir] + sources, capture_output=True, timeout=900)
    ext = "." + target.split(":")[0]
    return {s: os.path.join(outdir, os.path.splitext(os.path.basename(s))[0] + ext) for s in sources}


def without_blanks(text):
    """A formula without the blanks and line breaks outside its strings and
    quoted names."""
    out, quote = [], None
    for ch in text:
        if quote:
            out.append(ch)
            if ch == quote:
                quote = None
        elif ch in "\"'":
            quote = ch
            out.append(ch)
        elif ch not in " \n\r":
            out.append(ch)
    return "".join(out)


CONSTANTS = {"=TRUE()": "=TRUE", "=FALSE()": "=FALSE", "=NA()": "=#N/A"}


def table_part(exe, openpyxl, tool, work, profile, misses):
    from openpyxl.workbook.defined_name import DefinedName
    wb = openpyxl.Workbook()
    data = wb.active
    data.title = "Data"
    other = wb.create_sheet("数値 一覧")
    sheet = wb.create_sheet("Sheet3")
    for r in range(1, 11):
        for c in range(1, 6):
            data.cell(r, c, r * c)
            other.cell(r, c, r + c)
    for i, (f, _) in enumerate(TABLE, start=1):
        sheet.cell(i, 1, f)
    for cell, f, ref in ARRAYS:
        sheet[cell] = f
        sheet.formula_attributes[cell] = {"t": "array", "ref": ref}
    for cell, f in SHARED:
        sheet[cell] = f
    for name, target in (("MyName", "Data!$A$1"), ("MyRange", "Data!$A$1:$A$10")):
        defined = DefinedName(name, attr_text=target)
        if hasattr(wb.defined_names, "add"):
            wb.defined_names.add(defined)
        else:
            wb.defined_names.append(defined)
    xlsx = os.path.join(work, "table.xlsx")
    wb.save(xlsx)
    xls = convert(exe, [xlsx], "xls:MS Excel 97", os.path.join(work, "table"), profile)[xlsx]
    expected_xlsx, expected_xls = {}, {}
    for i, (f, stored) in enumerate(TABLE, start=1):
        expected_xlsx[(2, "A%d" % i)] = f
        expected_xls[(2, "A%d" % i)] = stored or f
    for cell, f, ref in ARRAYS:
        expected_xlsx[(2, cell)] = expected_xls[(2, cell)] = "{" + f + "} " + ref
    for cell, f in SHARED:
        expected_xlsx[(2, cell)] = expected_xls[(2, cell)] = f
    count = 0
    for path, expected in ((xlsx, expected_xlsx), (xls, expected_xls)):
        ours = agreement.formulas(tool, path) if os.path.exists(path) else None
        if ours is None:
            misses.append(("table", os.path.basename(path), "not read", None, None))
            continue
        for key in sorted(set(ours) | set(expected)):
            count += 1
            if ours.get(key) != expected.get(key):
                misses.append(("table", os.path.basename(path), key, expected.get(key), ours.get(key)))
    return count


def corpus_part(exe, openpyxl, tool, corpus, work, profile, misses):
    sources = agreement.workbooks(corpus, (".xls",))
    converted = {}
    by_folder = {}
    for s in sources:
        by_folder.setdefault(os.path.dirname(s), []).append(s)
    for n, (folder, files) in enumerate(sorted(by_folder.items())):
        converted.update(convert(exe, files, "xlsx", os.path.join(work, "corpus%d" % n), profile))
    count = 0
    for src in sources:
        ours = agreement.formulas(tool, src)
        if ours is None or not os.path.exists(converted[src]):
            continue
        try:
            theirs = agreement.openpyxl_formulas(openpyxl.load_workbook(converted[src]))
        except Exception:
            continue
        base = os.path.basename(src)
        for key in sorted(set(ours) | set(theirs)):
            mine, peer = ours.get(key), theirs.get(key)
            if (base, key[0], key[1]) in PEER:
                continue
            if mine is None and peer in CONSTANTS:
                continue  # values
            count += 1
            peer, mine = CONSTANTS.get(peer, peer), CONSTANTS.get(mine, mine)
            if mine is None or peer is None or without_blanks(mine) != without_blanks(peer):
                misses.append(("corpus", os.path.relpath(src, corpus), key, peer, mine))
    return count


def pairs(corpus):
    """(.xls, .xlsx) of one workbook: the same name beside each other, or a
    generated workbook's two forms ("xls_X__w.xls" and "xlsx_X__w.xlsx",
    written by LibreOffice from the same source, or that source itself)."""
    found = []
    for xls in agreement.workbooks(corpus, (".xls",)):
        folder, name = os.path.split(xls)
        stem = os.path.splitext(name)[0]
        candidates = [os.path.join(folder, stem + ".xlsx")]
        m = re.match(r"xls_(.*)__(\w+)$", stem)
        if m:
            candidates += [os.path.join(folder, "xlsx_%s__%s.xlsx" % (m.group(1), w))
                           for w in (m.group(2), "xlsxwriter")]
        for x in candidates:
            if os.path.exists(x):
                found.append((xls, x))
                break
    return found


def pairs_part(tool, corpus, misses):
    count = 0
    for xls, xlsx in pairs(corpus):
        a, b = agreement.formulas(tool, xls), agreement.formulas(tool, xlsx)
        if a is None or b is None:
            continue
        for key in sorted(set(a) | set(b)):
            count += 1
            x, y = a.get(key), b.get(key)
            # LibreOffice writes the function TRUE() of its .xlsx as the
            # constant TRUE into the .xls it writes.
            if y is not None and CONSTANTS.get(y) == x:
                continue
            if x != y:
                misses.append(("pair", os.path.relpath(xls, corpus), key, y, x))
    return count


def main():
    tool, corpus = agreement.arguments(__doc__)
    openpyxl = agreement.peer("openpyxl")
    exe = soffice()
    if exe is None:
        agreement.skip("LibreOffice (soffice) is not installed")
    misses = []
    work = tempfile.mkdtemp(prefix="vergle-formulas-")
    try:
        profile = os.path.join(work, "profile")
        n_table = table_part(exe, openpyxl, tool, work, profile, misses)
        n_corpus = n_pairs = 0
        if os.path.isdir(corpus):
            n_corpus = corpus_part(exe, openpyxl, tool, corpus, work, profile, misses)
            n_pairs = pairs_part(tool, corpus, misses)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for m in misses:
        print("MISMATCH %s %s %s: expected %r, library %r" % m)
    print("table: %d formulas; corpus against LibreOffice: %d; .xls and .xlsx pairs: %d; %d mismatches"
          % (n_table, n_corpus, n_pairs, len(misses)))
    if "-v" in sys.argv:
        print(RULES)
    return 0 if not misses and n_table > 0 else 1


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes platform/posix/cp932_data.cpp, the data of code page 932, from what Windows makes of code page
932 (the output of dump932.exe, run on Windows or under Wine):

    x86_64-w64-mingw32-gcc -O2 -static -o dump932.exe dump932.c
    wine dump932.exe cp932.txt
    python3 make-table.py cp932.txt > ../../platform/posix/cp932_data.cpp

The table holds the decoding of every single byte and every double-byte code
(lead 0x81-0x9F, 0xE0-0xFC; trail 0x40-0xFC) as hexadecimal rows, and the
encodings that differ from decoding read backwards (the first code that
decodes to a character encodes it): Windows' best-fit mappings, its choice
among duplicate codes, and the characters it does not encode although a code
decodes to them.  The conversion itself is in cp932_table.cpp's functions;
the Windows test run compares them with Windows for every code."""
import sys

LEADS = [l for l in range(0x81, 0x100) if l <= 0x9F or 0xE0 <= l <= 0xFC]
TRAILS = list(range(0x40, 0xFD))  # 0x7F included: it decodes like an invalid trail

def main(path):
    enc, dec = {}, {}
    for line in open(path, encoding='ascii'):
        f = line.split()
        if not f:
            continue
        if f[0] == 'E':
            enc[int(f[1], 16)] = None if f[2:] in ([], ['-']) else int(f[2], 16)
        elif f[0] == 'D':
            dec[int(f[1], 16)] = [int(x, 16) for x in f[2:]]
    single = [0] + [dec[b][0] if len(dec[b]) == 1 else 0x30FB for b in range(1, 0x100)]
    rows = {}
    for l in LEADS:
        rows[l] = [dec[(l << 8) | t][0] if len(dec[(l << 8) | t]) == 1 else 0x30FB for t in TRAILS]
        for t in list(range(1, 0x40)) + list(range(0xFD, 0x100)):
            assert dec[(l << 8) | t] == [0x30FB], hex((l << 8) | t)
    # Decoding read backwards, as cp932_table.cpp builds it.
    lead_set = set(LEADS)
    back = {}
    for b in range(0x100):
        if b not in lead_set:
            back.setdefault(single[b], b)
    for l in LEADS:
        for i, t in enumerate(TRAILS):
            u = rows[l][i]
            if u == 0x30FB and (l, t) != (0x81, 0x45):
                continue  # an invalid code, not the middle dot itself
            back.setdefault(u, (l << 8) | t)
    extra = []
    for u in range(1, 0x10000):
        if 0xD800 <= u <= 0xDFFF:
            continue
        want = enc.get(u)
        have = back.get(u)
        if want != have:
            extra.append((u, 0xFFFF if want is None else want))
    out = sys.stdout
    out.write('// Code page 932 as Windows converts it.  Written by scripts/cp932/make-table.py\n'
              '// from Windows\' own conversions; do not edit.\n'
              '#include "cp932_table.h"\n\n'
              'const char16_t CP932_SINGLE[256] = {\n')
    for i in range(0, 256, 8):
        out.write('    ' + ' '.join('0x%04X,' % u for u in single[i:i + 8]) + '\n')
    out.write('};\n\n// Lead bytes 0x81-0x9F and 0xE0-0xFC; trail bytes 0x40-0xFC, four hexadecimal\n'
              '// digits each.\nconst char* const CP932_ROWS[CP932_LEADS] = {\n')
    for l in LEADS:
        s = ''.join('%04X' % u for u in rows[l])
        out.write('    // %02X\n' % l)
        for i in range(0, len(s), 96):
            out.write('    "%s"\n' % s[i:i + 96])
        out.write('    ,\n')
    out.write('};\n\n// Encodings that differ from the decoding read backwards; 0xFFFF: none.\n'
              'const cp932_encoding CP932_ENCODE_EXTRA[] = {\n')
    for i in range(0, len(extra), 6):
        out.write('    ' + ' '.join('{0x%04X, 0x%04X},' % e for e in extra[i:i + 6]) + '\n')
    out.write('};\nconst int CP932_ENCODE_EXTRA_COUNT = %d;\n' % len(extra))

if __name__ == '__main__':
    main(sys.argv[1])

#!/usr/bin/env python3
"""terminal-picture: the README's picture of the command line in a terminal.

    scripts/terminal-picture.py VERGLE OUT.svg

Runs "vergle budget_v1.xlsx budget_v2.xlsx" on the bundled samples in a real
terminal (a private tmux server, 100 columns), captures the screen with its
colours and draws it as an SVG picture: one text run per stretch of equal
colour, placed on the terminal's grid (wide characters take two columns).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unicodedata
from xml.sax.saxutils import escape

COLS, ROWS = 100, 24
CELL_W, CELL_H, PAD = 9.6, 20, 14
PALETTE = {30: "#2e3436", 31: "#ef2929", 32: "#8ae234", 33: "#fce94f", 34: "#729fcf", 35: "#ad7fa8",
           36: "#34e2e2", 37: "#eeeeec"}
FG, BG = "#eeeeec", "#1e1e1e"


def capture(vergle, samples):
    work = tempfile.mkdtemp()
    sock = os.path.join(work, "sock")
    temp = os.path.join(work, "temp")
    os.mkdir(temp)
    command = f"cd '{samples}' && printf '$ vergle budget_v1.xlsx budget_v2.xlsx\\n' && " \
              f"TEMP='{temp}' '{vergle}' budget_v1.xlsx budget_v2.xlsx; sleep 30"
    env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")
    env.pop("NO_COLOR", None)
    tmux = ["tmux", "-S", sock, "-u", "-f", "/dev/null"]
    try:
        subprocess.run(tmux + ["new-session", "-d", "-x", str(COLS), "-y", str(ROWS), command], env=env, check=True)
        time.sleep(1.5)
        return subprocess.run(tmux + ["capture-pane", "-p", "-e"], env=env, check=True,
                              capture_output=True, text=True).stdout
    finally:
        subprocess.run(tmux + ["kill-server"], env=env, stderr=subprocess.DEVNULL)
        shutil.rmtree(work)


def runs(line, style):
    """(column, cells, text, fg, bold, reverse) for each stretch of one style;
    the style (a list: fg, bold, reverse) carries over from line to line, as
    the capture gives it."""
    fg, bold, rev = style
    col, out = 0, []
    for part in re.split(r"(\x1b\[[0-9;]*m)", line):
        if part.startswith("\x1b["):
            codes = [int(c) if c else 0 for c in part[2:-1].split(";")]
            for c in codes:
                if c == 0:
                    fg, bold, rev = None, False, False
                elif c == 1:
                    bold = True
                elif c == 7:
                    rev = True
                elif c == 27:
                    rev = False
                elif 30 <= c <= 37:
                    fg = c
                elif c == 39:
                    fg = None
            continue
        text = ""
        start = col
        for ch in part:
            w = 2 if unicodedata.east_asian_width(ch) in ("W", "F") else 1
            if text and (w == 2) != wide:
                out.append((start, col - start, text, fg, bold, rev))
                text, start = "", col
            wide = w == 2
            text += ch
            col += w
        if text:
            out.append((start, col - start, text, fg, bold, rev))
    style[:] = [fg, bold, rev]
    return out


def svg(screen):
    lines = screen.rstrip("\n").split("\n")
    while lines and not re.sub(r"\x1b\[[0-9;]*m", "", lines[-1]).strip():
        lines.pop()
    width, height = COLS * CELL_W + 2 * PAD, len(lines) * CELL_H + 2 * PAD
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width:.0f}" height="{height:.0f}" '
           f'font-family="DejaVu Sans Mono, Noto Sans Mono CJK JP, IPAGothic, monospace" font-size="15">',
           f'<rect width="100%" height="100%" rx="6" fill="{BG}"/>']
    style = [None, False, False]
    for row, line in enumerate(lines):
        y = PAD + row * CELL_H
        for col, cells, text, fg, bold, rev in runs(line, style):
            if not text.strip():
                continue
            x = PAD + col * CELL_W
            colour = PALETTE.get(fg, FG)
            if rev:
                out.append(f'<rect x="{x:.1f}" y="{y + 2}" width="{cells * CELL_W:.1f}" height="{CELL_H}" '
                           f'fill="{colour}"/>')
                colour = BG
            weight = ' font-weight="bold"' if bold else ""
            out.append(f'<text x="{x:.1f}" y="{y + 16}" fill="{colour}"{weight} textLength="{cells * CELL_W:.1f}" '
                       f'lengthAdjust="spacingAndGlyphs" xml:space="preserve">{escape(text)}</text>')
    out.append("</svg>")
    return "\n".join(out) + "\n"


def main():
    vergle, target = os.path.abspath(sys.argv[1]), sys.argv[2]
    samples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "samples")
    with open(target, "w", encoding="utf-8") as f:
        f.write(svg(capture(vergle, os.path.abspath(samples))))


if __name__ == "__main__":
    main()

# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the sample workbooks back with readers that share no code with ours.

check_books.py xlrd GENERATOR OUTDIR   texts, colours, borders, heights, widths via xlrd
check_books.py csv GENERATOR OUTDIR    texts via LibreOffice; exit 77 when it is missing
"""
import csv
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
TITLE_CIRCLE = "内容\u3000(26/12/07/１１ｍφ円形ラベル)"
TITLE_TUBE = "内容\u3000(26/12/07/１０ｍｍＸ３０ｍｍラベル)"
TUBE_TEXT = "ABCDEFG\r\n血清ABCDEF"
AUTOMATIC = (8, 64)  # black or the system's window text: a line without a colour of its own

failures = []


def expect(what, got, want):
    if got != want:
        failures.append("%s: got %r, want %r" % (what, got, want))


def check_cell_format(book, sheet, row, col, font, fill, line_colours):
    xf = book.xf_list[sheet.cell_xf_index(row, col)]
    name = "%s%d" % ("ABC"[col], row)
    if font is not None:
        expect(name + " font colour", book.font_list[xf.font_index].colour_index, font)
    if fill is None:
        expect(name + " fill pattern", xf.background.fill_pattern, 0)
    else:
        expect(name + " fill pattern", xf.background.fill_pattern, 1)
        expect(name + " fill colour", xf.background.pattern_colour_index, fill)
    b = xf.border
    for side in ("top", "bottom", "left", "right"):
        expect(name + " " + side + " style", getattr(b, side + "_line_style"), 1)
        colour = getattr(b, side + "_colour_index")
        if colour not in line_colours:
            failures.append("%s %s colour: got %r, want one of %r" % (name, side, colour, line_colours))


def check_geometry(sheet, what, data_twips, widths):
    expect(what + " row 0 height", sheet.rowinfo_map[0].height, 500)
    for r in range(1, sheet.nrows):
        expect("%s row %d height" % (what, r), sheet.rowinfo_map[r].height, data_twips)
        expect("%s row %d custom height" % (what, r), sheet.rowinfo_map[r].has_default_height, 0)
    for c, w in enumerate(widths):
        expect("%s column %d width" % (what, c), sheet.colinfo_map[c].width, w * 256)


def check_xlrd(out):
    import xlrd

    book = xlrd.open_workbook(os.path.join(out, "circle.xls"), formatting_info=True)
    expect("circle BIFF version", book.biff_version, 80)
    expect("circle sheets", book.nsheets, 1)
    sh = book.sheet_by_index(0)
    expect("circle size", (sh.nrows, sh.ncols), (4, 3))
    expect("circle headings", sh.row_values(0), ["文字", "数字", TITLE_CIRCLE])
    for r, number in enumerate(["0098", "0099", "0100"], start=1):
        expect("circle row %d" % r, sh.row_values(r), ["血清A", number, ""])
        for c in (0, 1):
            check_cell_format(book, sh, r, c, font=10, fill=9, line_colours=(30,))
        check_cell_format(book, sh, r, 2, font=None, fill=None, line_colours=AUTOMATIC)
    for c in range(3):
        check_cell_format(book, sh, 0, c, font=None, fill=None, line_colours=AUTOMATIC)
    check_geometry(sh, "circle", 400, (6, 10, 40))
    expect("red", book.colour_map[10], (255, 0, 0))
    expect("white", book.colour_map[9], (255, 255, 255))
    expect("sky blue", book.colour_map[30], (166, 202, 240))

    book = xlrd.open_workbook(os.path.join(out, "tube.xls"), formatting_info=True)
    sh = book.sheet_by_index(0)
    expect("tube size", (sh.nrows, sh.ncols), (401, 3))
    expect("tube headings", sh.row_values(0), ["上段", "下段", TITLE_TUBE])
    for r in range(1, 401):
        expect("tube row %d" % r, sh.row_values(r), [TUBE_TEXT, str(9989 + r), ""])
        for c in (0, 1):
            check_cell_format(book, sh, r, c, font=12, fill=13, line_colours=AUTOMATIC)
        check_cell_format(book, sh, r, 2, font=None, fill=None, line_colours=AUTOMATIC)
    expect("tube last number", sh.cell_value(400, 1), "10389")
    check_geometry(sh, "tube", 600, (15, 10, 40))
    expect("blue", book.colour_map[12], (0, 0, 255))
    expect("yellow", book.colour_map[13], (255, 255, 0))


def check_csv(out):
    office = shutil.which("soffice") or shutil.which("libreoffice")
    if not office:
        print("LibreOffice is not installed: skipped")
        return SKIP
    with tempfile.TemporaryDirectory() as home:
        for name, row0 in (("circle", ["文字", "数字", TITLE_CIRCLE]),
                           ("tube", ["上段", "下段", TITLE_TUBE])):
            subprocess.run([office, "-env:UserInstallation=file://" + home, "--headless",
                            "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1",
                            "--outdir", home, os.path.join(out, name + ".xls")],
                           check=True, env=dict(os.environ, HOME=home),
                           stdout=subprocess.DEVNULL)
            with open(os.path.join(home, name + ".csv"), encoding="utf-8", newline="") as f:
                rows = list(csv.reader(f))
            expect(name + " csv headings", rows[0] if rows else None, row0)
            expect(name + " csv rows", len(rows), 4 if name == "circle" else 401)
    return 0


def main():
    mode, generator, out = sys.argv[1:4]
    subprocess.run([generator, out], check=True)
    rc = check_xlrd(out) if mode == "xlrd" else check_csv(out)
    if rc == SKIP:
        return SKIP
    for f in failures[:40]:
        print("FAIL:", f)
    if failures:
        print("%d differences" % len(failures))
        return 1
    print("workbooks read back as written")
    return 0


if __name__ == "__main__":
    sys.exit(main())

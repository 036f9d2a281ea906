# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the sample workbooks back with xlrd and compares every cell with sample.py.

usage: check_xlrd.py export|strings FILE.xls
"""
import sys

import xlrd

sys.dont_write_bytecode = True  # keep the source tree clean
import sample  # noqa: E402

PALETTE = {8: (0, 0, 0), 9: (255, 255, 255), 10: (255, 0, 0), 11: (0, 255, 0),
           12: (0, 0, 255), 13: (255, 255, 0), 14: (255, 0, 255), 15: (0, 255, 255),
           22: (192, 192, 192), 30: (166, 202, 240)}

errors = []


def expect(what, got, wanted):
    if got != wanted:
        errors.append("%s: got %r, expected %r" % (what, got, wanted))


def open_book(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    expect("BIFF version", book.biff_version, 80)
    expect("sheet names", book.sheet_names(), ["Sheet1"])
    return book, book.sheet_by_index(0)


def check_export(path):
    book, sh = open_book(path)
    expect("rows", sh.nrows, sample.DATA_ROWS + 1)
    expect("columns", sh.ncols, 3)
    for code, rgb in PALETTE.items():
        expect("palette %d" % code, book.colour_map[code], rgb)
    for r in range(sh.nrows):
        where = "row %d" % r
        info = sh.rowinfo_map.get(r)
        if info is None:
            errors.append(where + ": no row record")
        else:
            expect(where + " height", info.height, sample.export_height_twips(r))
            expect(where + " custom height", info.height_mismatch, 1)
            expect(where + " default height", info.has_default_height, 0)
        for c in range(3):
            cell = "cell %d,%d" % (r, c)
            text = sample.export_text(r, c)
            expect(cell + " text", sh.cell_value(r, c), text)
            expect(cell + " type", sh.cell_type(r, c),
                   xlrd.XL_CELL_TEXT if text else xlrd.XL_CELL_BLANK)
            xf = book.xf_list[sh.cell_xf_index(r, c)]
            font_colour, fill, lines = sample.export_format(r, c)
            font = book.font_list[xf.font_index]
            expect(cell + " font colour", font.colour_index,
                   font_colour if font_colour is not None else 0x7FFF)
            bg = xf.background
            if fill is None:
                expect(cell + " fill pattern", bg.fill_pattern, 0)
            else:
                expect(cell + " fill pattern", bg.fill_pattern, 1)
                expect(cell + " fill colour", bg.pattern_colour_index, fill)
                expect(cell + " fill rgb", book.colour_map[bg.pattern_colour_index],
                       PALETTE[fill])
            b = xf.border
            got = [(b.top_line_style, b.top_colour_index),
                   (b.bottom_line_style, b.bottom_colour_index),
                   (b.left_line_style, b.left_colour_index),
                   (b.right_line_style, b.right_colour_index)]
            expect(cell + " borders", got, lines)
            expect(cell + " wrap", xf.alignment.text_wrapped, 1 if "\n" in text else 0)
    for c, width in enumerate(sample.WIDTHS):
        info = sh.colinfo_map.get(c)
        expect("column %d width" % c, info.width if info else None, width * 256)
    info = sh.colinfo_map.get(3)
    expect("column 3 width", info.width if info else None, 0)


def check_strings(path):
    book, sh = open_book(path)
    expect("rows", sh.nrows, sample.STRING_ROWS)
    expect("columns", sh.ncols, 3)
    for r in range(sh.nrows):
        for c in range(3):
            expect("cell %d,%d" % (r, c), sh.cell_value(r, c), sample.strings_text(r, c))


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("export", "strings"):
        print(__doc__, file=sys.stderr)
        return 2
    (check_export if sys.argv[1] == "export" else check_strings)(sys.argv[2])
    for e in errors[:50]:
        print(e, file=sys.stderr)
    if errors:
        print("%d mismatches" % len(errors), file=sys.stderr)
        return 1
    print("%s: all cells match" % sys.argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main())

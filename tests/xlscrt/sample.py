# SPDX-License-Identifier: GPL-3.0-or-later
"""What make_sample writes; the two must stay in step."""

DATA_ROWS = 400
STRING_ROWS = 3000
TEXTS = ["ABC", "ABCDEFG\r\nABCDEFGHIJ", "検体①ｹﾝﾀｲ", "", " ", "\r\n"]
FONT_CODES = [8, 10, 12, 11, 13, 14, 15, 9]
BACK_CODES = [9, 13, 30, 11, 22, 10, 15]
HEIGHTS = [15.0, 30.0, 20.0, 12.75]
WIDTHS = [15, 10, 40]
HEADINGS = ["上段", "下段", "内容　(26/12/07/１２ｍｍＸ２４ｍｍラベル)"]
AUTOMATIC = 64


def export_text(r, c):
    """Text of cell (r, c) of the export-like sample."""
    if r == 0:
        return HEADINGS[c]
    if c == 0:
        return TEXTS[r % 6]
    if c == 1:
        return "%04d" % (97 + r)
    return ""


def export_format(r, c):
    """(font colour, fill colour or None, [(style, colour)] top, bottom, left, right)."""
    if r == 0 or c == 2:
        lines = [(1, AUTOMATIC)] * 4
        if r == 1 and c == 2:
            lines[3] = (0, 0)
        return None, None, lines
    back = BACK_CODES[r % 7]
    framed = r % 3 == 0
    fill = 9 if framed else back
    line = (1, back) if framed else (1, AUTOMATIC)
    return FONT_CODES[r % 8], fill, [line] * 4


def export_height_twips(r):
    return 500 if r == 0 else round(HEIGHTS[r % 4] * 20)


def strings_text(r, c):
    """Text of cell (r, c) of the many-strings sample."""
    if c == 0:
        return "%d:0" % r
    if c == 1:
        return "%d:" % r + "検体" * (r % 50)
    return "%d:" % r + "x" * (r % 300)

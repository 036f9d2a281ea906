# SPDX-License-Identifier: GPL-3.0-or-later
"""Converts a sample workbook to CSV with LibreOffice and compares the cell texts with
sample.py. Exits 77 (reported as skipped) when LibreOffice is not installed.

usage: check_calc.py export|strings FILE.xls
"""
import csv
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source tree clean
import sample  # noqa: E402

SKIPPED = 77


def expected_rows(kind):
    if kind == "export":
        return [[sample.export_text(r, c) for c in range(3)]
                for r in range(sample.DATA_ROWS + 1)]
    return [[sample.strings_text(r, c) for c in range(3)] for r in range(sample.STRING_ROWS)]


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("export", "strings"):
        print(__doc__, file=sys.stderr)
        return 2
    kind, path = sys.argv[1], os.path.abspath(sys.argv[2])
    office = shutil.which("libreoffice") or shutil.which("soffice")
    if not office:
        print("LibreOffice is not installed: check skipped")
        return SKIPPED
    with tempfile.TemporaryDirectory() as home:
        # A private profile, so a running office or a read-only HOME does not interfere.
        env = dict(os.environ, HOME=home)
        subprocess.run([office, "-env:UserInstallation=file://" + home + "/profile",
                        "--headless", "--convert-to",
                        "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", home, path],
                       env=env, check=True, stdout=subprocess.DEVNULL, timeout=300)
        out = os.path.join(home, os.path.splitext(os.path.basename(path))[0] + ".csv")
        with open(out, newline="", encoding="utf-8") as f:
            rows = [row + [""] * (3 - len(row)) for row in csv.reader(f)]
    # Calc keeps a line break inside a cell as a lone LF.
    wanted = [[t.replace("\r\n", "\n") for t in row] for row in expected_rows(kind)]
    bad = [(r, got, want) for r, (got, want) in enumerate(zip(rows, wanted)) if got != want]
    if len(rows) != len(wanted):
        print("%d rows, expected %d" % (len(rows), len(wanted)), file=sys.stderr)
    for r, got, want in bad[:20]:
        print("row %d: got %r, expected %r" % (r, got, want), file=sys.stderr)
    if bad or len(rows) != len(wanted):
        return 1
    print("%s: LibreOffice reads all %d rows" % (path, len(rows)))
    return 0


if __name__ == "__main__":
    sys.exit(main())

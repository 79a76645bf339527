#!/usr/bin/env python3
"""Writes the benchmark's chart of accounts of N records as an Excel workbook
the way Excel stores one: the account numbers and captions in the shared
strings part, the balance, TRC and TCC as numbers. The parts are streamed into
the archive (no sheet is held). Prints the size of the shared strings part,
in bytes. Usage: generate_workbook.py FOLDER N"""
import os
import sys
import zipfile
from xml.sax.saxutils import escape

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PARTS = {
    "[Content_Types].xml":
        '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/'
        'content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.'
        'relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/'
        'workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
        '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.'
        'spreadsheetml.worksheet+xml"/><Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.'
        'openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>',
    "_rels/.rels":
        '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
        'relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
        'relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>',
    "xl/workbook.xml":
        f'<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="{MAIN}" xmlns:r="{REL}"><sheets>'
        '<sheet name="Chart" sheetId="1" r:id="rId1"/></sheets></workbook>',
    "xl/_rels/workbook.xml.rels":
        '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
        f'relationships"><Relationship Id="rId1" Type="{REL}/worksheet" Target="worksheets/sheet1.xml"/>'
        f'<Relationship Id="rId2" Type="{REL}/sharedStrings" Target="sharedStrings.xml"/></Relationships>',
}

folder, count = sys.argv[1], int(sys.argv[2])
path = os.path.join(folder, f"chart{count}.xlsx")
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as archive:
    for name, text in PARTS.items():
        archive.writestr(name, text)
    with archive.open("xl/sharedStrings.xml", "w", force_zip64=True) as part:
        part.write(f'<?xml version="1.0" encoding="UTF-8"?><sst xmlns="{MAIN}">'.encode())
        for header in ("Account", "Caption", "Balance", "TRC", "TCC"):
            part.write(f"<si><t>{header}</t></si>".encode())
        for i in range(count):
            number = 100000 + i
            part.write(f"<si><t>{number}</t></si><si><t>{escape(f'Account caption number {number} & co')}</t></si>"
                       .encode())
        part.write(b"</sst>")
    with archive.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as part:
        part.write(f'<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="{MAIN}"><sheetData>'.encode())
        part.write(b'<row r="1">' + b"".join(f'<c r="{c}1" t="s"><v>{k}</v></c>'.encode()
                                            for k, c in enumerate("ABCDE")) + b"</row>")
        for i in range(count):
            r = i + 2
            balance = (i * 37) % 1000000 / 100
            part.write(f'<row r="{r}"><c r="A{r}" t="s"><v>{5 + 2 * i}</v></c><c r="B{r}" t="s"><v>{6 + 2 * i}</v>'
                       f'</c><c r="C{r}"><v>{balance!r}</v></c><c r="D{r}"><v>{100 + i % 400}</v></c>'
                       f'<c r="E{r}"><v>{1 + i % 9}</v></c></row>'.encode())
        part.write(b"</sheetData></worksheet>")
with zipfile.ZipFile(path) as archive:
    print(archive.getinfo("xl/sharedStrings.xml").file_size)

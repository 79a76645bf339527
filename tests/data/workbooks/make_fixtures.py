#!/usr/bin/python3
# Writes the workbook fixtures of tests/readers/workbook_source_test.cpp, once:
# the .xlsx files by openpyxl (python3-openpyxl), and their "_lo" twins and
# the .xls by LibreOffice's headless converter (libreoffice-calc-nogui), which
# also computes the formulas' cached values that openpyxl leaves out. The
# fixtures are committed; the tests never run this.
#   cd tests/data/workbooks && /usr/bin/python3 make_fixtures.py
import datetime
import os
import shutil
import subprocess
import tempfile

from openpyxl import Workbook
from openpyxl.utils.datetime import CALENDAR_MAC_1904

LONG = "L" * 2700 + "Z"


def trial_balance():
    wb = Workbook()
    ws = wb.active
    ws.title = "Trial Balance"
    ws.append(["Account", "Caption", "Balance"])
    ws.append(["1000", "Cash  ", 15250])
    ws.append(["1100", "Receivables", 1234.5])
    ws.append(["2000", "Payables", -987.25])
    # Row 5 is left out: a missing row.
    ws["A6"] = "3000"
    ws["B6"] = "Caf\u00e9 \u20ac \u2713"
    ws["C6"] = 0.1 + 0.2
    ws["A7"] = "4000"
    ws["C7"] = 1e-7
    ws["A8"] = "5000"
    ws["B8"] = LONG
    ws["C8"] = 1.5e20
    # A styled empty row at the end holds no value.
    ws["A10"].number_format = "0.00"
    ws["A10"].value = None
    ws["D10"] = ""
    wb.save("trial_balance.xlsx")


def amounts():
    # Number cells whose decimals would pass for thousands groups in a
    # decimal-comma reading, and text cells written with a decimal comma.
    wb = Workbook()
    ws = wb.active
    ws.title = "Amounts"
    ws.append(["Account", "Caption", "Debit", "Credit"])
    ws.append(["1000", "Cash", 1.234, None])
    ws.append(["1100", "Stock", 1234.567, 0.125])
    ws.append(["1200", "Written", "1.234,50", "(12,5)"])
    ws.append(["1300", "Whole", 15250, None])
    wb.save("amounts.xlsx")


def chart_dates(path, epoch=None):
    wb = Workbook()
    if epoch:
        wb.epoch = epoch
    ws = wb.active
    ws.title = "Chart"
    ws.append(["Account", "Opened", "Closed at", "Custom", "Time", "Clock", "Plain"])
    d = datetime.datetime(2024, 3, 31)
    dt = datetime.datetime(2023, 12, 1, 14, 5, 30)
    row = ["1000", d, dt, d, datetime.time(8, 30, 15), 0.75, 45382]
    ws.append(row)
    ws["B2"].number_format = "mm-dd-yy"          # built-in 14
    ws["C2"].number_format = "m/d/yy h:mm"       # built-in 22
    ws["D2"].number_format = 'yyyy"-"mm"-"dd'    # custom date
    ws["E2"].number_format = "h:mm:ss"           # built-in 21
    ws["F2"].number_format = "[h]:mm"            # custom time
    ws.append(["1900", datetime.datetime(1900, 2, 28), None, datetime.datetime(1900, 3, 1)])
    ws["B3"].number_format = "mm-dd-yy"
    ws["D3"].number_format = "d-mmm-yy"
    wb.save(path)


def mixed():
    wb = Workbook()
    ws = wb.active
    ws.title = "Accounts"
    ws.append(["Flag", "Amount", "Twice", "Text", "Error"])
    ws.append([True, 10, "=B2*2", '=A2&"x"', "#N/A"])
    ws.append([False, 2.5, "=B3*2", "", "#DIV/0!"])
    ws.merge_cells("A4:C4")
    ws["A4"] = "Merged heading"
    ws["D4"] = "after"
    notes = wb.create_sheet("Notes")
    notes["B2"] = "second sheet"
    totals = wb.create_sheet("Totals")
    totals["A1"] = "third"
    wb.save("mixed.xlsx")


def amounts_as_text(path, rows):
    """A sheet "Balances" of text cells (amounts as accounting software
    writes them), written part by part (inline strings, no styles)."""
    import zipfile
    main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
    rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
    cells = ""
    for r, row in enumerate(rows, 1):
        cells += '<row r="%d">' % r + "".join(
            '<c r="%s%d" t="inlineStr"><is><t>%s</t></is></c>' % ("ABC"[c], r, v) for c, v in enumerate(row)) + "</row>"
    parts = {
        "[Content_Types].xml": '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                               '<Default Extension="xml" ContentType="application/xml"/></Types>',
        "xl/workbook.xml": '<workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="Balances" sheetId="1" '
                           'r:id="rId1"/></sheets></workbook>' % (main, rel),
        "xl/_rels/workbook.xml.rels": '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
                                      'relationships"><Relationship Id="rId1" Type="%s/worksheet" '
                                      'Target="worksheets/sheet1.xml"/></Relationships>' % rel,
        "xl/worksheets/sheet1.xml": '<worksheet xmlns="%s"><sheetData>%s</sheetData></worksheet>' % (main, cells),
    }
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in parts.items():
            info = zipfile.ZipInfo(name, (2026, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, text)


def convert(source, target_ext, target):
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(["soffice", "--headless", "--convert-to", target_ext, "--outdir", out, source],
                       check=True, stdout=subprocess.DEVNULL)
        produced = os.path.join(out, os.path.splitext(os.path.basename(source))[0] + "." + target_ext.split(":")[0])
        shutil.move(produced, target)


if __name__ == "__main__":
    trial_balance()
    amounts()
    chart_dates("chart_dates.xlsx")
    chart_dates("chart_dates_1904.xlsx", CALENDAR_MAC_1904)
    mixed()
    amounts_as_text("amounts_as_text.xlsx", [["Acct", "Desc", "Amount"], ["1000", "Cash", "1,500"],
                                             ["2000", "Payables", "(1,000)"], ["3000", "Equity", "(500)"]])
    # More rows than suggest tries: their sum says nothing of the sheet's.
    amounts_as_text("many_rows.xlsx", [["Acct", "Desc", "Amount"]] + [[str(1000 + i), "Cash", "1"] for i in range(250)])
    convert("trial_balance.xlsx", "xlsx", "trial_balance_lo.xlsx")
    convert("mixed.xlsx", "xlsx", "mixed_lo.xlsx")
    convert("chart_dates.xlsx", "xlsx", "chart_dates_lo.xlsx")
    convert("trial_balance.xlsx", "xls", "trial_balance.xls")
    convert("chart_dates.xlsx", "xls", "chart_dates.xls")
    convert("mixed_lo.xlsx", "xls", "mixed.xls")

#!/usr/bin/env python3
"""The script a user would otherwise write for a workbook: openpyxl's
read-only iteration of the chart's sheet, each value written as the engine
writes it (numbers as their shortest decimal text), into the same XML with
xml.etree.ElementTree. Usage: python_workbook_baseline.py FILE.xlsx OUT"""
import sys
import xml.etree.ElementTree as ET

from openpyxl import load_workbook


def text(value):
    if value is None:
        return ""
    if isinstance(value, float):
        return str(int(value)) if value.is_integer() else repr(value)
    return str(value).rstrip()


source, out = sys.argv[1], sys.argv[2]
root = ET.Element("FCOA", OBJID="1")
names = ["Account_Number", "Account_Caption", "Account_Balance", "TRC", "TCC"]
book = load_workbook(source, read_only=True)
for line, row in enumerate(book.worksheets[0].iter_rows(values_only=True)):
    if line == 0:
        continue
    record = ET.SubElement(root, "COAS", Line=str(line))
    for name, value in zip(names, row):
        ET.SubElement(record, name).text = text(value).replace("&", "&amp;")
ET.ElementTree(root).write(out, encoding="utf-8")
book.close()

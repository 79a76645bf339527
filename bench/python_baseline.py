#!/usr/bin/env python3
"""The script a user would otherwise write: the same chart mapping with the
csv module and xml.etree.ElementTree. Usage: python_baseline.py FILE.csv OUT"""
import csv
import sys
import xml.etree.ElementTree as ET

source, out = sys.argv[1], sys.argv[2]
root = ET.Element("FCOA", OBJID="1")
names = ["Account_Number", "Account_Caption", "Account_Balance", "TRC", "TCC"]
with open(source, newline="", encoding="cp1252") as f:
    for line, row in enumerate(csv.reader(f)):
        if line == 0:
            continue
        record = ET.SubElement(root, "COAS", Line=str(line))
        for name, value in zip(names, row):
            ET.SubElement(record, name).text = value.strip().replace("&", "&amp;")
ET.ElementTree(root).write(out, encoding="utf-8")

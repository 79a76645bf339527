#!/usr/bin/env python3
"""Writes a template store of N chart-of-accounts templates, each placing the
five columns of the benchmark's chart in another order or from another line,
with header captions for some. Usage: generate_templates.py FOLDER N"""
import itertools
import os
import sys

folder, count = sys.argv[1], int(sys.argv[2])
os.makedirs(folder, exist_ok=True)
items = ["Account_Number", "Account_Caption", "Account_Balance", "TRC", "TCC"]
captions = ["ACCOUNT", "CAPTION", "BALANCE", "TRC", "TCC"]
orders = list(itertools.permutations(range(5)))
with open(os.path.join(folder, "import.ini"), "w", newline="") as f:
    names = []
    for n in range(count):
        name = f"T{n:04d}"
        names.append(name)
        order = orders[n % len(orders)]
        start = 1 + (n // len(orders)) % 3
        f.write(f"[Import:{name}]\nInfo=COA\nFsiType=FEDERAL\n")
        for item, column in zip(items, order):
            f.write(f"{item}={column} {start} 0\n")
        if n % 2 == 0:
            f.write("Headers=" + "|".join(captions[c] for c in sorted(order)) + "\n")
    f.write("[Import:Layout]\n")
    for i, name in enumerate(names, 1):
        f.write(f"{i}={name}\n")

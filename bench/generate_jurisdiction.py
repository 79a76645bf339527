#!/usr/bin/env python3
"""Writes the jurisdiction benchmark inputs: the same balances by jurisdiction
as a tabular file (a header row naming the jurisdictions, one column each) and
as a listed file (a record line followed by one indented line per
jurisdiction), plus the state list and the category types they are read with.
Usage: generate_jurisdiction.py FOLDER ROWS JURISDICTIONS
Writes FOLDER/tabular.csv, listed.csv, states.txt and category_types.txt."""
import itertools
import os
import string
import sys

folder, rows, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
os.makedirs(folder, exist_ok=True)

# Two-letter keys AA, AB, ... in a fixed order; 60 by default.
keys = ["".join(p) for p in itertools.product(string.ascii_uppercase, repeat=2)][:count]
types = ["Income", "Deduction", "Credit"]

# A pool of amounts, read in a stride that does not repeat row to row, keeps
# the data varied without formatting millions of numbers one by one.
POOL = 9973
amounts = []
for k in range(POOL):
    value = (k * k * 7919 + k * 104729) % 2000003 - 600000
    amounts.append(str(value // 100) if k % 11 == 0 else f"{value / 100:.2f}")


def descriptive(i):
    # Some captions need XML escaping and some carry a quoted comma, as
    # exported spreadsheets do.
    category = f"Sales & Use {i % 97}" if i % 5 == 0 else f"Category {i % 211}"
    subcategory = f'"Lab, Phase {i % 7}"' if i % 9 == 0 else f"Sub {i % 13}"
    return f"{types[i % 3]},{category},{subcategory}"


def row_amounts(i):
    start = (i * 61) % POOL
    picked = amounts[start:start + count]
    if len(picked) < count:
        picked += amounts[:count - len(picked)]
    return picked


BATCH = 2000  # rows joined per write, to keep the number of writes small

with open(os.path.join(folder, "tabular.csv"), "w", newline="") as f:
    f.write("Type,Category,Subcategory," + ",".join(keys) + "\n")
    for base in range(0, rows, BATCH):
        f.write("".join(descriptive(i) + "," + ",".join(row_amounts(i)) + "\n"
                        for i in range(base, min(rows, base + BATCH))))

indents = [f"  {key}," for key in keys]
with open(os.path.join(folder, "listed.csv"), "w", newline="") as f:
    for base in range(0, rows, BATCH):
        parts = []
        for i in range(base, min(rows, base + BATCH)):
            parts.append(descriptive(i) + "\n")
            parts.append("".join(a + b + "\n" for a, b in zip(indents, row_amounts(i))))
        f.write("".join(parts))

with open(os.path.join(folder, "states.txt"), "w", newline="") as f:
    f.write("state," + ",".join(keys) + "\n")
with open(os.path.join(folder, "category_types.txt"), "w", newline="") as f:
    f.write(",".join(types) + "\n")

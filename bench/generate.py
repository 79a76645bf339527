#!/usr/bin/env python3
"""Writes the benchmark inputs: a chart of accounts of N records as
comma-separated, DIF and fixed-width files, and the template store that maps
them. Usage: generate.py FOLDER N [csv]   (csv: the comma-separated file only)"""
import os
import sys

folder, count = sys.argv[1], int(sys.argv[2])
only_csv = len(sys.argv) > 3 and sys.argv[3] == "csv"
os.makedirs(folder, exist_ok=True)


def records():
    for i in range(count):
        number = 100000 + i
        yield (str(number), f"Account caption number {number} & co", f"{(i * 37) % 1000000 / 100:.2f}",
               str(100 + i % 400), str(1 + i % 9))


with open(os.path.join(folder, f"chart{count}.csv"), "w", newline="") as f:
    f.write("Account,Caption,Balance,TRC,TCC\n")
    for r in records():
        f.write(",".join(r) + "\n")

if only_csv:
    sys.exit(0)

with open(os.path.join(folder, f"chart{count}.txt"), "w", newline="") as f:
    for r in records():
        f.write(f"{r[0]:<8}{r[1]:<40}{r[2]:>12} {r[3]:<5}{r[4]:<3}\n")

with open(os.path.join(folder, f"chart{count}.dif"), "w", newline="") as f:
    f.write(f'TABLE\n0,1\n""\nVECTORS\n0,5\n""\nTUPLES\n0,{count + 1}\n""\nDATA\n0,0\n""\n')
    f.write('-1,0\nBOT\n1,0\n"Account"\n1,0\n"Caption"\n1,0\n"Balance"\n1,0\n"TRC"\n1,0\n"TCC"\n')
    for r in records():
        f.write(f'-1,0\nBOT\n0,{r[0]}\nV\n1,0\n"{r[1]}"\n0,{r[2]}\nV\n0,{r[3]}\nV\n0,{r[4]}\nV\n')
    f.write("-1,0\nEOD\n")

with open(os.path.join(folder, "import.ini"), "w", newline="") as f:
    f.write("[Import:BENCH]\nInfo=COA\nFsiType=FEDERAL\nCompany_Number=0 0 0\nAccount_Number=0 2 0\n"
            "Account_Caption=1 2 0\nAccount_Balance=2 2 0\nTRC=3 2 0\nTCC=4 2 0\nAccount_Type=0 0 0\n"
            "SIC_Code=0 0 0\nActivity_Number=0 0 0\nActivity_Name=0 0 0\n"
            "[Import:BENCHPRN]\nInfo=COA\nFsiType=FEDERAL\nCompany_Number=0 0 0\nAccount_Number=0 8 0\n"
            "Account_Caption=8 40 0\nAccount_Balance=48 12 0\nTRC=61 5 0\nTCC=66 3 0\nAccount_Type=0 0 0\n"
            "SIC_Code=0 0 0\nActivity_Number=0 0 0\nActivity_Name=0 0 0\n"
            "[Import:Layout]\n1=BENCH\n2=BENCHPRN\n")

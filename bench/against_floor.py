#!/usr/bin/env python3
"""Times a streamed read and its floor in alternation; prints the best of each.

Usage: against_floor.py RUNS OUTPUT INPUT -- CMD...
CMD writes its text into OUTPUT (a file on the memory file system). Each of
RUNS rounds runs, one after the other: CMD; `cat INPUT`, which reads the data
file as the read must; and `dd` copying the text CMD wrote into a new file
beside OUTPUT in 1 MiB pieces, which writes it as the read must. The floor of
a round is the cat plus the dd. Taking the three in turn, round by round,
lets the read and its floor meet the same state of the machine (its page
cache, its free memory, its neighbours), which drifts over seconds here; a
floor measured apart from its read moved by 10 to 40% from run to run.
Prints "read_seconds peak_kb floor_seconds": the best CPU time (user +
system) of the read and that run's peak memory, and the best cat plus the
best dd. Fails when a run fails.
"""
import os
import shutil
import sys

import cputime


def run(cmd, fresh=None):
    """The CPU time and peak memory of one run of cmd, its output discarded;
    `fresh` is removed first, outside the timing."""
    if fresh and os.path.exists(fresh):
        os.remove(fresh)
    return cputime.run(cmd)


def main():
    args = sys.argv[1:]
    if len(args) < 5 or args[3] != "--":
        sys.exit(__doc__)
    runs, output, data, cmd = int(args[0]), args[1], args[2], args[4:]
    folder = os.path.dirname(os.path.abspath(output))
    text, copy = os.path.join(folder, "floor-text"), os.path.join(folder, "floor-copy")
    run(cmd, output)
    shutil.copyfile(output, text)
    best_read, best_cat, best_dd = None, None, None
    try:
        for _ in range(runs):
            t = run(cmd, output)
            if best_read is None or t[0] < best_read[0]:
                best_read = t
            c, _ = run(["cat", data])
            d, _ = run(["dd", f"if={text}", f"of={copy}", "bs=1M"], copy)
            best_cat = c if best_cat is None else min(best_cat, c)
            best_dd = d if best_dd is None else min(best_dd, d)
    finally:
        for path in (text, copy):
            if os.path.exists(path):
                os.remove(path)
    print(f"{best_read[0]:.6f} {best_read[1]} {best_cat + best_dd:.6f}")


if __name__ == "__main__":
    main()

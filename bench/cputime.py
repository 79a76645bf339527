#!/usr/bin/env python3
"""Runs a command several times; prints the best CPU time and that run's peak memory.

Usage: cputime.py RUNS [--fresh PATH] [--stdout PATH] [--stderr PATH] [--stdin PATH] -- CMD...
Prints "seconds peak_kb": user + system time of the best run, in seconds with
microseconds (finer than /usr/bin/time's hundredths), and its peak resident
memory. --fresh removes PATH before each run, outside the timed process, so
that a run does not pay for freeing the previous run's output. Standard output
goes to --stdout PATH and standard error to --stderr PATH (default
/dev/null for both); --stdin PATH is fed to its standard input. Fails when a run fails, with the start of its errors.
"""
import os
import sys


def run(cmd, stdin=os.devnull, stdout=os.devnull, stderr=os.devnull):
    """One run of cmd: its CPU time (user + system) and peak memory. Ends the
    script, with the start of the errors kept in stderr, when the run fails."""
    with open(stdout, "wb") as out, open(stderr, "wb") as err, open(stdin, "rb") as inp:
        pid = os.fork()
        if pid == 0:
            os.dup2(inp.fileno(), 0)
            os.dup2(out.fileno(), 1)
            os.dup2(err.fileno(), 2)
            try:
                os.execvp(cmd[0], cmd)
            finally:
                os._exit(127)
        _, status, usage = os.wait4(pid, 0)
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        said = ""
        if stderr != os.devnull:
            with open(stderr, "rb") as err:
                said = err.read(300).decode("utf-8", "replace")
        sys.exit(f"failed: {' '.join(cmd)} (exit {code}) {said}")
    return usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def main():
    args = sys.argv[1:]
    runs = int(args.pop(0))
    fresh = None
    stdout = os.devnull
    stderr = os.devnull
    stdin = os.devnull
    while args and args[0] != "--":
        flag = args.pop(0)
        if flag == "--fresh":
            fresh = args.pop(0)
        elif flag == "--stdout":
            stdout = args.pop(0)
        elif flag == "--stderr":
            stderr = args.pop(0)
        elif flag == "--stdin":
            stdin = args.pop(0)
        else:
            sys.exit(f"cputime.py: unknown option {flag}")
    cmd = args[1:]
    best = None
    for _ in range(runs):
        if fresh and os.path.exists(fresh):
            os.remove(fresh)
        t = run(cmd, stdin, stdout, stderr)
        if best is None or t[0] < best[0]:
            best = t
    print(f"{best[0]:.6f} {best[1]}")


if __name__ == "__main__":
    main()

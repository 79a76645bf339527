#!/usr/bin/env python3
"""Runs an installed `zephrinimport serve` and checks, over 127.0.0.1 only:
the start page comes from the installed web folder, the token travels in the
X-Zephrin-Token header (or the ?token= query), and /rpc answers a request and
refuses a batch with its exact error.

Usage: serve_check.py PROGRAM MARKER
"""
import subprocess
import sys
import urllib.error
import urllib.parse
import urllib.request


def fetch(url, token=None, body=None):
    headers = {"Content-Type": "application/json"} if body is not None else {}
    if token:
        headers["X-Zephrin-Token"] = token
    request = urllib.request.Request(url, data=body, headers=headers)
    try:
        with urllib.request.urlopen(request, timeout=10) as response:
            return response.status, response.read().decode()
    except urllib.error.HTTPError as e:
        return e.code, e.read().decode()


def main():
    program, marker = sys.argv[1], sys.argv[2]
    server = subprocess.Popen([program, "serve"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    failures = []
    try:
        line = server.stdout.readline().strip()
        prefix = "zephrinimport serve: open "
        if not line.startswith(prefix):
            raise SystemExit(f"FAIL: serve printed {line!r}")
        address = urllib.parse.urlsplit(line[len(prefix):])
        token = urllib.parse.parse_qs(address.query)["token"][0]
        base = f"http://127.0.0.1:{address.port}"

        def check(name, got, expected):
            if got != expected:
                failures.append(f"{name}: expected {expected!r}, got {got!r}")
            else:
                print(f"ok: {name}")

        status, page = fetch(base + "/", token=token)
        check("start page with the token header", (status, marker in page), (200, True))
        status, page = fetch(base + "/?token=" + token)
        check("start page with the token query", (status, marker in page), (200, True))
        status, _ = fetch(base + "/")
        check("start page without a token", status, 403)
        status, _ = fetch(base + "/", token="0" * 32)
        check("start page with a wrong token", status, 403)
        request = b'{"jsonrpc":"2.0","id":1,"method":"SetCurrentYear","params":[2025]}'
        check("rpc with the token header", fetch(base + "/rpc", token=token, body=request),
              (200, '{"jsonrpc":"2.0","id":1,"result":{"value":null,"status":0,"messages":[]}}'))
        batch = b'[' + request + b',' + request + b']'
        check("rpc batch refused", fetch(base + "/rpc", token=token, body=batch),
              (200, '{"jsonrpc":"2.0","id":null,"error":{"code":-32600,"message":"Invalid request: not a JSON object"}}'))
    finally:
        server.terminate()
        server.wait(timeout=10)
    for f in failures:
        print("FAIL: " + f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

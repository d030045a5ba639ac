#!/usr/bin/env python3
"""Writes portfolios as another program would, from the published layout of
the format alone (none of Tarvel's code), and holds tarvel-cli to them:
check finds no problem, list and export read every security back.

The writer takes the liberties the published layout leaves open: the
autorun flag set, symbols padded with zeros or spaces, a price file header
holding nothing but its count, descriptions in its own order, five and seven
field securities, and securities past 255 in XMASTER.

Usage: independent_portfolio.py TARVEL_CLI
"""
import json
import math
import os
import struct
import subprocess
import sys
import tempfile


def mbf(value):
    """A float as the four bytes of Microsoft Binary Format."""
    if value == 0:
        return b"\0\0\0\0"
    mantissa, exponent = math.frexp(abs(value))  # 0.5 <= mantissa < 1
    bits = int(round(mantissa * (1 << 24)))
    if bits == 1 << 24:
        bits >>= 1
        exponent += 1
    bits &= 0x7FFFFF
    if value < 0:
        bits |= 0x800000
    return struct.pack("<I", bits)[:3] + bytes([exponent + 128])


def stored_date(y, m, d):
    return mbf((y - 1900) * 10000 + m * 100 + d)


def days(count, start_year=2023):
    out, y, m, d = [], start_year, 1, 3
    while len(out) < count:
        out.append((y, m, d))
        d += 1
        if d > 28:
            d, m = 1, m + 1
            if m > 12:
                m, y = 1, y + 1
    return out


FIELDS = ["DATE", "OPEN", "HIGH", "LOW", "CLOSE", "VOL", "OI"]
BITS = {"DATE": 1, "HIGH": 2, "LOW": 4, "CLOSE": 8, "VOL": 16, "OPEN": 32, "OI": 64}


def price_file(fields, rows):
    """Header: zero but for the record count (rows + 1) in bytes 2-3."""
    length = 4 * len(fields)
    data = bytearray(length)
    data[2:4] = struct.pack("<H", len(rows) + 1)
    for i, (y, m, d) in enumerate(rows):
        values = {"DATE": None, "OPEN": 10 + i, "HIGH": 12 + i, "LOW": 9 + i, "CLOSE": 11.5 + i,
                  "VOL": 1000 * (i + 1), "OI": 7}
        for f in fields:
            data += stored_date(y, m, d) if f == "DATE" else mbf(values[f])
    return bytes(data)


def padded(text, width, fill):
    raw = text.encode("ascii")
    return raw + fill * (width - len(raw))


def write_portfolio(folder, securities):
    """securities: (symbol, name, fields, rows) in file number order."""
    os.makedirs(folder, exist_ok=True)
    in_master = securities[:255]
    extra = securities[255:]
    master = bytearray(53)
    master[0:2] = struct.pack("<H", len(in_master))
    master[2:4] = struct.pack("<H", len(in_master))
    emaster = bytearray(192)
    emaster[0:2] = struct.pack("<H", len(in_master))
    emaster[2:4] = struct.pack("<H", len(in_master))
    for n, (symbol, name, fields, rows) in enumerate(in_master, start=1):
        first, last = rows[0], rows[-1]
        r = bytearray(53)
        r[0] = n
        r[1:3] = b"\x65\x00"
        r[3] = 4 * len(fields)
        r[4] = len(fields)
        r[7:23] = padded(name[:16], 16, b" ")
        r[25:29] = stored_date(*first)
        r[29:33] = stored_date(*last)
        r[33] = ord("D")
        r[36:50] = padded(symbol, 14, b" ")
        r[50] = ord(" ")
        r[51] = ord("*" if n % 2 else " ")  # the autorun flag
        master += r
        e = bytearray(192)
        e[0:2] = b"66"
        e[2] = n
        e[6] = len(fields)
        e[7] = sum(BITS[f] for f in fields)
        e[9] = ord("*" if n % 2 else " ")
        e[11:25] = padded(symbol, 14, b"\0")
        e[32:48] = padded(name[:16], 16, b"\0")
        e[60] = ord("D")
        e[64:68] = struct.pack("<f", (first[0] - 1900) * 10000 + first[1] * 100 + first[2])
        e[72:76] = struct.pack("<f", (last[0] - 1900) * 10000 + last[1] * 100 + last[2])
        e[126:130] = struct.pack("<i", first[0] * 10000 + first[1] * 100 + first[2])
        e[139:139 + len(name)] = name.encode("ascii")
        emaster += e
        with open(os.path.join(folder, "F%d.DAT" % n), "wb") as f:
            f.write(price_file(fields, rows))
        with open(os.path.join(folder, "F%d.DOP" % n), "wb") as f:
            f.write("".join('"%s",%d,%d\r\n' % (x, 0 if x == "DATE" else 4, 0 if x == "DATE" else 4)
                            for x in fields).encode())
    with open(os.path.join(folder, "MASTER"), "wb") as f:
        f.write(master)
    with open(os.path.join(folder, "EMASTER"), "wb") as f:
        f.write(emaster)
    if extra:
        x = bytearray(150)
        x[0:4] = b"\x5d\xfeXM"
        x[10:12] = struct.pack("<H", len(extra))
        x[14:16] = struct.pack("<H", len(extra))
        x[18:20] = struct.pack("<H", 256 + len(extra))
        for i, (symbol, name, fields, rows) in enumerate(extra):
            n = 256 + i
            first, last = rows[0], rows[-1]
            r = bytearray(150)
            r[0] = 1
            r[1:15] = padded(symbol, 14, b"\0")
            r[16:16 + len(name)] = name.encode("ascii")
            r[62] = ord("D")
            r[65:67] = struct.pack("<H", n)
            r[70] = sum(BITS[f] for f in fields)
            day = lambda t: t[0] * 10000 + t[1] * 100 + t[2]
            r[80:84] = struct.pack("<i", day(first))
            r[104:108] = struct.pack("<i", day(first))
            r[108:112] = struct.pack("<i", day(first))
            r[116:120] = struct.pack("<i", day(last))
            x += r
            with open(os.path.join(folder, "F%d.MWD" % n), "wb") as f:
                f.write(price_file(fields, rows))
        with open(os.path.join(folder, "XMASTER"), "wb") as f:
            f.write(x)


def main():
    cli = sys.argv[1]
    layouts = [FIELDS, ["DATE", "HIGH", "LOW", "CLOSE", "VOL"], FIELDS[:6], ["DATE", "OPEN", "HIGH", "LOW", "CLOSE", "VOL", "OI"]]
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        for label, count in (("small", 4), ("into XMASTER", 258)):
            securities = []
            for i in range(count):
                fields = layouts[i % len(layouts)]
                securities.append(("IND%d" % i, "Independent number %d" % i, fields, days(5 + i % 40)))
            folder = os.path.join(scratch, label.replace(" ", "-"))
            write_portfolio(folder, securities)
            check = subprocess.run([cli, "check", folder], capture_output=True, text=True)
            problems = [line for line in check.stdout.splitlines()[:-1] if ": warning: " not in line]
            if check.returncode != 0 or problems:
                failures.append("%s: check says %s" % (label, check.stdout + check.stderr))
            listed = subprocess.run([cli, "list", folder, "--json"], capture_output=True, text=True)
            rows = json.loads(listed.stdout) if listed.returncode == 0 else []
            got = [(s["symbol"], s["number"], s["records"]) for s in rows]
            want = [(s[0], n if n <= 255 else n, len(s[3])) for n, s in enumerate(securities, start=1)]
            want = [(sym, (i + 1) if i < 255 else 256 + i - 255, r) for i, (sym, _, r) in enumerate(want)]
            if got != want:
                failures.append("%s: list reads %s" % (label, got[:5]))
            for symbol, _, fields, rows_ in (securities[0], securities[-1]):
                exported = subprocess.run([cli, "export", folder, symbol], capture_output=True, text=True)
                lines = exported.stdout.splitlines()
                y, m, d = rows_[0]
                first = "%04d-%02d-%02d" % (y, m, d)
                if exported.returncode != 0 or len(lines) != len(rows_) + 1 or not lines[1].startswith(first):
                    failures.append("%s: export %s gives %s" % (label, symbol, lines[:2]))
                elif "11.5" not in lines[1]:
                    failures.append("%s: export %s reads the close as %s" % (label, symbol, lines[1]))
    for failure in failures:
        print(failure)
    print("independent portfolios: %s" % ("FAILED" if failures else "read without a false problem"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

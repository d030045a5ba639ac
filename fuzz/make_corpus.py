#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def mbf(value):
    """The 4-byte stored number of a float."""
    if value == 0:
        return b"\0\0\0\0"
    b = struct.pack("<f", value)
    sign = b[3] & 0x80
    exponent = ((b[3] << 1) | (b[2] >> 7)) & 0xFF
    return bytes([b[0], b[1], (b[2] & 0x7F) | sign, exponent + 2])


def record(number, symbol, name, fields=7, first=1000105.0, last=1000106.0):
    r = bytearray(53)
    r[0] = number
    r[1:3] = b"\x65\x00"
    r[3] = 4 * fields
    r[4] = fields
    r[7:23] = name.encode().ljust(16)[:16]
    r[25:29] = mbf(first)
    r[29:33] = mbf(last)
    r[33] = ord("D")
    r[36:52] = symbol.encode().ljust(16)[:16]
    return bytes(r)


def dir_record(number, name):
    r = bytearray(53)
    r[0] = number
    r[7:23] = (name.ljust(11) + "<DIR>").encode()
    return bytes(r)


def master(records, count=None):
    n = len(records) if count is None else count
    return struct.pack("<hh", n, n) + bytes(49) + b"".join(records)


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


for i, text in enumerate([b"010500", b"01/05/00", b"2000-1-5", b"20000105", b'"010500"', b" 1/5/2000",
                          b"12/06/26", b"02/29/2100", b"013200"]):
    write("fuzz_date_text", "seed%d" % i, text)

for i, row in enumerate([b",010500,25.5,26.25,25,26,12000\r\n", b"\t20240102\t48.00\t48.12\t46.95\t47.47\t11700\n",
                         b" 1/5/2000 1e39 -1e39 nan inf 1e-40", b",,,,a,,b,,", b",\"010500\",x,1.5e3,-2"]):
    write("fuzz_row", "seed%d" % i, row)

acme = open(os.path.join(HERE, "..", "examples", "acme-daily.csv"), "rb").read()
wheat = open(os.path.join(HERE, "..", "examples", "wheat-futures.txt"), "rb").read()
write("fuzz_convert", "acme", bytes([3 * 8 + 0x80 + 1]) + acme[:600])
write("fuzz_convert", "wheat", bytes([3 * 7 + 1]) + wheat[:600])
write("fuzz_convert", "mmddyy", bytes([3 * 9]) + b"010500,25.5,26.25,25,26,12000,5\n010600,1,2,3,4,5,6\n")
write("fuzz_convert", "header", bytes([3 * 9]) + b"Date,Open\n\n133100,1\n")

# fuzz_detect: the first bytes of files in the shapes Tarvel detects.
SHAPES = os.path.join(HERE, "..", "tests", "data", "shapes")
for name in sorted(os.listdir(SHAPES)):
    if not name.endswith(".expected"):
        write("fuzz_detect", name, open(os.path.join(SHAPES, name), "rb").read()[:1500])
write("fuzz_detect", "acme", acme[:1500])

top = master([record(1, "IBM", "INTL BUSINESS"), dir_record(2, "SUB"), record(3, "BRK A", "BERKSHIRE")])
sub = master([record(1, "XOM", "EXXON"), dir_record(2, "DEEP"), dir_record(3, "LOOP")])
deep = master([record(4, "AAPL", "APPLE")])
n = max(len(top), len(sub), len(deep))
write("fuzz_find_security", "tree", b"\x03" + top.ljust(n, b"\0") + sub.ljust(n, b"\0") + deep.ljust(n, b"\0"))
write("fuzz_find_security", "short", b"\x05" + master([record(1, "A", "B")], count=200))

write("fuzz_import_ini", "basic", b"[Setting]\nDateCol=3\nDateFormat = MMDDYY\n[Screen]\r\nx=10\n;c=1\n")
write("fuzz_import_ini", "long", b"[Convert]\nName=" + b"v" * 600 + b"\n[ Setting ]junk\nA=B\n")

m = master([record(1, "IBM", "INTL BUSINESS", fields=3)])
dat = struct.pack("<hh", 0, 3) + struct.pack("<hh", 0, 1) * 2 + (mbf(1000105.0) + mbf(26.0) + mbf(100.0)) * 2
dop = b'"DATE",0,0\r\n"CLOSE",4,4\r\n"VOL",4,4\r\n'
# The target cuts MASTER by the first two bytes, then gives F1.DAT three quarters of the rest.
write("fuzz_cli_readers", "one", bytes([len(m) // 53, len(m) % 53]) + m + dat + dop)

# fuzz_portfolio: damage MASTER whole, then by (offset, value) pairs; the same for F1.DAT.
write("fuzz_portfolio", "master-short", b"\x00" + master([record(1, "AAA", "AAA")], count=3))
write("fuzz_portfolio", "master-pairs", b"\x80" + bytes([0, 9, 53, 0, 106, 1, 107, 7]))
write("fuzz_portfolio", "data-pairs", b"\x81" + bytes([2, 200, 30, 1, 31, 2]))
write("fuzz_portfolio", "data-short", b"\x01" + b"\0\0\5\0")

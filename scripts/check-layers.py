#!/usr/bin/env python3
"""Fails when a source file includes a header of a higher layer.

The layers, lowest first: platform, pricedb, convert (standard library
only), settings (QtCore), batch (the conversion of many files, over
settings), then shell (widgets) and cli side by side. A file
may include headers of its own folder and of the folders below it; the
standard-library layers include no Qt or CLI11 header at all.
"""
import pathlib
import re
import sys

ALLOWED = {
    "platform": {"platform"},
    "pricedb": {"platform", "pricedb"},
    "convert": {"platform", "pricedb", "convert"},
    "settings": {"platform", "pricedb", "convert", "settings"},
    "batch": {"platform", "pricedb", "convert", "settings", "batch"},
    "res": {"res"},
    "shell": {"platform", "pricedb", "convert", "settings", "batch", "res", "shell"},
    "cli": {"platform", "pricedb", "convert", "settings", "batch", "cli"},
}
STANDARD_ONLY = {"platform", "pricedb", "convert"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    faults = []
    for layer, allowed in ALLOWED.items():
        for source in sorted((root / layer).rglob("*")):
            if source.suffix not in {".h", ".cpp"}:
                continue
            for number, line in enumerate(source.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                kind, header = match.groups()
                where = f"{source.relative_to(root)}:{number}"
                folder = header.split("/", 1)[0] if "/" in header else None
                if kind == '"' and folder in ALLOWED and folder not in allowed:
                    faults.append(f"{where}: {layer}/ includes {header} of a higher layer")
                if layer in STANDARD_ONLY and kind == "<" and re.match(r"(Q[A-Za-z]*|CLI)(/|$)", header):
                    faults.append(f"{where}: {layer}/ uses the standard library only, not {header}")
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks quorvel.lib: an import library in the short import format, one import object per
export of the module definition, as Microsoft's linker reads it.

  check_import_library.py quorvel.lib quorvel.def

Each export NAME must have exactly one member that is a short import object (signature 0,
0xFFFF) for i386, of code, for quorvel.dll, with the symbol _NAME and an import by the name
NAME (name type NOPREFIX or UNDECORATE), and no time stamp; the archive's symbol table must
offer _NAME and __imp__NAME. Nothing else may be imported through it.
"""
import re
import struct
import sys

MACHINE_I386 = 0x14C
IMPORT_CODE = 0
NAME_NOPREFIX = 2
NAME_UNDECORATE = 3


def members(data):
    if not data.startswith(b"!<arch>\n"):
        raise SystemExit("not an archive")
    pos = 8
    while pos + 60 <= len(data):
        header = data[pos:pos + 60]
        name = header[0:16].decode("ascii").rstrip()
        size = int(header[48:58].decode("ascii").strip())
        yield name, data[pos + 60:pos + 60 + size]
        pos += 60 + size + (size & 1)


def first_linker_symbols(body):
    # Big-endian count, offsets, then the terminated names.
    count = struct.unpack(">I", body[:4])[0]
    names = body[4 + 4 * count:].split(b"\0")
    return {n.decode("ascii") for n in names[:count]}


def main():
    library, module_def = sys.argv[1], sys.argv[2]
    exports = []
    for line in open(module_def, encoding="ascii"):
        m = re.match(r"\s*(QV[A-Z0-9_]*)\s+@(\d+)", line)
        if m:
            exports.append(m.group(1))
    data = open(library, "rb").read()
    problems = []
    symbols = set()
    imports = {}
    for index, (name, body) in enumerate(members(data)):
        if name == "/" and index == 0:
            symbols = first_linker_symbols(body)
            continue
        if name in ("/", "//"):
            continue
        if body[:4] != b"\0\0\xff\xff":
            continue  # the import descriptor's COFF objects
        (_sig1, _sig2, _version, machine, stamp, size, _hint, kinds) = struct.unpack(
            "<HHHHIIHH", body[:20])
        symbol, dll = body[20:20 + size].split(b"\0")[:2]
        symbol = symbol.decode("ascii")
        kind, name_type = kinds & 3, (kinds >> 2) & 7
        if machine != MACHINE_I386:
            problems.append(f"{symbol}: machine {machine:#x}, not i386")
        if stamp != 0:
            problems.append(f"{symbol}: time stamp {stamp}")
        if dll.decode("ascii").lower() != "quorvel.dll":
            problems.append(f"{symbol}: imported from {dll!r}")
        if kind != IMPORT_CODE or name_type not in (NAME_NOPREFIX, NAME_UNDECORATE):
            problems.append(f"{symbol}: import type {kind}, name type {name_type}")
        if symbol in imports:
            problems.append(f"{symbol}: more than one import object")
        imports[symbol] = name_type
    expected = {"_" + name for name in exports}
    for symbol in sorted(expected - imports.keys()):
        problems.append(f"no short import object for {symbol}")
    for symbol in sorted(imports.keys() - expected):
        problems.append(f"import object for {symbol}, which quorvel.def does not export")
    for name in exports:
        for symbol in ("_" + name, "__imp__" + name):
            if symbol not in symbols:
                problems.append(f"the symbol table lacks {symbol}")
    if problems:
        print("quorvel.lib check failed:\n  " + "\n  ".join(problems))
        return 1
    print(f"quorvel.lib: {len(imports)} short import objects for quorvel.dll, as quorvel.def lists")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks quorvel.lib, in the long import format, and a program linked against it by GNU ld.

  check_import_library.py quorvel.lib quorvel.def OBJDUMP PROGRAM.exe

- One member per export and three more, each an i386 COFF object named after the DLL: none a
  short import object (signature 0, 0xFFFF), none with an .idata$7 section.
- Both linker members offer exactly NAME and __imp_NAME for each export NAME (in one member),
  DLL_IMPORT_DESCRIPTOR, NULL_IMPORT_DESCRIPTOR and DLL_NULL_THUNK_DATA, at the same members;
  the second one sorted by name.
- objdump -p shows the program importing every export from the DLL, and nothing else, with
  a lookup table apart from the address table.
"""
import os
import re
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake"))
from module_definition import read_module_definition  # noqa: E402  pylint: disable=C0413


def members(data):
    pos = 8
    while pos + 60 <= len(data):
        size = int(data[pos + 48:pos + 58])
        yield pos, data[pos:pos + 16].decode("ascii").rstrip(), data[pos + 60:pos + 60 + size]
        pos += 60 + size + (size & 1)


def linker_symbols(first, second):
    count = struct.unpack_from(">I", first)[0]
    by_first = zip(first[4 + 4 * count:].decode().split("\0"),
                   struct.unpack_from(f">{count}I", first, 4))
    count, = struct.unpack_from("<I", second)
    offsets = struct.unpack_from(f"<{count}I", second, 4)
    symbols, = struct.unpack_from("<I", second, 4 + 4 * count)
    indices = struct.unpack_from(f"<{symbols}H", second, 8 + 4 * count)
    names = second[8 + 4 * count + 2 * symbols:].decode().split("\0")[:symbols]
    by_second = {name: offsets[i - 1] for name, i in zip(names, indices)}
    return dict(by_first), by_second, names == sorted(names)


def main():
    library, module_def, objdump, program = sys.argv[1:5]
    dll, exports = read_module_definition(module_def)
    exports = [name for name, _ordinal in exports]
    stem = dll.rsplit(".", 1)[0]
    items = list(members(open(library, "rb").read()))
    objects = [(at, name, body) for at, name, body in items if name not in ("/", "//")]
    problems = [] if len(objects) == len(exports) + 3 else [f"{len(objects)} members"]
    for at, name, body in objects:
        sections = [body[20 + 40 * i:28 + 40 * i] for i in range(body[2])]
        if body[:4] == b"\0\0\xff\xff" or body[:2] != b"\x4c\x01" or name != dll + "/":
            problems.append(f"member {name} at {at}: short import object, or not i386")
        if b".idata$7" in sections:
            problems.append(f"member {name} at {at} with .idata$7")

    linker = [body for _at, name, body in items[:2] if name == "/"] + [bytes(8)] * 2
    first, second, ordered = linker_symbols(*linker[:2])
    expected = {stem + "_IMPORT_DESCRIPTOR", "NULL_IMPORT_DESCRIPTOR", stem + "_NULL_THUNK_DATA"}
    expected |= {symbol for name in exports for symbol in (name, "__imp_" + name)}
    if set(first) != expected or first != second or not ordered:
        problems.append(f"linker members: {sorted(first)} and {sorted(second)}")
    if not set(first.values()) <= {at for at, _name, _body in objects}:
        problems.append("a linker member points at no member")
    problems += [f"{name} and __imp_{name} in two members" for name in exports
                 if first.get(name) != first.get("__imp_" + name)]

    dump = subprocess.run([objdump, "-p", program], capture_output=True, text=True,
                          check=True).stdout
    entry, _, block = dump.partition(f"\n\n\tDLL Name: {dll}\n")
    tables = re.match(r"([0-9a-f]{8}) ([0-9a-f]{8} ){3}([0-9a-f]{8})$", entry.split("\t")[-1])
    if not tables or tables[1] == tables[3]:
        problems.append(f"{program}: no lookup table of its own for {dll}: {entry[-50:]!r}")
    imported = re.findall(r"^\t[0-9a-f]+\t +\d+  (\S+)$", block.partition("\n\n")[0], re.M)
    if sorted(imported) != sorted(exports):
        problems.append(f"{program} imports {imported} from {dll}")
    print("\n  ".join(["quorvel.lib check failed:"] + problems) if problems else
          f"quorvel.lib: {len(objects)} objects; {len(imported)} imports of {dll} linked")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks quorvel.lib, in the long import format, and a program linked against it by GNU ld.

  check_import_library.py quorvel.lib quorvel.def OBJDUMP PROGRAM.exe

- One member per export and three more, each an i386 COFF object named after the DLL: none a
  short import object (signature 0, 0xFFFF), none with an .idata$7 section.
- Both linker members offer exactly NAME and __imp_NAME for each export NAME (in one member),
  DLL_IMPORT_DESCRIPTOR, NULL_IMPORT_DESCRIPTOR and DLL_NULL_THUNK_DATA, at the same members;
  the second one sorted by name.
- objdump -p shows the program importing from the DLL every export, and nothing else.
"""
import re
import struct
import subprocess
import sys


def members(data):
    pos = 8
    while pos + 60 <= len(data):
        size = int(data[pos + 48:pos + 58])
        yield pos, data[pos:pos + 16].decode("ascii").rstrip(), data[pos + 60:pos + 60 + size]
        pos += 60 + size + (size & 1)


def first_linker_member(body):
    count = struct.unpack_from(">I", body)[0]
    offsets = struct.unpack_from(f">{count}I", body, 4)
    names = body[4 + 4 * count:].decode("ascii").split("\0")[:count]
    return dict(zip(names, offsets)), names


def second_linker_member(body):
    count = struct.unpack_from("<I", body)[0]
    offsets = struct.unpack_from(f"<{count}I", body, 4)
    symbols = struct.unpack_from("<I", body, 4 + 4 * count)[0]
    indices = struct.unpack_from(f"<{symbols}H", body, 8 + 4 * count)
    names = body[8 + 4 * count + 2 * symbols:].decode("ascii").split("\0")[:symbols]
    return {name: offsets[i - 1] for name, i in zip(names, indices)}, names


def main():
    library, module_def, objdump, program = sys.argv[1:5]
    definition = open(module_def, encoding="ascii").read()
    exports = re.findall(r"^\s*(QV[A-Z0-9_]*)\s+@\d+", definition, re.M)
    dll = re.search(r"^LIBRARY\s+(\S+)", definition, re.M).group(1)
    stem = dll.rsplit(".", 1)[0]
    data = open(library, "rb").read()
    problems = [] if data.startswith(b"!<arch>\n") else ["not an archive"]
    items = list(members(data))
    objects = [(at, name, body) for at, name, body in items[2:] if name != "//"]
    if len(objects) != len(exports) + 3:
        problems.append(f"{len(objects)} members, for {len(exports)} exports")
    for at, name, body in objects:
        sections = struct.unpack_from("<H", body, 2)[0]
        names = [body[20 + 40 * i:28 + 40 * i].rstrip(b"\0") for i in range(sections)]
        if body[:4] == b"\0\0\xff\xff":
            problems.append(f"member at {at}: a short import object")
        elif struct.unpack_from("<H", body)[0] != 0x14C or b".idata$7" in names:
            problems.append(f"member at {at}: not an i386 object, or with .idata$7: {names}")
        if name != dll + "/":
            problems.append(f"member at {at} is named {name!r}")

    first, _ = first_linker_member(items[0][2])
    second, sorted_names = second_linker_member(items[1][2])
    expected = {stem + "_IMPORT_DESCRIPTOR", "NULL_IMPORT_DESCRIPTOR", stem + "_NULL_THUNK_DATA"}
    expected |= {symbol for name in exports for symbol in (name, "__imp_" + name)}
    if set(first) != expected:
        problems.append(f"symbols {sorted(set(first) ^ expected)}: one too many or missing")
    if first != second or sorted_names != sorted(sorted_names):
        problems.append("the second linker member differs from the first, or is not sorted")
    if not set(first.values()) <= {at for at, _name, _body in objects}:
        problems.append("a linker member points at no member")
    problems += [f"{name} and __imp_{name} in two members" for name in exports
                 if first.get(name) != first.get("__imp_" + name)]

    dump = subprocess.run([objdump, "-p", program], capture_output=True, text=True,
                          check=True).stdout
    block = dump.partition(f"DLL Name: {dll}\n")[2].partition("\n\n")[0]
    imported = re.findall(r"^\t[0-9a-f]+\t +\d+  (\S+)$", block, re.M)
    if sorted(imported) != sorted(exports):
        problems.append(f"{program} imports {imported} from {dll}")
    if problems:
        print("quorvel.lib check failed:\n  " + "\n  ".join(problems))
        return 1
    print(f"quorvel.lib: {len(objects)} COFF objects, {len(first)} symbols; "
          f"{len(imported)} imports of {dll} linked")
    return 0


if __name__ == "__main__":
    sys.exit(main())

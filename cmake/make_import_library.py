#!/usr/bin/env python3
"""Writes the import library of a DLL from its module definition, in the long import format.

Every member of the library is an ordinary i386 COFF object, as Microsoft's linkers up to
LINK 5 (and LINK 6 with /LINK50COMPAT) wrote import libraries; Alaska's linker reads only
these, not the short import objects of later linkers. Symbols are the exported names as they
stand, with no leading underscore: NAME and __imp_NAME.

After the archive's two linker members (and the long-names member, when the DLL's name is
too long for a member name), the members are:

  the import descriptor    .idata$2: the DLL's entry in the import directory, reaching its
                           lookup table (.idata$4), address table (.idata$5) and name
                           (.idata$6) by relocations; .idata$6: the DLL's name. Defines
                           DLL_IMPORT_DESCRIPTOR and refers to the two members below.
  the NULL descriptor      .idata$3: the zero entry that ends the import directory; defines
                           NULL_IMPORT_DESCRIPTOR, the same symbol in every import library.
  the NULL thunk           .idata$5 and .idata$4: the zero entries that end the DLL's address
                           and lookup tables; defines DLL_NULL_THUNK_DATA.
  one member per export    .text: NAME, the thunk jmp [__imp_NAME]; .idata$5: __imp_NAME, the
                           address slot; .idata$4: the lookup slot; .idata$6: the hint and
                           the name it is imported by. Refers to DLL_IMPORT_DESCRIPTOR.

(DLL stands for the DLL's name without its extension.) A linker groups the .idata$ sections
by the part after the dollar sign, which lays out the import directory, the lookup and
address tables and the names; a program that calls one export pulls in the descriptor, and
through it the two terminators. Every member is named after the DLL, and only the
terminators have no relocations: GNU ld tells the three kinds apart so, to put the
descriptor's sections first and the terminators last.

The exports come from cmake/module_definition.py, the module definition's one reader.

usage: make_import_library.py MODULE.def OUTPUT.lib
"""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from module_definition import read_module_definition  # noqa: E402  pylint: disable=C0413

# The time in every header: none, so that two runs give the same bytes.
TIME_STAMP = 0

MACHINE_I386 = 0x014C
FILE_32BIT_MACHINE = 0x0100

SCN_CODE = 0x00000020
SCN_DATA = 0x00000040
SCN_ALIGN_2 = 0x00200000
SCN_ALIGN_4 = 0x00300000
SCN_EXECUTE = 0x20000000
SCN_READ = 0x40000000
SCN_WRITE = 0x80000000
TEXT = SCN_CODE | SCN_ALIGN_4 | SCN_EXECUTE | SCN_READ
TABLE = SCN_DATA | SCN_ALIGN_4 | SCN_READ | SCN_WRITE  # .idata$2 to $5: 4-byte entries
NAMES = SCN_DATA | SCN_ALIGN_2 | SCN_READ | SCN_WRITE  # .idata$6: hints and names
# The value of a section symbol that stands for a whole group: the group's kind of contents.
GROUP_VALUE = SCN_DATA | SCN_READ | SCN_WRITE

REL_DIR32 = 0x0006  # the target's address
REL_DIR32NB = 0x0007  # the target's address relative to the image base

CLASS_EXTERNAL = 2
CLASS_STATIC = 3
CLASS_SECTION = 104
TYPE_FUNCTION = 0x20

JMP_INDIRECT = b"\xff\x25"  # jmp dword ptr [address], the address to follow
PADDING = b"\x90\x90"
# The hint of every import, as in the import libraries of the Xbase++ run-time: no index into
# the DLL's table of names, so the loader looks each name up.
HINT = 0xFFFF
DIRECTORY_ENTRY_SIZE = 20
SLOT_SIZE = 4


class CoffObject:
    """An i386 COFF object: sections with their relocations, and a symbol table."""

    def __init__(self):
        self.sections = []  # [name, characteristics, data, [(offset, symbol, type)]]
        self.symbols = []  # (name, value, section number, type, class, auxiliary record)

    def section(self, name, characteristics, data, relocations=()):
        """Adds a section and the static symbol of its name, with its section definition."""
        self.sections.append((name, characteristics, data, list(relocations)))
        number = len(self.sections)
        definition = struct.pack("<IHHIHB3x", len(data), len(relocations), 0, 0, 0, 0)
        self.symbol(name, section=number, storage=CLASS_STATIC, aux=definition)
        return number

    def symbol(self, name, section=0, value=0, kind=0, storage=CLASS_EXTERNAL, aux=b""):
        """Adds a symbol; section 0 makes it an undefined one."""
        self.symbols.append((name, value, section, kind, storage, aux))

    def serialize(self):
        index, position = {}, 0
        for name, *_rest, aux in self.symbols:
            index[name] = position
            position += 1 + len(aux) // 18
        strings = bytearray(4)
        symbol_table = bytearray()
        for name, value, section, kind, storage, aux in self.symbols:
            encoded = name.encode("ascii")
            if len(encoded) <= 8:
                field = encoded.ljust(8, b"\0")
            else:
                field = struct.pack("<II", 0, len(strings))
                strings += encoded + b"\0"
            symbol_table += field + struct.pack("<IhHBB", value, section, kind, storage,
                                                len(aux) // 18) + aux
        struct.pack_into("<I", strings, 0, len(strings))

        offset = 20 + 40 * len(self.sections)
        headers, bodies = bytearray(), bytearray()
        for name, characteristics, data, relocations in self.sections:
            relocations_at = offset + len(data)
            headers += name.encode("ascii").ljust(8, b"\0") + struct.pack(
                "<IIIIIIHHI", 0, 0, len(data), offset, relocations_at if relocations else 0, 0,
                len(relocations), 0, characteristics)
            bodies += data
            for at, target, kind in relocations:
                bodies += struct.pack("<IIH", at, index[target], kind)
            offset = relocations_at + 10 * len(relocations)
        header = struct.pack("<HHIIIHH", MACHINE_I386, len(self.sections), TIME_STAMP, offset,
                             position, 0, FILE_32BIT_MACHINE)
        return bytes(header + headers + bodies + symbol_table + strings)


def even(data):
    return data + b"\0" * (len(data) & 1)


def import_descriptor(dll, prefix):
    obj = CoffObject()
    # The lookup table, the name and the address table: the first three relocations of the
    # directory entry, at its fields 0, 12 and 16. The tables are the groups .idata$4 and
    # .idata$5, reached through their section symbols.
    obj.section(".idata$2", TABLE, bytes(DIRECTORY_ENTRY_SIZE),
                [(0, ".idata$4", REL_DIR32NB), (12, ".idata$6", REL_DIR32NB),
                 (16, ".idata$5", REL_DIR32NB)])
    obj.section(".idata$6", NAMES, even(dll.encode("ascii") + b"\0"))
    obj.symbol(prefix + "_IMPORT_DESCRIPTOR", section=1)
    for group in (".idata$4", ".idata$5"):
        obj.symbol(group, value=GROUP_VALUE, storage=CLASS_SECTION)
    obj.symbol("NULL_IMPORT_DESCRIPTOR")
    obj.symbol(prefix + "_NULL_THUNK_DATA")
    return obj


def null_import_descriptor():
    obj = CoffObject()
    obj.section(".idata$3", TABLE, bytes(DIRECTORY_ENTRY_SIZE))
    obj.symbol("NULL_IMPORT_DESCRIPTOR", section=1)
    return obj


def null_thunk(prefix):
    obj = CoffObject()
    obj.section(".idata$5", TABLE, bytes(SLOT_SIZE))
    obj.section(".idata$4", TABLE, bytes(SLOT_SIZE))
    obj.symbol(prefix + "_NULL_THUNK_DATA", section=1)
    return obj


def import_by_name(name, prefix):
    obj = CoffObject()
    slot = "__imp_" + name
    obj.section(".text", TEXT, JMP_INDIRECT + bytes(4) + PADDING,
                [(len(JMP_INDIRECT), slot, REL_DIR32)])
    # Both slots hold the address of the hint and name until the loader fills the first.
    obj.section(".idata$5", TABLE, bytes(SLOT_SIZE), [(0, ".idata$6", REL_DIR32NB)])
    obj.section(".idata$4", TABLE, bytes(SLOT_SIZE), [(0, ".idata$6", REL_DIR32NB)])
    obj.section(".idata$6", NAMES, even(struct.pack("<H", HINT) + name.encode("ascii") + b"\0"))
    obj.symbol(name, section=1, kind=TYPE_FUNCTION)
    obj.symbol(slot, section=2)
    obj.symbol(prefix + "_IMPORT_DESCRIPTOR")
    return obj


def member_header(name, size, mode):
    text = f"{name:<16}{TIME_STAMP:<12}{0:<6}{0:<6}{mode:<8}{size:<10}`\n"
    return text.encode("ascii")


def archive(dll, members):
    """The archive of the objects, each given with the external symbols it defines."""
    longnames = b""
    member_name = dll + "/"
    if len(member_name) > 16:
        longnames, member_name = even(dll.encode("ascii") + b"\0"), "/0"
    symbols = [(name, number) for number, (_obj, names) in enumerate(members) for name in names]
    names_size = sum(len(name) + 1 for name, _number in symbols)
    first_size = 4 + 4 * len(symbols) + names_size
    second_size = 4 + 4 * len(members) + 4 + 2 * len(symbols) + names_size
    at = 8 + 60 + len(even(bytes(first_size))) + 60 + len(even(bytes(second_size)))
    if longnames:
        at += 60 + len(longnames)
    offsets = []
    for data, _names in members:
        offsets.append(at)
        at += 60 + len(even(data))

    string_table = b"".join(name.encode("ascii") + b"\0" for name, _number in symbols)
    first = struct.pack(f">I{len(symbols)}I", len(symbols),
                        *(offsets[number] for _name, number in symbols)) + string_table
    by_name = sorted(symbols, key=lambda symbol: symbol[0].encode("ascii"))
    second = (struct.pack(f"<I{len(members)}I", len(members), *offsets)
              + struct.pack(f"<I{len(symbols)}H", len(symbols),
                            *(number + 1 for _name, number in by_name))
              + b"".join(name.encode("ascii") + b"\0" for name, _number in by_name))

    out = bytearray(b"!<arch>\n")
    out += member_header("/", len(first), 0) + even(first)
    out += member_header("/", len(second), 0) + even(second)
    if longnames:
        out += member_header("//", len(longnames), 0) + longnames
    for data, _names in members:
        out += member_header(member_name, len(data), 644) + even(data)
    return bytes(out)


def import_library(dll, exports):
    prefix = dll.rsplit(".", 1)[0]
    members = [(import_descriptor(dll, prefix), [prefix + "_IMPORT_DESCRIPTOR"]),
               (null_import_descriptor(), ["NULL_IMPORT_DESCRIPTOR"]),
               (null_thunk(prefix), [prefix + "_NULL_THUNK_DATA"])]
    for name, _ordinal in exports:
        members.append((import_by_name(name, prefix), [name, "__imp_" + name]))
    return archive(dll, [(obj.serialize(), names) for obj, names in members])


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__.rsplit("\n", 2)[-2] + "\n")
        return 2
    dll, exports = read_module_definition(argv[1])
    with open(argv[2], "wb") as out:
        out.write(import_library(dll, exports))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

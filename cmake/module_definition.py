#!/usr/bin/env python3
"""Reads a module definition: the DLL's name (LIBRARY) and its exports (EXPORTS), in order.

This is the one reader of exports/quorvel.def: the build's lists of exports, the tests' and
the import library are all made from what it gives. Every export is a function exported by
name with a fixed ordinal; a line without its ordinal, an export under another name
(NAME=other), a DATA or NONAME export, or an ordinal given twice stops the build with the
line named. A ';' starts a comment, wherever it stands.

usage: module_definition.py MODULE.def
  prints the DLL's name, then one line per export: NAME ORDINAL
"""

import re
import sys

STATEMENTS = {"NAME", "LIBRARY", "DESCRIPTION", "VERSION", "STUB", "HEAPSIZE", "STACKSIZE",
              "SECTIONS", "EXPORTS", "IMPORTS"}
EXPORT = re.compile(r"([A-Za-z_][A-Za-z0-9_]*)\s+@([0-9]+)$")


def read_module_definition(path):
    """The DLL's name and its exports as (name, ordinal) pairs, in their order."""
    dll, exports, in_exports = None, [], False
    with open(path, encoding="ascii") as lines:
        for number, line in enumerate(lines, 1):
            text = line.split(";", 1)[0].strip()
            words = text.split()
            if not words:
                continue
            if words[0] in STATEMENTS:
                in_exports = words[0] == "EXPORTS"
                if words[0] == "LIBRARY":
                    dll = words[1].strip('"')
                continue
            if not in_exports:
                continue
            export = EXPORT.fullmatch(text)
            if export is None:
                raise SystemExit(f"{path}:{number}: not an export by name with its ordinal "
                                 f"(NAME @n): {text}")
            name, ordinal = export[1], int(export[2])
            if any(ordinal == taken for _name, taken in exports):
                raise SystemExit(f"{path}:{number}: ordinal {ordinal} given twice")
            exports.append((name, ordinal))
    if dll is None or not exports:
        raise SystemExit(f"{path}: no LIBRARY statement or no exports")
    return dll, exports


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__.rsplit("\n", 3)[-3] + "\n")
        return 2
    dll, exports = read_module_definition(argv[1])
    print(dll)
    for name, ordinal in exports:
        print(f"{name} {ordinal}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

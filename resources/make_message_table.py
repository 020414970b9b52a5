#!/usr/bin/env python3
"""Writes the module's message-table resource data.

Every message identifier from 1 to 1000 maps to "%1\\r\\n": the event's first insertion
string and a line break, so that an event written through the library shows its text as
written. The data is the Windows message-resource layout, little-endian: the block count,
one block (lowest id, highest id, offset of its first entry), then one entry per id (entry
length, flags 0 for 8-bit text, the text padded with zero bytes to a multiple of four).

usage: make_message_table.py OUTPUT
"""

import struct
import sys

FIRST_ID = 1
LAST_ID = 1000
TEXT = b"%1\r\n"
ANSI_TEXT = 0


def entry(text: bytes) -> bytes:
    # The text and at least one terminating zero byte, padded to a multiple of four.
    body = text + b"\0" * (4 - len(text) % 4)
    return struct.pack("<HH", 4 + len(body), ANSI_TEXT) + body


def message_table() -> bytes:
    block_count = 1
    first_entry = 4 + 12 * block_count
    header = struct.pack("<I", block_count) + struct.pack("<III", FIRST_ID, LAST_ID, first_entry)
    return header + entry(TEXT) * (LAST_ID - FIRST_ID + 1)


def main(argv: list) -> int:
    if len(argv) != 2:
        sys.stderr.write(__doc__.rsplit("\n", 2)[-2] + "\n")
        return 2
    with open(argv[1], "wb") as out:
        out.write(message_table())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

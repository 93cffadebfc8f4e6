#!/usr/bin/env python3
"""What Windows shows of two kinds of file, for the Wine tests.

  windows_files.py version FILE.exe   the version resource (by wrestool): "fixed=A.B.C.D",
                                      then one "Key=value" line per string
  windows_files.py shortcut FILE.lnk  "target=C:\\..." (the local path the shortcut opens)
"""
import struct
import subprocess
import sys


def blocks(data, start, end):
    """The version resource's nested blocks in [start, end): (key, text value, children)."""
    while start + 6 <= end:
        length, value_length, is_text = struct.unpack_from("<HHH", data, start)
        key_end = data.index(b"\0\0", start + 6)
        key_end += (key_end - start) % 2  # keys are UTF-16: the terminator is aligned
        value = (key_end + 2 + 3) & ~3
        size = value_length * 2 if is_text else value_length
        text = data[value:value + size].decode("utf-16-le").rstrip("\0") if is_text else ""
        key = data[start + 6:key_end].decode("utf-16-le")
        yield key, text, (value + size + 3) & ~3, start + length
        start = (start + length + 3) & ~3


def version(path):
    data = subprocess.run(["wrestool", "-x", "--raw", "--type=16", path],
                          capture_output=True, check=True).stdout
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    if fixed < 0:
        sys.exit(f"{path}: no version resource")
    ms, ls = struct.unpack_from("<II", data, fixed + 8)
    print(f"fixed={ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")
    for key, _, first, end in blocks(data, (fixed + 52 + 3) & ~3, len(data)):
        if key == "StringFileInfo":
            for _, _, table_first, table_end in blocks(data, first, end):
                for name, text, _, _ in blocks(data, table_first, table_end):
                    print(f"{name}={text}")


def shortcut(path):
    data = open(path, "rb").read()
    flags = struct.unpack_from("<I", data, 0x14)[0]
    position = 0x4C
    if flags & 0x01:  # an item id list comes first
        position += 2 + struct.unpack_from("<H", data, position)[0]
    if not flags & 0x02:
        sys.exit(f"{path}: no link information")
    base, _, suffix = struct.unpack_from("<III", data, position + 16)
    text = lambda at: data[position + at:data.index(b"\0", position + at)].decode("latin-1")
    print(f"target={text(base)}{text(suffix)}")


{"version": version, "shortcut": shortcut}[sys.argv[1]](sys.argv[2])

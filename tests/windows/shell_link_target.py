#!/usr/bin/env python3
"""Prints the target path of a Windows shell link (.lnk): the LinkInfo's local base
path followed by its common path suffix, as [MS-SHLLINK] lays them out.

usage: shell_link_target.py FILE.lnk
"""
import struct
import sys

HAS_TARGET_ID_LIST = 0x1
HAS_LINK_INFO = 0x2

data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 0x14)[0]
at = 0x4C  # after the header
if flags & HAS_TARGET_ID_LIST:
    at += 2 + struct.unpack_from("<H", data, at)[0]
if not flags & HAS_LINK_INFO:
    sys.exit("the link has no LinkInfo")


def text(offset):
    start = at + offset
    return data[start:data.index(b"\0", start)].decode("cp1252")


base = struct.unpack_from("<I", data, at + 16)[0]
suffix = struct.unpack_from("<I", data, at + 24)[0]
print(text(base) + (text(suffix) if suffix else ""))

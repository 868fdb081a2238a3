#!/usr/bin/env python3
"""Prints the target and the working folder of a Windows shortcut (.lnk), tab-separated.

Usage: shortcut.py FILE

The target is the local path of the link information block; the working folder is the
string of that name. Both are left empty when the shortcut does not hold them.
"""
import struct
import sys

HEADER_SIZE = 0x4C
HAS_ID_LIST = 0x01
HAS_LINK_INFO = 0x02
HAS_NAME = 0x04
HAS_RELATIVE_PATH = 0x08
HAS_WORKING_DIR = 0x10
IS_UNICODE = 0x80
VOLUME_ID_AND_LOCAL_BASE_PATH = 0x01


def c_string(data, at, wide=False):
    if wide:
        end = at
        while data[end : end + 2] != b"\0\0":
            end += 2
        return data[at:end].decode("utf-16-le")
    return data[at : data.index(b"\0", at)].decode("cp1252", "replace")


def local_path(info):
    header_size, flags = struct.unpack_from("<II", info, 4)
    if not flags & VOLUME_ID_AND_LOCAL_BASE_PATH:
        return ""
    base_offset, _, suffix_offset = struct.unpack_from("<III", info, 16)
    if header_size >= 0x24:
        wide_base, wide_suffix = struct.unpack_from("<II", info, 28)
        if wide_base:
            return c_string(info, wide_base, True) + c_string(info, wide_suffix, True)
    return c_string(info, base_offset) + c_string(info, suffix_offset)


def parse(data):
    if struct.unpack_from("<I", data, 0)[0] != HEADER_SIZE:
        raise ValueError("not a shell link")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = HEADER_SIZE
    if flags & HAS_ID_LIST:
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = ""
    if flags & HAS_LINK_INFO:
        size = struct.unpack_from("<I", data, at)[0]
        target = local_path(data[at : at + size])
        at += size
    width = 2 if flags & IS_UNICODE else 1
    encoding = "utf-16-le" if flags & IS_UNICODE else "cp1252"
    working_dir = ""
    for flag in (HAS_NAME, HAS_RELATIVE_PATH, HAS_WORKING_DIR):
        if flags & flag:
            count = struct.unpack_from("<H", data, at)[0]
            # Some writers count the terminating null as well.
            text = data[at + 2 : at + 2 + count * width].decode(encoding).rstrip("\0")
            at += 2 + count * width
            if flag == HAS_WORKING_DIR:
                working_dir = text
    return target, working_dir


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "rb") as file:
        target, working_dir = parse(file.read())
    print("%s\t%s" % (target, working_dir))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Compiles the help pages into vantorelhelp.chm with chmcmd.

Usage: build_help.py CHMCMD SOURCE_DIR STAGING_DIR OUTPUT

The project file, its contents and index and every file that its [FILES] section names are
copied into STAGING_DIR, chmcmd compiles them there, and the result becomes OUTPUT. The build
fails on any warning of chmcmd (a missing file or a broken link). chmcmd writes the time of
day of the compilation twice into the file, in the ITSF header and in the time entry (code 10)
of the uncompressed #SYSTEM file; nothing reads either, and both are cleared, so the same pages
always give the same bytes.
"""
import os
import shutil
import struct
import subprocess
import sys

PROJECT = "vantorelhelp.hhp"
SYSTEM_TIME_CODE = 10


def project_files(source_dir):
    """The project file, and the files it names: contents, index and the [FILES] section."""
    names = [PROJECT]
    section = None
    with open(os.path.join(source_dir, PROJECT), encoding="ascii") as project:
        for line in project:
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1].upper()
            elif section == "FILES" and line:
                names.append(line)
            elif section == "OPTIONS" and "=" in line:
                key, value = line.split("=", 1)
                if key.strip().upper() in ("CONTENTS FILE", "INDEX FILE"):
                    names.append(value.strip())
    return names


def stage(source_dir, staging_dir):
    shutil.rmtree(staging_dir, ignore_errors=True)
    for name in project_files(source_dir):
        target = os.path.join(staging_dir, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(os.path.join(source_dir, name), target)


def compile_project(chmcmd, staging_dir):
    run = subprocess.run(
        [chmcmd, PROJECT],
        cwd=staging_dir,
        stdout=subprocess.PIPE,
        stderr=subprocess.STDOUT,
        universal_newlines=True,
    )
    problems = [
        line
        for line in run.stdout.splitlines()
        if line.startswith(("Warning", "Error")) or "exception" in line.lower()
    ]
    if run.returncode != 0 or problems:
        sys.stderr.write(run.stdout)
        sys.stderr.write("chmcmd failed (exit code %d)\n" % run.returncode)
        return False
    return True


def read_encint(data, at):
    value = 0
    while True:
        byte = data[at]
        at += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, at


def find_entry(data, wanted):
    """(section, offset, length) of one file in the CHM's directory, or None."""
    directory_offset, directory_length = struct.unpack_from("<QQ", data, 0x48)
    directory = data[directory_offset : directory_offset + directory_length]
    if directory[:4] != b"ITSP":
        raise ValueError("no ITSP directory header")
    header_length, _, chunk_size = struct.unpack_from("<III", directory, 0x08)
    chunk_count = struct.unpack_from("<I", directory, 0x2C)[0]
    for number in range(chunk_count):
        start = header_length + number * chunk_size
        chunk = directory[start : start + chunk_size]
        if chunk[:4] != b"PMGL":
            continue
        end = chunk_size - struct.unpack_from("<I", chunk, 4)[0]
        at = 20
        while at < end:
            length, at = read_encint(chunk, at)
            name = chunk[at : at + length]
            at += length
            section, at = read_encint(chunk, at)
            offset, at = read_encint(chunk, at)
            size, at = read_encint(chunk, at)
            if name == wanted:
                return section, offset, size
    return None


def clear_timestamps(data):
    if data[:4] != b"ITSF" or struct.unpack_from("<I", data, 4)[0] != 3:
        raise ValueError("not an ITSF version 3 file")
    data[0x10:0x14] = bytes(4)
    entry = find_entry(data, b"/#SYSTEM")
    if entry is None or entry[0] != 0:
        raise ValueError("no uncompressed #SYSTEM file")
    content_offset = struct.unpack_from("<Q", data, 0x58)[0]
    at = content_offset + entry[1]
    end = at + entry[2]
    at += 4  # the #SYSTEM version
    while at + 4 <= end:
        code, length = struct.unpack_from("<HH", data, at)
        at += 4
        if code == SYSTEM_TIME_CODE and length == 4:
            data[at : at + 4] = bytes(4)
            return
        at += length
    raise ValueError("no time entry in #SYSTEM")


def main(argv):
    if len(argv) != 5:
        sys.stderr.write(__doc__)
        return 2
    chmcmd, source_dir, staging_dir, output = argv[1:]
    stage(source_dir, staging_dir)
    if not compile_project(chmcmd, staging_dir):
        return 1
    compiled = os.path.join(staging_dir, "vantorelhelp.chm")
    with open(compiled, "rb") as file:
        data = bytearray(file.read())
    try:
        clear_timestamps(data)
    except (ValueError, struct.error, IndexError) as error:
        sys.stderr.write("%s: %s\n" % (compiled, error))
        return 1
    with open(output, "wb") as file:
        file.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

